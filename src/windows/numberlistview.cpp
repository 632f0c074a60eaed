#include "windows/numberlistview.h"

#include "desktop/clipboard.h"
#include "history/desktopsession.h"
#include "numbers/duplicates.h"
#include "numbers/invalidnumbers.h"
#include "numbers/lookedup.h"
#include "numbers/numbercheck.h"
#include "numbers/numberlist.h"
#include "numbers/numberlistmodel.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "windows/mainwindowcontrols.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QMenu>

namespace quillmore {

static QString form1(const char* procedure)
{
    return procedurePath(kMainForm, QString::fromLatin1(procedure));
}

static const QString kEarlierDaysPrompt =
    QStringLiteral("Use answers received within how many days?");
static const QString kEarlierDaysDefault = QStringLiteral("30");
static const QString kEarlierDaysRefused =
    QStringLiteral("Please enter a whole number of days, 1 or more.");

NumberListView::NumberListView(QAbstractItemView* list, NumberListModel& model,
                               const PhoneNumbers& numbers, Dialogs& dialogs, Clipboard& clipboard,
                               std::function<bool()> isBusy, QObject* parent)
    : QObject(parent), m_list(list), m_model(model), m_numbers(numbers), m_dialogs(dialogs),
      m_clipboard(clipboard), m_isBusy(std::move(isBusy))
{
    m_list->setModel(&m_model);
    connect(m_list, &QAbstractItemView::doubleClicked, this, &NumberListView::removeSelected);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &NumberListView::showMenu);
    m_list->installEventFilter(this);
}

NumberListView::~NumberListView() = default;

void NumberListView::removeSelected()
{
    if (m_isBusy() || isChecking() || m_model.count() == 0)
        return;
    const QModelIndexList selected = m_list->selectionModel()->selectedRows();
    if (!selected.isEmpty())
        m_model.removeAt(selected.constFirst().row());
}

void NumberListView::pasteNumbers()
{
    GuardedProcedure proc(m_dialogs, form1("PasteNumbers_Click"));
    proc.step([&] { m_model.append(splitPastedNumbers(m_clipboard.text())); });
}

void NumberListView::removeDuplicateNumbers()
{
    check(CleanUp::Duplicates);
}

void NumberListView::removeInvalidNumbers()
{
    check(CleanUp::CannotBeValid);
}

void NumberListView::check(CleanUp cleanUp)
{
    if (m_isBusy() || isChecking())
        return;
    m_check = std::make_unique<NumberCheck>(m_numbers, m_model.entries());
    connect(m_check.get(), &NumberCheck::finished, this, [this, cleanUp] {
        // The check is done with once its verdicts are taken; it goes later,
        // being the sender.
        NumberCheck* done = m_check.release();
        done->deleteLater();
        const QStringList entries = done->entries();
        const QList<NumberClass> classes = done->classes();
        checked(cleanUp, entries, classes);
    });
    m_check->start();
}

void NumberListView::checked(CleanUp cleanUp, const QStringList& entries,
                             const QList<NumberClass>& classes)
{
    // A run that began meanwhile reads the list as it stands, and a list
    // cleared meanwhile holds other entries: either way the verdicts no
    // longer apply. Entries added meanwhile follow the checked ones and stay.
    if (m_isBusy() || m_model.entries().mid(0, entries.size()) != entries)
        return;
    if (cleanUp == CleanUp::Duplicates)
        removeDuplicates(entries, classes);
    else if (cleanUp == CleanUp::CannotBeValid)
        removeCannotBeValid(entries, classes);
    else
        takeEarlierAnswers(entries, classes);
}

void NumberListView::removeDuplicates(const QStringList& entries, const QList<NumberClass>& classes)
{
    GuardedProcedure proc(m_dialogs, form1("RemoveDuplicateNumbers_Click"));
    QList<int> duplicates;
    proc.step([&] { duplicates = duplicateNumberIndices(entries, classes); });
    proc.step([&] { m_model.removeAll(duplicates); });
    proc.step([&] { m_dialogs.message(duplicatesRemovedText(duplicates.size())); });
}

