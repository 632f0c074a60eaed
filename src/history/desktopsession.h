#pragma once

#include "history/storedanswer.h"
#include "numbers/phonenumbers.h"
#include "shell/resultrecord.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillmore {

class HistoryStore;

// The desktop's share of the history for one start of the program: the
// session its results list belongs to and which answer each of the list's
// rows is, the earlier sessions "Restore Last Results" offers, and earlier
// answers to use again instead of paying for them anew.
//
// Rows are named by the results model's row ids, answers by the store's ids.
// Every call that reaches the store throws the store's Failure, once (the
// store tells one); after it each call does what the store still can.
class DesktopSession
{
public:
    // `store` may be null or off: then nothing is kept and nothing offered.
    DesktopSession(HistoryStore* store, qint64 session, const PhoneNumbers& numbers);

    qint64 id() const { return m_session; }

    // A row the run made joined the list: stored once, as it arrived; a
    // failed attempt as a failure, never to be reused.
    void rowArrived(quint64 rowId, const ResultRecord& record,
                    const QDateTime& now = QDateTime::currentDateTimeUtc());
    // An attempt the service refused (quota, key, withdrawn API) for
    // `number`: stored once, as a failure in no list, since no row was made.
    void refusalArrived(const QString& number, const QString& answer, int httpStatus,
                        const QDateTime& now = QDateTime::currentDateTimeUtc());
    void rowRemoved(quint64 rowId);
    void listCleared();

    // What an earlier session's list held, or what reuse found.
    struct Rows
    {
        qint64 session = 0; // the earlier session restored; 0 for reuse
        QList<qint64> answerIds;
        QList<ResultRecord> rows; // unticked, one for each id
        QList<int> entries;       // for reuse: the list entries answered, ascending
    };

    // Whether an earlier session is left to restore in this start. The
    // sessions offered are settled at the first call, by the history's rules.
    bool canRestore();
    // The latest earlier session not yet restored; it is not offered again
    // in this start. Empty when none is left.
    Rows takeLatestSession();
    // Once its rows are in the list (rowsJoined): it is never offered again.
    void markRestored(const Rows& restored);

    // For each entry whose number has an answer the service gave within the
    // last `days` days, the newest one: matched by the E.164 form of
    // `classes` (the entries' verdicts, in the same order), else by the
    // digits sent. Each row holds its entry as typed and the time its
    // answer was received.
    Rows earlierAnswers(const QStringList& entries, const QList<NumberClass>& classes, int days,
                        const QDateTime& now = QDateTime::currentDateTimeUtc());

    // These answers joined the list as rows `firstRowId`, `firstRowId` + 1, ...
    void rowsJoined(quint64 firstRowId, const QList<qint64>& answerIds);

private:
    bool usable() const;

    HistoryStore* m_store;
    qint64 m_session;
    const PhoneNumbers& m_numbers;
    std::optional<QList<HistorySession>> m_offered; // newest first
    QHash<quint64, qint64> m_answerIds;             // row id -> answer id
};

// "N numbers answered from earlier lookups; M left to look up.", with the
// one case.
QString earlierAnswersText(qsizetype answered, qsizetype left);

} // namespace quillmore
