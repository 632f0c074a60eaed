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

class DesktopSession;
class Dialogs;
struct NumberClass;
class PhoneNumbers;
class ResultsModel;

// The results list widget as a view of the results model: the user's
// removals, ticks and the list's menu become changes of the model, and every
// change of the rows is written to the lookup history so that a later
// session can restore exactly what the list showed. Rows are added by the
// run, by a restore or from earlier answers, removed one at a time (refused
// while the window is busy) or all at once.
class ResultsList : public QObject
{
    Q_OBJECT
public:
    // `history` may be null (no history could be opened): the list works,
    // only nothing survives the session.
    ResultsList(QAbstractItemView* view, ResultsModel& model, Dialogs& dialogs,
                DesktopSession* history, const PhoneNumbers& numbers, std::function<bool()> isBusy,
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
    bool canRestore();

    // Appends the rows of the entries that have an answer within `days`
    // days in the history; gives those entries' positions. Throws Failure
    // when the history cannot be read.
    QList<int> takeEarlierAnswers(const QStringList& entries, const QList<NumberClass>& classes,
                                  int days);

    void saveAsCsv();
    void saveAsJsonLines();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showMenu(const QPoint& at);
    void saveAs(const char* procedure, const QString& filter,
                const std::function<void(const QString&)>& write);
    // False when there is no history or the change could not be written.
    bool keep(const std::function<void(DesktopSession&)>& change);

    QAbstractItemView* m_view;
    ResultsModel& m_model;
    Dialogs& m_dialogs;
    DesktopSession* m_history;
    const PhoneNumbers& m_numbers;
    std::function<bool()> m_isBusy;
    bool m_keepFailureShown = false;
};

inline const QString kCsvFileFilter =
    QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|");
inline const QString kJsonLinesFileFilter =
    QStringLiteral("JSON Lines Files (*.jsonl)|*.jsonl|All Files (*.*)|*.*|");

} // namespace quillmore