void NumberListView::removeCannotBeValid(const QStringList& entries,
                                         const QList<NumberClass>& classes)
{
    GuardedProcedure proc(m_dialogs, form1("RemoveNumbersThatCannotBeValid_Click"));
    const QList<int> invalid = cannotBeValidIndices(classes);
    if (!invalid.isEmpty()) {
        bool yes = false;
        proc.step([&] {
            yes = m_dialogs.question(cannotBeValidQuestion(invalid.size()),
                                     cannotBeValidDetails(entries, invalid));
        });
        if (!yes)
            return;
        proc.step([&] { m_model.removeAll(invalid); });
    }
    proc.step([&] { m_dialogs.message(cannotBeValidRemovedText(invalid.size())); });
}

void NumberListView::removeNumbersAlreadyLookedUp()
{
    if (m_isBusy() || isChecking())
        return;
    GuardedProcedure proc(m_dialogs, form1("RemoveNumbersAlreadyLookedUp_Click"));
    QList<ResultRecord> rows;
    QList<int> found;
    proc.step([&] { rows = m_resultRows ? m_resultRows() : QList<ResultRecord>(); });
    proc.step([&] {
        // A row's number as typed, and as the service spelt it.
        QStringList numbers;
        for (const ResultRecord& row : rows)
            numbers << row.number << row.cells.value(0);
        found = lookedUpNumberIndices(m_model.entries(), numbers);
    });
    proc.step([&] { m_model.removeAll(found); });
    proc.step([&] { m_dialogs.message(lookedUpRemovedText(found.size(), rows.size())); });
}

void NumberListView::useEarlierAnswers()
{
    if (m_isBusy() || isChecking())
        return;
    GuardedProcedure proc(m_dialogs, form1("UseEarlierAnswers_Click"));
    const QString answer =
        proc.value([&] { return m_dialogs.input(kEarlierDaysPrompt, {}, kEarlierDaysDefault); });
    if (answer.isEmpty())
        return;
    bool ok = false;
    const int days = answer.trimmed().toInt(&ok);
    if (!ok || days < 1) {
        proc.step([&] { m_dialogs.message(kEarlierDaysRefused); });
        return;
    }
    m_earlierDays = days;
    check(CleanUp::EarlierAnswers);
}

void NumberListView::takeEarlierAnswers(const QStringList& entries,
                                        const QList<NumberClass>& classes)
{
    GuardedProcedure proc(m_dialogs, form1("UseEarlierAnswers_Click"));
    QList<int> answered;
    if (!proc.step([&] {
            if (m_earlierAnswers)
                answered = m_earlierAnswers(entries, classes, m_earlierDays);
        }))
        return;
    proc.step([&] { m_model.removeAll(answered); });
    proc.step([&] { m_dialogs.message(earlierAnswersText(answered.size(), m_model.count())); });
}

void NumberListView::showMenu(const QPoint& at)
{
    QMenu menu(m_list);
    menu.addAction(QStringLiteral("Paste Numbers"), QKeySequence::Paste, this,
                   &NumberListView::pasteNumbers);
    menu.addAction(QStringLiteral("Remove Duplicate Numbers"), this,
                   &NumberListView::removeDuplicateNumbers);
    menu.addAction(QStringLiteral("Remove Numbers That Cannot Be Valid"), this,
                   &NumberListView::removeInvalidNumbers);
    menu.addAction(QStringLiteral("Remove Numbers Already Looked Up"), this,
                   &NumberListView::removeNumbersAlreadyLookedUp);
    menu.addAction(QStringLiteral("Use Earlier Answers..."), this,
                   &NumberListView::useEarlierAnswers);
    menu.exec(m_list->viewport()->mapToGlobal(at));
}

bool NumberListView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Shift, Ctrl and Alt do not matter: Shift+Delete removes like Delete.
        if (key->key() == Qt::Key_Delete) {
            removeSelected();
            return true;
        }
        if (key->matches(QKeySequence::Paste)) {
            pasteNumbers();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quillmore
