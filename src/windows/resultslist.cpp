#include "windows/resultslist.h"

#include "export/csvexport.h"
#include "export/jsonlinesexport.h"
#include "export/resultsmodel.h"
#include "history/desktopsession.h"
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

ResultsList::ResultsList(QAbstractItemView* view, ResultsModel& model, Dialogs& dialogs,
                         DesktopSession* history, const PhoneNumbers& numbers,
                         std::function<bool()> isBusy, QObject* parent)
    : QObject(parent), m_view(view), m_model(model), m_dialogs(dialogs), m_history(history),
      m_numbers(numbers), m_isBusy(std::move(isBusy))
{
    m_view->setModel(&m_model);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, &ResultsList::showMenu);
    connect(m_view, &QAbstractItemView::doubleClicked, this, &ResultsList::removeSelected);
    m_view->installEventFilter(this);
}

bool ResultsList::keep(const std::function<void(DesktopSession&)>& change)
{
    if (!m_history)
        return false;
    try {
        change(*m_history);
        return true;
    } catch (const Failure& failure) {
        // Every row would fail the same way: say it once a session.
        if (!std::exchange(m_keepFailureShown, true))
            m_dialogs.message(QStringLiteral("The results cannot be kept for the next start: ") +
                                  failure.description(),
                              {}, Dialogs::Icon::Warning);
        return false;
    }
}

void ResultsList::append(const ResultRecord& record)
{
    const quint64 id = m_model.append({record});
    keep([&](DesktopSession& h) { h.rowArrived(id, record); });
}

void ResultsList::clear()
{
    m_model.clear();
    keep([](DesktopSession& h) { h.listCleared(); });
}

void ResultsList::removeSelected()
{
    if (m_isBusy() || m_model.count() == 0)
        return;
    const QModelIndexList selected = m_view->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int row = selected.constFirst().row();
    const quint64 id = m_model.rowId(row);
    m_model.removeRow(row);
    keep([&](DesktopSession& h) { h.rowRemoved(id); });
}

void ResultsList::setAllTicked(bool ticked)
{
    m_model.setAllTicked(ticked);
}

ReportTable ResultsList::table() const
{
    return m_model.table();
}

const QList<ResultRecord>& ResultsList::records() const
{
    return m_model.records();
}

bool ResultsList::canRestore()
{
    bool offered = false;
    keep([&](DesktopSession& h) { offered = h.canRestore(); });
    return offered;
}

void ResultsList::restoreLastResults()
{
    if (!canRestore())
        return;
    GuardedProcedure proc(m_dialogs, form1("RestoreLastResults_Click"));
    DesktopSession::Rows session;
    if (!proc.step([&] { session = m_history->takeLatestSession(); }))
        return;
    quint64 firstId = 0;
    if (!proc.step([&] { firstId = m_model.append(session.rows); }))
        return;
    // Only once the restored rows are in this session's list may the
    // earlier session count as restored and stop being offered.
    if (keep([&](DesktopSession& h) { h.rowsJoined(firstId, session.answerIds); }))
        proc.step([&] { m_history->markRestored(session); });
}

QList<int> ResultsList::takeEarlierAnswers(const QStringList& entries,
                                           const QList<NumberClass>& classes, int days)
{
    if (!m_history)
        return {};
    const DesktopSession::Rows found = m_history->earlierAnswers(entries, classes, days);
    if (found.rows.isEmpty())
        return {};
    const quint64 firstId = m_model.append(found.rows);
    keep([&](DesktopSession& h) { h.rowsJoined(firstId, found.answerIds); });
    return found.entries;
}

void ResultsList::saveAs(const char* procedure, const QString& filter,
                         const std::function<void(const QString&)>& write)
{
    GuardedProcedure proc(m_dialogs, form1(procedure));
    const QString name =
        proc.value([&] { return m_dialogs.saveFileName(QStringLiteral("Save"), filter); });
    if (name.isEmpty())
        return;
    if (proc.step([&] { write(name); }))
        proc.step([&] { m_dialogs.message(QStringLiteral("Done.")); });
}

void ResultsList::saveAsCsv()
{
    saveAs("SaveResultsAsCsv_Click", kCsvFileFilter,
           [this](const QString& name) { saveResultsAsCsv(table(), name); });
}

void ResultsList::saveAsJsonLines()
{
    saveAs("SaveFullAnswersAsJsonLines_Click", kJsonLinesFileFilter, [this](const QString& name) {
        saveResultsAsJsonLines(table().headers, records(), m_numbers, name);
    });
}

void ResultsList::showMenu(const QPoint& at)
{
    QMenu menu(m_view);
    menu.addAction(QStringLiteral("Tick All Rows"), this, [this] { setAllTicked(true); });
    menu.addAction(QStringLiteral("Untick All Rows"), this, [this] { setAllTicked(false); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Save Results As CSV File..."), this, &ResultsList::saveAsCsv);
    menu.addAction(QStringLiteral("Save Full Answers As JSON Lines..."), this,
                   &ResultsList::saveAsJsonLines);
    menu.addSeparator();
    QAction* restore = menu.addAction(QStringLiteral("Restore Last Results"), this,
                                      &ResultsList::restoreLastResults);
    restore->setEnabled(canRestore());
    menu.exec(m_view->viewport()->mapToGlobal(at));
}

bool ResultsList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        // Shift, Ctrl and Alt do not matter: Shift+Delete removes like Delete.
        removeSelected();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quillmore
