#pragma once

#include "resultrecord.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

namespace quillmore {

// Keeps the results list on disk as it changes, so that whatever the user
// paid the service for survives a crash, a kill or a logout.
//
// Where: the file "results.journal" in the data folder (the application's
// AppDataLocation unless a folder is given). The folder is made owner-only
// (0700), the journal files are created owner-only (0600). Nothing goes to
// the settings store.
//
// Sessions: constructing the journal starts a new session. The journal the
// last session left becomes "results.journal.previous", replacing any older
// one, so exactly one previous session is kept; a new, empty journal starts.
//
// Format: UTF-8 text, one JSON object per line, each ended by LF, with "op"
// saying what happened to the list:
//   {"op":"append","number":"<as typed>","cells":["...",...],"answer":"<raw answer>"}
//   {"op":"remove","index":<0-based position in the list at that moment>}
//   {"op":"clear"}
// Values are only strings, arrays of strings and whole numbers. Replaying the
// lines in order rebuilds the list. A line that is not such a complete object
// with a known op (the torn last line of a killed program, a line from a
// newer format) is passed over; a remove outside the list is ignored. Ticked states are not kept:
// restored rows come back unticked.
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
    // Throws Failure when the folder or the new journal cannot be made.
    explicit ResultsJournal(const QString& folder = QString());

    ResultsJournal(const ResultsJournal&) = delete;
    ResultsJournal& operator=(const ResultsJournal&) = delete;

    // The rows the list held when the previous session ended; empty when there
    // was none. Read afresh from the previous session's file on each call.
    QList<ResultRecord> previousSession() const;

    void append(const ResultRecord& record);
    void remove(qsizetype index);
    void clear();
    // Restored rows join the list: they are journalled as appended rows.
    void replay(const QList<ResultRecord>& records);

    QString fileName() const { return m_file.fileName(); }
    QString previousFileName() const { return m_previousFileName; }

    // The folder used when none is given.
    static QString defaultFolder();
    // Rebuilds a list from a journal's text.
    static QList<ResultRecord> replayJournal(const QByteArray& text);

private:
    void write(QByteArray line);

    QString m_previousFileName;
    QFile m_file;
    bool m_lineOpen = false;
};

} // namespace quillmore
