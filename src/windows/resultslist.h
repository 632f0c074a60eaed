#pragma once

#include "export/exportview.h"
#include "export/rowkinds.h"
#include "shell/resultrecord.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QMenu;
class QTreeView;

namespace quillmore {

class Clipboard;
class DesktopSession;
class Dialogs;
struct NumberClass;
class PhoneNumbers;
class ResultsModel;
class ResultsOrder;
class SummaryWindow;

// The results list widget as a view of the results model: the user's
// removals, ticks and the list's menu become changes of the model, and every
// change of the rows is written to the lookup history so that a later
// session can restore exactly what the list showed. Rows are added by the
// run, by a restore or from earlier answers, removed one at a time (refused
// while the window is busy) or all at once.
//
// A click on a column's header sorts the list by it, a second one the other
// way. The order is the view's alone: what leaves the list (table(),
// records(): the exports and the clipboard) comes in the order shown, while
// a row's tick, its removal and its history id belong to the model's row
// wherever it is shown.
class ResultsList : public QObject
{
    Q_OBJECT
public:
    // `history` may be null (no history could be opened): the list works,
    // only nothing survives the session.
    ResultsList(QTreeView* view, ResultsModel& model, Dialogs& dialogs, DesktopSession* history,
                const PhoneNumbers& numbers, Clipboard& clipboard, std::function<bool()> isBusy,
                QObject* parent = nullptr);
    ~ResultsList() override;

    // A refusal of the service: no row, but the history keeps the attempt.
    void keepRefusal(const QString& number, const QString& answer, int httpStatus);
    void append(const ResultRecord& record);
    void clear();
    // Removes the selected row; refused while the window is busy.
    void removeSelected();
    void setAllTicked(bool ticked);
    // Ticks the rows whose `aspect` is `value` and leaves the others as they
    // are; refused while the window is busy.
    void tickWhere(RowAspect aspect, const QString& value);

    // The rows in the order shown.
    ReportTable table() const;
    QList<ResultRecord> records() const;

    // Opens the summary window, or brings the open one to the front.
    void showSummary();
    // The open summary window, or null.
    SummaryWindow* summaryWindow() const;

    // Appends, unticked, the rows the list held at the end of the latest
    // earlier session not yet restored.
    void restoreLastResults();
    bool canRestore();

    // Appends the rows of the entries that have an answer within `days`
    // days in the history; gives those entries' positions. Throws Failure
    // when the history cannot be read.
    QList<int> takeEarlierAnswers(const QStringList& entries, const QList<NumberClass>& classes,
                                  int days);

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
    void addTickWhereMenu(QMenu& menu);
    void saveAs(const char* procedure, const QString& filter,
                const std::function<void(const QString&)>& write);
    // False when there is no history or the change could not be written.
    bool keep(const std::function<void(DesktopSession&)>& change);

    QTreeView* m_view;
    ResultsModel& m_model;
    ResultsOrder* m_order;
    Dialogs& m_dialogs;
    DesktopSession* m_history;
    const PhoneNumbers& m_numbers;
    Clipboard& m_clipboard;
    std::function<bool()> m_isBusy;
    bool m_keepFailureShown = false;
    QPointer<SummaryWindow> m_summary;
    std::function<QString()> m_lastTable;
};

inline const QString kTickRowsWhereCaption = QStringLiteral("Tick Rows Where");
inline const QString kShowSummaryCaption = QStringLiteral("Show Summary");

inline const QString kCsvFileFilter =
    QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|");
inline const QString kJsonLinesFileFilter =
    QStringLiteral("JSON Lines Files (*.jsonl)|*.jsonl|All Files (*.*)|*.*|");

} // namespace quillmore
