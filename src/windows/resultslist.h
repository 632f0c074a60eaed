#pragma once

#include "export/exportview.h"
#include "shell/resultrecord.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class QAbstractItemView;

namespace quillmore {

class Dialogs;
class PhoneNumbers;
class ResultsJournal;
class ResultsModel;

// The results list widget as a view of the results model: the user's
// removals, ticks and the list's menu become changes of the model, and every
// change of the rows is written to the journal so that a later session can
// restore exactly what the list showed. Rows are added by the run or by a
// restore, removed one at a time (refused while the window is busy) or all
// at once.
class ResultsList : public QObject
{
    Q_OBJECT
public:
    // `journal` may be null (no journal could be opened): the list works,
    // only nothing survives the session.
    ResultsList(QAbstractItemView* view, ResultsModel& model, Dialogs& dialogs,
                ResultsJournal* journal, const PhoneNumbers& numbers, std::function<bool()> isBusy,
                QObject* parent = nullptr);

    void append(const ResultRecord& record);
    void clear();
    // Removes the selected row; refused while the window is busy.
    void removeSelected();
    void setAllTicked(bool ticked);

    ReportTable table() const;
    const QList<ResultRecord>& records() const;

    // Appends, unticked, the rows the list held at the end of the latest
    // earlier session not yet restored.
    void restoreLastResults();
    bool canRestore() const;

    void saveAsCsv();
    void saveAsJsonLines();
    // Refused while the window is busy: a run is still adding rows.
    void saveTableWithResults();
    // The table the number list was last loaded from, offered first.
    void setLastTable(std::function<QString()> lastTable) { m_lastTable = std::move(lastTable); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showMenu(const QPoint& at);
    void saveAs(const char* procedure, const QString& filter,
                const std::function<void(const QString&)>& write);
    // False when there is no journal or the change could not be written.
    bool journal(const std::function<void(ResultsJournal&)>& change);

    QAbstractItemView* m_view;
    ResultsModel& m_model;
    Dialogs& m_dialogs;
    ResultsJournal* m_journal;
    const PhoneNumbers& m_numbers;
    std::function<bool()> m_isBusy;
    bool m_journalFailureShown = false;
    std::function<QString()> m_lastTable;
};

inline const QString kCsvFileFilter =
    QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|");
inline const QString kJsonLinesFileFilter =
    QStringLiteral("JSON Lines Files (*.jsonl)|*.jsonl|All Files (*.*)|*.*|");

} // namespace quillmore
