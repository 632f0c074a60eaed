#pragma once

#include "history/historyrows.h"
#include "history/storedanswer.h"
#include "shell/errorreport.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace quillmore {

namespace history {
struct SqlFault;
}

// Every answer either program receives, kept once as it arrives, in
// "history.sqlite" in the data folder (the application's AppDataLocation
// unless a folder is given): the folder owner-only (0700), the file and its
// -wal and -shm companions owner-only (0600).
//
// Durability: WAL journal with synchronous=NORMAL. A commit is then one
// write(2) into the WAL, in the operating system's hands before the call
// returns, so a killed program (SIGKILL) loses nothing committed, at no
// fsync per answer. What NORMAL leaves to a power cut is bounded here: at
// most kSyncIntervalMs after a commit the WAL is synced to disk (fdatasync,
// the run journal's scheme), and checkpoints sync both files as SQLite does
// anyway. FULL would sync at every commit: milliseconds an answer for
// nothing a user could tell apart.
//
// Two programs at once: every write is one short BEGIN IMMEDIATE transaction,
// and a writer waits up to the busy timeout for another's.
//
// Failures: the first failure throws Failure with the reason in words for the
// user; after it, the store goes on with what it still can, silently: a
// failed write turns writing off (calls that write do nothing), a failed read
// or open turns the whole store off (reads give nothing). One store object
// tells one failure. A file that is no database, or a damaged one, is set
// aside at open as "history.sqlite.damaged-<UTC time>" and a new one is
// started; openNotice() then says so.
//
// One thread: the store is a named Qt SQL connection of its own, removed
// when the store goes.
class HistoryStore : public QObject
{
    Q_OBJECT
public:
    static constexpr int kKeepDays = 90;
    static constexpr int kRestoreDays = 30;
    static constexpr int kRestoreSessions = 10;
    static constexpr int kSyncIntervalMs = 2000;
    static constexpr int kBusyTimeoutMs = 5000;

    explicit HistoryStore(const QString& folder = QString(), QObject* parent = nullptr);
    ~HistoryStore() override;
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Before open(): how long a write waits for another program's.
    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }

    // Opens or creates the file, brings its schema up to date and removes the
    // answers older than `keepDays` days. Throws Failure (the store is then off).
    void open(int keepDays = kKeepDays, const QDateTime& now = QDateTime::currentDateTimeUtc());
    // Set when open() had to set a damaged file aside: the text to tell once.
    QString openNotice() const { return m_openNotice; }

    bool canRead() const { return m_readable; }
    bool canWrite() const { return m_writable; }
    QString fileName() const { return m_path; }
    static QString defaultFolder();
    static const QString kFileName;

    // Sessions and runs. Throw Failure once, as the class says; then give 0,
    // nothing or an empty list.
    qint64 startSession(const QString& program, const QString& runKey = {},
                        const QDateTime& now = QDateTime::currentDateTimeUtc());
    // A command-line run that wrote all its rows; it is no longer resumed.
    void endSession(qint64 session);
    // What the runs of `program` that did not end hold for a resume, in the
    // order they arrived: the answers the service gave and the empty ones
    // (they were paid for); "Could not connect" and service errors are asked
    // again, so they are left out. A run's answers are those its list holds:
    // the ones it stored and the earlier ones it took in by reuse (adopt),
    // each given as the run's own.
    QList<RunAnswer> unfinishedAnswers(const QString& program);
    // The latest run of `program` under `runKey` that did not end.
    std::optional<HistorySession> unfinishedRun(const QString& program, const QString& runKey);
    // What "Restore Last Results" offers in a session that started as
    // `current`, newest first: the program's earlier sessions not yet
    // restored whose list holds rows and changed within kRestoreDays days,
    // the kRestoreSessions latest of them. Sessions that fall outside (too
    // old, empty, or beyond the latest ones) are never offered again.
    QList<HistorySession> sessionsToRestore(const QString& program, qint64 current,
                                            const QDateTime& now = QDateTime::currentDateTimeUtc());
    void markRestored(qint64 session);
    // The rows a session's list holds, in the order they joined it.
    QList<StoredAnswer> sessionRows(qint64 session);

    // Stores one answer or failure as it arrives and appends it to its
    // session's list. Gives its id; 0 when nothing could be stored.
    qint64 store(const StoredAnswer& answer);
    // An attempt the service refused (quota, key, withdrawn API, too many
    // requests): kept for the record as a failure, in no list, since no row
    // was made of it. Gives its id; 0 when nothing could be stored.
    qint64 storeRefusal(StoredAnswer answer);
    // Earlier answers a command-line run used instead of asking again: they
    // join its list, so a resume of the run counts them as its own.
    void adopt(qint64 session, const QList<qint64>& answerIds) { addToList(session, answerIds); }
    // Takes in one session of an earlier version's journal, all its rows in
    // one transaction, received at `time`. `source` names the file: one
    // already taken in is passed over (gives false), so a start killed
    // before the file was renamed does not take it in twice.
    bool importSession(const QString& source, const QString& program, const QString& runKey,
                       const QDateTime& time, const QList<StoredAnswer>& rows);
    // The list of a session: rows restored into it, rows removed, cleared.
    void addToList(qint64 session, qint64 answerId);
    // Many rows at once, in the order given, in one transaction: a restored
    // session of thousands of rows joins the list whole or not at all.
    void addToList(qint64 session, const QList<qint64>& answerIds);
    void removeFromList(qint64 session, qint64 answerId);
    void clearList(qint64 session);

    // For each key (an E.164 form, or the digits sent for a number without
    // one), the newest answer the service gave that is younger than `days`
    // days: received after now - days, so one exactly `days` old is not.
    // Failures are never reused. Keys with none are left out.
    QHash<QString, ReusableAnswer> reusable(const QStringList& keys, int days,
                                            const QDateTime& now = QDateTime::currentDateTimeUtc());
    // The answers of these ids, in the order given; unknown ids are left out.
    QList<StoredAnswer> answers(const QList<qint64>& ids);
    // Removes every answer stored under `key`, and its rows in every list,
    // so that it cannot come back by a restore. Gives how many went.
    int forget(const QString& key);
    // Removes the answers older than `days` days. Gives how many went.
    int prune(int days, const QDateTime& now = QDateTime::currentDateTimeUtc());
    // Every stored answer and failure received at or after `since`, oldest
    // first. The rows must not outlive the store.
    HistoryRows rowsSince(const QDateTime& since);

    // Syncs the WAL to disk now rather than within kSyncIntervalMs.
    void sync();

private:
    void openFile(int keepDays, const QDateTime& now);
    void connectDatabase();
    void disconnectDatabase();
    void setAside(const QDateTime& now);
    void wrote();
    // Runs `work`; a fault turns writing (or everything) off and is told once.
    bool guard(bool writes, const std::function<void()>& work);
    Failure failureOf(const history::SqlFault& fault) const;

    struct Inserts;
    Inserts& inserts();

    std::unique_ptr<Inserts> m_inserts;
    QString m_folder;
    QString m_path;
    QString m_connection;
    QString m_openNotice;
    int m_busyTimeoutMs = kBusyTimeoutMs;
    bool m_readable = false;
    bool m_writable = false;
    bool m_told = false;
    int m_walFd = -1;
    bool m_dirty = false;
    QTimer m_syncTimer;
};

} // namespace quillmore
