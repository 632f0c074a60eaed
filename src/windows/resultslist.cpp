#include "windows/resultslist.h"

#include "export/csvexport.h"
#include "export/jsonlinesexport.h"
#include "export/resultsmodel.h"
#include "export/resultsorder.h"
#include "history/desktopsession.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "windows/mainwindowcontrols.h"
#include "windows/summarywindow.h"
#include "windows/tablesave.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QTreeView>

namespace quillmore {

static QString form1(const char* procedure)
{
    return procedurePath(kMainForm, QString::fromLatin1(procedure));
}

ResultsList::ResultsList(QTreeView* view, ResultsModel& model, Dialogs& dialogs,
                         DesktopSession* history, const PhoneNumbers& numbers, Clipboard& clipboard,
                         std::function<bool()> isBusy, QObject* parent)
    : QObject(parent), m_view(view), m_model(model), m_order(new ResultsOrder(model, this)),
      m_dialogs(dialogs), m_history(history), m_numbers(numbers), m_clipboard(clipboard),
      m_isBusy(std::move(isBusy))
{
    m_view->setModel(m_order);
    // Arrival order until the user picks a column: sorting switched on sorts
    // at once by the header's indicator, which is none.
    m_view->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_view->setSortingEnabled(true);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, &ResultsList::showMenu);
    connect(m_view, &QAbstractItemView::doubleClicked, this, &ResultsList::removeSelected);
    m_view->installEventFilter(this);
}

ResultsList::~ResultsList()
{
    // The summary reads the model, which goes with the window that owns us.
    delete m_summary.data();
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

void ResultsList::keepRefusal(const QString& number, const QString& answer, int httpStatus)
{
    keep([&](DesktopSession& h) { h.refusalArrived(number, answer, httpStatus); });
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
    const int row = m_order->sourceRow(selected.constFirst().row());
    if (row < 0)
        return;
    const quint64 id = m_model.rowId(row);
    m_model.removeRow(row);
    keep([&](DesktopSession& h) { h.rowRemoved(id); });
}

void ResultsList::setAllTicked(bool ticked)
{
    m_model.setAllTicked(ticked);
}

void ResultsList::tickWhere(RowAspect aspect, const QString& value)
{
    if (m_isBusy())
        return;
    m_model.tickWhere([&](const ResultRecord& row) { return rowKind(row, aspect) == value; });
}

ReportTable ResultsList::table() const
{
    return m_model.table(m_order->sourceRows());
}

QList<ResultRecord> ResultsList::records() const
{
    const QList<int> rows = m_order->sourceRows();
    QList<ResultRecord> records;
    records.reserve(rows.size());
    for (int r : rows)
        records.append(m_model.record(r));
    return records;
}

SummaryWindow* ResultsList::summaryWindow() const
{
    return m_summary.data();
}

void ResultsList::showSummary()
{
    if (!m_summary) {
        m_summary = new SummaryWindow(m_model, m_numbers, m_clipboard, m_view->window());
        m_summary->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_summary->show();
    m_summary->raise();
    m_summary->activateWindow();
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

void ResultsList::saveTableWithResults()
{
    if (m_isBusy())
        return;
    quillmore::saveTableWithResults(m_dialogs, records(), m_numbers,
                                    m_lastTable ? m_lastTable() : QString());
}

void ResultsList::showMenu(const QPoint& at)
{
    QMenu menu(m_view);
    menu.addAction(QStringLiteral("Tick All Rows"), this, [this] { setAllTicked(true); });
    menu.addAction(QStringLiteral("Untick All Rows"), this, [this] { setAllTicked(false); });
    addTickWhereMenu(menu);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Save Results As CSV File..."), this, &ResultsList::saveAsCsv);
    menu.addAction(QStringLiteral("Save Full Answers As JSON Lines..."), this,
                   &ResultsList::saveAsJsonLines);
    QAction* table = menu.addAction(QStringLiteral("Save Table With Results..."), this,
                                    &ResultsList::saveTableWithResults);
    table->setEnabled(!m_isBusy());
    menu.addSeparator();
    menu.addAction(kShowSummaryCaption, this, &ResultsList::showSummary);
    menu.addSeparator();
    QAction* restore = menu.addAction(QStringLiteral("Restore Last Results"), this,
                                      &ResultsList::restoreLastResults);
    restore->setEnabled(canRestore());
    menu.exec(m_view->viewport()->mapToGlobal(at));
}

void ResultsList::addTickWhereMenu(QMenu& menu)
{
    QMenu* where = menu.addMenu(kTickRowsWhereCaption);
    // Like removal, ticking by kind waits until the window is no longer busy.
    where->setEnabled(!m_isBusy() && m_model.count() > 0);
    if (!where->isEnabled())
        return;
    const QLocale english(QLocale::English);
    for (const RowAspect aspect : {RowAspect::Type, RowAspect::Status, RowAspect::Provider}) {
        QMenu* values = where->addMenu(aspectCaption(aspect));
        for (const KindCount& kind : kindCounts(m_model.records(), aspect)) {
            // "&" would mark a shortcut letter rather than show itself.
            QString caption = kind.value;
            caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
            values->addAction(caption + QStringLiteral(" (%1)").arg(english.toString(kind.count)),
                              this,
                              [this, aspect, value = kind.value] { tickWhere(aspect, value); });
        }
    }
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
