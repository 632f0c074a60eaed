#pragma once

#include "shell/resultrecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {

// Keeps the results list on disk as it changes, so that whatever the user
// paid the service for survives a crash, a kill or a logout, and stays until
// it is restored.
//
// Where: the data folder (the application's AppDataLocation unless a folder is
// given). The folder is made owner-only (0700), the journal files are created
// owner-only (0600). Nothing goes to the settings store.
//
// Sessions: constructing the journal starts a new session with a file of its
// own, "results-<N>.journal", N one above the highest number in the folder.
// The files of earlier sessions stay: "Restore Last Results" takes the latest
// one not yet restored, which is then renamed "results-<N>.journal.restored".
// At each start, before the new file is made, the folder is tidied: restored
// sessions go, and so do sessions whose list ended empty, sessions last
// written more than kKeepDays days ago and, beyond the kKeepSessions latest,
// the oldest ones; a session whose file cannot be read is kept. A session
// with no rows thus never takes the place of one with rows. The journals of
// the earlier one-previous-session layout ("results.journal.previous", then
// "results.journal") are taken in as the latest sessions, in that order.
//
// Format: see journalformat.h.
//
// Durability: every change is one write(2) on an unbuffered file, so it is in
// the operating system's hands before the call returns and survives the
// program's own end of any kind. There is no fsync per row: it would cost
// milliseconds a row; a power cut may lose the last rows.
//
// Every failure to write throws Failure. After one, the next line still
// starts on a fresh line, so a half-written line costs only itself.
class ResultsJournal
{
public:
    static constexpr int kKeepDays = 30;
    static constexpr int kKeepSessions = 10;

    // An earlier session's rows, read for restoring.
    struct Session
    {
        QString fileName;
        QList<ResultRecord> rows;
    };

    // Throws Failure when the folder or the new journal cannot be made.
    // `now` dates the tidying.
    explicit ResultsJournal(const QString& folder = QString(),
                            const QDateTime& now = QDateTime::currentDateTimeUtc());

    ResultsJournal(const ResultsJournal&) = delete;
    ResultsJournal& operator=(const ResultsJournal&) = delete;

    // Whether an earlier session is left to restore in this run.
    bool hasUnrestoredSession() const { return !m_unrestored.isEmpty(); }
    // The latest earlier session not yet restored; it is no longer offered in
    // this run. Throws Failure when its file cannot be read, or when none is left.
    Session takeLatestSession();
    // Marks the session's file as restored, once its rows have joined this
    // session's journal. Throws Failure when the file cannot be renamed.
    void markRestored(const Session& session);

    // `id` names the row for as long as this session lasts.
    void append(quint64 id, const ResultRecord& record);
    void remove(quint64 id);
    void clear();

    QString fileName() const { return m_file.fileName(); }

    // The folder used when none is given.
    static QString defaultFolder();

private:
    void write(QByteArray line);

    QStringList m_unrestored; // earlier sessions' files, oldest first
    QFile m_file;
    bool m_lineOpen = false;
};

} // namespace quillmore
