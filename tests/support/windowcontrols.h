#pragma once

// The windows' controls as a user finds them: by their object names, and the
// key window among the application's top-level windows.

#include "windows/keywindow.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

namespace quillmore::test {

// The child of `window` with this object name and type; a missing one ends
// the test program, since every later step would act on nothing.
template <typename T> T* control(QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("%s has no %s named %s", window.metaObject()->className(),
               T::staticMetaObject.className(), name);
    return found;
}

struct MainControls
{
    explicit MainControls(MainWindow& w)
        : keyButton(control<QPushButton>(w, "PushButton9")),
          numberList(control<QTreeView>(w, "ListView1")),
          addButton(control<QPushButton>(w, "PushButton6")),
          loadButton(control<QPushButton>(w, "PushButton3")),
          clearNumbersButton(control<QPushButton>(w, "PushButton1")),
          samplesButton(control<QPushButton>(w, "PushButton8")),
          startButton(control<QPushButton>(w, "PushButton17")),
          consoleFrame(control<QGroupBox>(w, "Frame1")),
          console(control<QPlainTextEdit>(w, "Text1")),
          copyConsoleButton(control<QPushButton>(w, "PushButton5")),
          clearConsoleButton(control<QPushButton>(w, "PushButton10")),
          resultsList(control<QTreeView>(w, "ListView2")),
          saveTextButton(control<QPushButton>(w, "PushButton4")),
          saveSheetButton(control<QPushButton>(w, "PushButton13")),
          copyResultsButton(control<QPushButton>(w, "PushButton7")),
          clearResultsButton(control<QPushButton>(w, "PushButton2")),
          progressBar(control<QProgressBar>(w, "ProgressBar1"))
    {
    }

    QPushButton* keyButton;
    QTreeView* numberList;
    QPushButton* addButton;
    QPushButton* loadButton;
    QPushButton* clearNumbersButton;
    QPushButton* samplesButton;
    QPushButton* startButton;
    QGroupBox* consoleFrame;
    QPlainTextEdit* console;
    QPushButton* copyConsoleButton;
    QPushButton* clearConsoleButton;
    QTreeView* resultsList;
    QPushButton* saveTextButton;
    QPushButton* saveSheetButton;
    QPushButton* copyResultsButton;
    QPushButton* clearResultsButton;
    QProgressBar* progressBar;
};

struct KeyControls
{
    explicit KeyControls(KeyWindow& w)
        : keyField(control<QLineEdit>(w, "Text1")),
          okButton(control<QPushButton>(w, "PushButton6")),
          docsButton(control<QPushButton>(w, "PushButton1")),
          whatIsButton(control<QPushButton>(w, "PushButton2")),
          testButton(control<QPushButton>(w, "PushButton4")),
          videoButton(control<QPushButton>(w, "PushButton5"))
    {
    }

    QLineEdit* keyField;
    QPushButton* okButton;
    QPushButton* docsButton;
    QPushButton* whatIsButton;
    QPushButton* testButton;
    QPushButton* videoButton;
};

// The key window that is loaded now, or null: none, or (a fault) more than one.
inline KeyWindow* loadedKeyWindow()
{
    KeyWindow* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* key = qobject_cast<KeyWindow*>(widget)) {
            if (found) {
                qWarning("more than one key window is loaded");
                return nullptr;
            }
            found = key;
        }
    }
    return found;
}

// How many rows a list shows.
inline int rowCount(const QAbstractItemView* list)
{
    return list->model()->rowCount();
}

// The index of a row's first column.
inline QModelIndex rowIndex(const QAbstractItemView* list, int row)
{
    return list->model()->index(row, 0);
}

// Makes the row the list's current and only selected one, as a click on it does.
inline void selectRow(QAbstractItemView* list, int row)
{
    list->setCurrentIndex(rowIndex(list, row));
}

// The tick of a row, as the list's check box shows it.
inline Qt::CheckState checkState(const QAbstractItemView* list, int row)
{
    return static_cast<Qt::CheckState>(rowIndex(list, row).data(Qt::CheckStateRole).toInt());
}

// Ticks or unticks a row as a click on its check box does.
inline bool setCheckState(QAbstractItemView* list, int row, Qt::CheckState state)
{
    return list->model()->setData(rowIndex(list, row), state, Qt::CheckStateRole);
}

// The first column of every row, as the list shows it.
inline QStringList shownRows(const QAbstractItemView* list)
{
    QStringList rows;
    for (int i = 0; i < rowCount(list); ++i)
        rows << rowIndex(list, i).data().toString();
    return rows;
}

// Every cell of one row of a list.
inline QStringList rowCells(const QAbstractItemView* list, int row)
{
    QStringList cells;
    const QAbstractItemModel* model = list->model();
    for (int c = 0; c < model->columnCount(); ++c)
        cells << model->index(row, c).data().toString();
    return cells;
}

// Every row of a list, every cell.
inline QList<QStringList> allRows(const QAbstractItemView* list)
{
    QList<QStringList> rows;
    for (int r = 0; r < rowCount(list); ++r)
        rows << rowCells(list, r);
    return rows;
}

// Right-clicks the middle of `list` and picks the entry captioned `choice`
// from the menu that opens, as a user would (a disabled entry does nothing).
// Gives the menu's entries in order, "-" for a separator; none when no menu
// opened. Works for a menu shown with popup() and for one run with exec().
inline QStringList chooseFromContextMenu(QAbstractItemView* list, const QString& choice)
{
    QStringList entries;
    bool handled = false;
    const auto pick = [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (handled || !menu || menu->parentWidget() != list)
            return;
        handled = true;
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
            if (action->text() == choice)
                chosen = action;
        }
        menu->close();
        if (chosen)
            chosen->trigger();
    };
    // A menu run with exec() is only reachable from inside its own loop.
    QTimer whileOpen;
    whileOpen.setSingleShot(true);
    QObject::connect(&whileOpen, &QTimer::timeout, pick);
    whileOpen.start(0);
    const QPoint at = list->viewport()->rect().center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &click);
    whileOpen.stop();
    pick();
    return entries;
}

} // namespace quillmore::test
