#pragma once

#include "shell/errorreport.h"
#include "shell/resultrecord.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace quillmore::cli {

// The answers of one command-line run, kept as they come so that a resumed
// run pays for none of them again. Its lines are the desktop results
// journal's appended rows, one JSON object and LF each:
//   {"op":"append","number":"<as typed>","cells":["...",...],"answer":"<raw answer>"}
// Each line is one write(2) on an owner-only file; the file is synced to disk
// (fdatasync) at most every 2 s, so a power cut loses at most the last 2 s.
// Rows are read back by the offset of their line, so the run keeps offsets,
// not answers, in memory.
//
// A failure to write or sync is told as a Failure once per call (a sync the
// timer started, through failed()); after any of them the journal is never
// removed. A line that could not be cut back to the last whole one stops
// all further appends.
class RunJournal : public QObject
{
    Q_OBJECT
public:
    explicit RunJournal(QString path, QObject* parent = nullptr);
    ~RunJournal() override;

    // Opens the journal, creating it and its folder (owner-only) when needed,
    // and takes its lock. A torn last line (a killed run) is cut off. Throws
    // Failure with the reason, also when another run holds the journal.
    void open();

    // Calls `row` for every complete appended row already in the journal.
    void scan(const std::function<void(qint64 offset, ResultRecord&& record)>& row) const;

    // Appends a row; gives the offset of its line. Throws Failure.
    qint64 append(const ResultRecord& record);
    // Nullopt when the line at `offset` cannot be read back whole.
    std::optional<ResultRecord> readAt(qint64 offset) const;

    // Syncs what is written now; otherwise this happens at most 2 s after a
    // write. Throws Failure when the disk did not take it.
    void sync();
    // Closes and deletes the journal: every number has its row in the output.
    // A journal that failed is closed and kept.
    void discard();
    bool hasFailed() const { return m_failed; }

    QString path() const { return m_path; }
    qint64 syncCount() const { return m_syncs; }
    qint64 syncNanoseconds() const { return m_syncNs; }

    static std::optional<ResultRecord> parseLine(const QByteArray& line);

signals:
    // A sync started by the timer failed.
    void failed(const quillmore::Failure& failure);

private:
    Failure writeFailure(const QString& why);

    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    std::unique_ptr<QLockFile> m_lock;
    QTimer m_syncTimer;
    bool m_dirty = false;
    qint64 m_syncs = 0;
    qint64 m_syncNs = 0;
    bool m_failed = false;
    // Set when a fragment could not be cut off: why appends are refused.
    QString m_appendError;
};

} // namespace quillmore::cli
