#include "windows/resultslist.h"

#include "export/csvexport.h"
#include "export/jsonlinesexport.h"
#include "export/resultsjournal.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"

#include <QMenu>
#include <QTreeWidget>

namespace quillmore {

static QString form1(const char* procedure)
{
    return procedurePath(QStringLiteral("Form1"), QString::fromLatin1(procedure));
}

ResultsList::ResultsList(QTreeWidget* list, Dialogs& dialogs, ResultsJournal* journal,
                         const PhoneNumbers& numbers, std::function<bool()> isBusy, QObject* parent)
    : QObject(parent), m_list(list), m_dialogs(dialogs), m_journal(journal), m_numbers(numbers),
      m_isBusy(std::move(isBusy))
{
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &ResultsList::showMenu);
}

bool ResultsList::journal(const std::function<void(ResultsJournal&)>& change)
{
    if (!m_journal)
        return false;
    try {
        change(*m_journal);
        return true;
    } catch (const Failure& failure) {
        // Every row would fail the same way: say it once a session.
        if (!std::exchange(m_journalFailureShown, true))
            m_dialogs.message(QStringLiteral("The results cannot be kept for the next start: ") +
                                  failure.description(),
                              {}, Dialogs::Icon::Warning);
        return false;
    }
}

void ResultsList::addRows(const QList<ResultRecord>& records)
{
    QList<QTreeWidgetItem*> items;
    items.reserve(records.size());
    for (const ResultRecord& record : records) {
        auto* item = new QTreeWidgetItem(record.cells);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        items << item;
        m_ids << m_nextId++;
    }
    m_list->addTopLevelItems(items);
    // Ticked once in the list: a row ticked before it has a place is looked
    // for through the whole list at its next tick, which makes Tick All
    // quadratic.
    for (qsizetype i = 0; i < items.size(); ++i)
        items[i]->setCheckState(0, records[i].ticked ? Qt::Checked : Qt::Unchecked);
    m_records += records;
}

void ResultsList::append(const ResultRecord& record)
{
    addRows({record});
    journal([&](ResultsJournal& j) { j.append(m_ids.constLast(), record); });
}

void ResultsList::clear()
{
    m_list->clear();
    m_records.clear();
    m_ids.clear();
    journal([](ResultsJournal& j) { j.clear(); });
}

void ResultsList::removeSelected()
{
    if (m_isBusy() || m_list->topLevelItemCount() == 0)
        return;
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    const int index = m_list->indexOfTopLevelItem(selected.constFirst());
    delete m_list->takeTopLevelItem(index);
    m_records.removeAt(index);
    const quint64 id = m_ids.takeAt(index);
    journal([&](ResultsJournal& j) { j.remove(id); });
}

void ResultsList::setAllTicked(bool ticked)
{
    const Qt::CheckState state = ticked ? Qt::Checked : Qt::Unchecked;
    // One repaint for the whole list, not one per row.
    m_list->setUpdatesEnabled(false);
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_list->topLevelItem(i)->setCheckState(0, state);
    m_list->setUpdatesEnabled(true);
}

ReportTable ResultsList::table() const
{
    ReportTable table;
    const QTreeWidgetItem* header = m_list->headerItem();
    const int columns = m_list->columnCount();
    for (int c = 0; c < columns; ++c)
        table.headers << header->text(c);
    table.rows.reserve(m_list->topLevelItemCount());
    for (int r = 0; r < m_list->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* item = m_list->topLevelItem(r);
        ReportTable::Row row;
        for (int c = 0; c < columns; ++c)
            row.cells << item->text(c);
        row.ticked = item->checkState(0) == Qt::Checked;
        table.rows << row;
    }
    return table;
}

QList<ResultRecord> ResultsList::records() const
{
    QList<ResultRecord> all = m_records;
    for (int r = 0; r < all.size() && r < m_list->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* item = m_list->topLevelItem(r);
        all[r].cells.clear();
        for (int c = 0; c < m_list->columnCount(); ++c)
            all[r].cells << item->text(c);
        all[r].ticked = item->checkState(0) == Qt::Checked;
    }
    return all;
}

bool ResultsList::canRestore() const
{
    return m_journal && m_journal->hasUnrestoredSession();
}

void ResultsList::restoreLastResults()
{
    if (!canRestore())
        return;
    GuardedProcedure proc(m_dialogs, form1("RestoreLastResults_Click"));
    ResultsJournal::Session session;
    if (!proc.step([&] { session = m_journal->takeLatestSession(); }))
        return;
    for (ResultRecord& record : session.rows)
        record.ticked = false;
    const quint64 firstId = m_nextId;
    if (!proc.step([&] { addRows(session.rows); }))
        return;
    // The restored rows join this session's journal; only once they are there
    // may the earlier session's file count as restored and go at the next start.
    const bool kept = journal([&](ResultsJournal& j) {
        for (qsizetype i = 0; i < session.rows.size(); ++i)
            j.append(firstId + quint64(i), session.rows.at(i));
    });
    if (kept)
        proc.step([&] { m_journal->markRestored(session); });
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
    QMenu menu(m_list);
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
    menu.exec(m_list->viewport()->mapToGlobal(at));
}

} // namespace quillmore
