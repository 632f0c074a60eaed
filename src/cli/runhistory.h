#pragma once

#include "history/historystore.h"
#include "shell/resultrecord.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace quillmore {
class PhoneNumbers;
}

namespace quillmore::cli {

// A run's way into the lookup history. The history never stops a run: its
// first failure goes to `told`, once, and after it every call gives what
// the store still can (nothing, 0 or an empty list) without a word, so the
// rows still reach the output.
class RunHistory
{
public:
    // `folder` empty: the program's data folder. `phone` gives each answer
    // its E.164 form, the key reuse and --forget find it by.
    RunHistory(const PhoneNumbers& phone, const QString& folder = {});
    ~RunHistory();

    std::function<void(const QString& text)> told;

    // Opens the history, removes answers older than `keepDays` days and
    // takes in the run journals of earlier versions, once. False when the
    // history cannot be used at all.
    bool open(int keepDays);
    // Set when a damaged history was set aside and a new one started.
    QString openNotice() const { return m_store.openNotice(); }

    QList<RunAnswer> unfinishedAnswers();
    qint64 startRun(const QString& runKey);
    // Stores one row as it arrived; gives its id, 0 when it could not be kept.
    qint64 keep(qint64 run, const QString& typed, const ResultRecord& record, int httpStatus);
    // An attempt the service refused (quota, key, withdrawn API, too many
    // requests): kept as a failure that no resume and no reuse takes.
    qint64 keepRefusal(qint64 run, const QString& typed, const QString& answerText, int httpStatus);
    QHash<QString, ReusableAnswer> reusable(const QStringList& keys, int days);
    // The earlier answers this run reused become its own: a resume of it
    // does not pay for those numbers again.
    void adopt(qint64 run, const QList<qint64>& answerIds);
    QList<StoredAnswer> answers(const QList<qint64>& ids);
    void endRuns(const QList<qint64>& runs);
    void sync();

    bool canWrite() const { return m_store.canWrite(); }
    QString fileName() const { return m_store.fileName(); }
    // What reuse and --forget match a number by: its E.164 form, else its digits.
    QString keyOf(const QString& typed) const;

private:
    template <typename Work> auto guarded(Work work) -> decltype(work());
    // One attempt of this run at `typed`, its number's keys set.
    StoredAnswer attempt(qint64 run, const QString& typed) const;
    void tell(const QString& text);

    const PhoneNumbers& m_phone;
    HistoryStore m_store;
    bool m_told = false;
};

// The row a stored answer makes for the number as this input spells it,
// byte for byte what a fresh lookup of that answer writes. Answers taken in
// from an earlier version's journal carry no HTTP status: their row is the
// one that journal kept.
ResultRecord rowFromHistory(const StoredAnswer& answer, const QString& typed);

} // namespace quillmore::cli
