#pragma once

// Checks the window tests share: what a list shows, a whole run over a few
// numbers, result rows as they really come, and a window against its table.

#include "desktop/widgetstyle.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/mainwindow.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTreeView>

namespace quillmore::test {

// The number list as the model holds it, provided the list control shows the same.
inline QStringList numbers(MainWindow& w)
{
    const QStringList held = w.numberList().entries();
    const QStringList shown = shownRows(MainControls(w).numberList);
    return shown == held ? held : QStringList{QStringLiteral("<the list shows>")} + shown;
}

// A run over these numbers, with the number list set aside meanwhile; its
// "Done." is taken off the messages. False when it did not end so.
inline bool runOver(WindowFixture& f, MainWindow& w, const QStringList& lookedUp)
{
    NumberListModel& list = w.numberList();
    const QStringList kept = list.entries();
    list.clear();
    list.append(lookedUp);
    const qsizetype shownBefore = f.dialogs.messages.size();
    MainControls(w).startButton->click();
    const bool ended = QTest::qWaitFor([&] { return !w.isBusy(); }, 30000);
    list.clear();
    list.append(kept);
    if (!ended || f.dialogs.messages.size() != shownBefore + 1 ||
        f.dialogs.messages.constLast().text != QLatin1String("Done."))
        return false;
    f.dialogs.messages.removeLast();
    return true;
}

// Result rows the way they really come: each from the answer to a number of its own.
inline bool addResultRows(WindowFixture& f, MainWindow& w, const QList<QStringList>& rows)
{
    static qint64 next = 9000000000LL;
    QStringList lookedUp;
    for (const QStringList& cells : rows) {
        const QString digits = QString::number(++next);
        f.answerWith(digits, answerShownAs(cells));
        lookedUp << digits;
    }
    return runOver(f, w, lookedUp);
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Where `window` differs from its table: a control missing, of another
// kind, in another place or frame, or one the table does not hold. Empty
// when every control is as the table says.
inline QString tableMismatch(QWidget& window, const QList<ControlEntry>& table)
{
    const auto kindOf = [](ControlKind kind) -> const QMetaObject* {
        switch (kind) {
        case ControlKind::PushButton:
            return &QPushButton::staticMetaObject;
        case ControlKind::ReportList:
            return &QTreeView::staticMetaObject;
        case ControlKind::Frame:
            return &QGroupBox::staticMetaObject;
        case ControlKind::TextBox:
            return &QPlainTextEdit::staticMetaObject;
        case ControlKind::Label:
            return &QLabel::staticMetaObject;
        case ControlKind::LineEdit:
            return &QLineEdit::staticMetaObject;
        case ControlKind::ProgressBar:
            return &QProgressBar::staticMetaObject;
        }
        return nullptr;
    };
    QSet<QString> names;
    for (const ControlEntry& entry : table) {
        const QString name = QLatin1String(entry.objectName);
        if (names.contains(name))
            return name + QStringLiteral(" twice in the table");
        names << name;
        QWidget* control = window.findChild<QWidget*>(name);
        if (!control || !kindOf(entry.kind)->cast(control))
            return name + QStringLiteral(" missing or of another kind");
        const QRect& at = entry.twips;
        if (control->geometry() != twipsRect(at.x(), at.y(), at.width(), at.height()))
            return name + QStringLiteral(" out of place");
        QWidget* parent = &window;
        for (const ControlEntry& frame : table)
            if (frame.role == entry.parentRole)
                parent = window.findChild<QWidget*>(QLatin1String(frame.objectName));
        if (control->parentWidget() != parent)
            return name + QStringLiteral(" in another frame");
    }
    for (QWidget* control : window.findChildren<QWidget*>()) {
        const bool own =
            control->parentWidget() == &window || qobject_cast<QGroupBox*>(control->parentWidget());
        if (own && !control->isWindow() && !names.contains(control->objectName()))
            return control->objectName() + QStringLiteral(" (a ") +
                   control->metaObject()->className() + QStringLiteral(") not in the table");
    }
    return {};
}

} // namespace quillmore::test
