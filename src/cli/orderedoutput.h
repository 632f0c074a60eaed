#pragma once

#include "cli/clioptions.h"
#include "shell/resultrecord.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>

#include <optional>

class QIODevice;

namespace quillmore::cli {

class RowLayout;
class RunHistory;

// The results file of a run, rows in input order whatever order the answers
// come in. CSV and JSON Lines rows go out as soon as every row before them is
// there; the aligned text needs every row for its widths and is written by
// finish(). Rows are held as the ids of their answers in the lookup history
// and read back when written, so memory does not grow with the answers.
// Write failures throw Failure.
class OrderedOutput
{
public:
    // `layout` says how each row stands in the file, and which number a
    // stored answer's row is made for.
    OrderedOutput(OutputFormat format, QIODevice& device, RunHistory& history,
                  const RowLayout& layout);

    // Row `index` is the answer `id` in the history, or only `record` when the
    // history does not hold it (never sent, or the history could not take
    // it; id 0). `record` may be null otherwise.
    void addRow(qsizetype index, qint64 id, const ResultRecord* record);
    bool hasRow(qsizetype index) const { return m_ids.at(index) != kNone; }

    // While held, rows are only noted; releasing writes those ready in
    // batches. Earlier and reused rows arrive one by one in input order, and
    // reading each back on its own would cost one query a row.
    void hold() { m_held = true; }
    void release();

    // Writes what is left: every row there is, in order, missing ones left out.
    void finish();

    // Every row there is, in order, read back in batches as writing does.
    void forEachRow(const std::function<void(qsizetype index, const ResultRecord&)>& row);

    // Every row there is, in order, into another file: the rows of a run
    // that did not finish go beside the output it must not replace.
    void writeAllTo(QIODevice& device) const;

    // Rows the history could not give back; hasRow() is false for each.
    qsizetype unreadableRows() const { return m_unreadable; }

private:
    static constexpr qint64 kNone = -1;
    static constexpr qint64 kInMemory = -2;
    // Rows read back from the history in one query.
    static constexpr qsizetype kReadBatch = 2000;

    void writeReady();
    // Reads the rows [from, to) that the history holds; rows it cannot give
    // back are no longer there.
    void readBack(qsizetype from, qsizetype to);
    std::optional<ResultRecord> rowAt(qsizetype index);
    void writeRange(qsizetype from, qsizetype to);
    void writeRow(qsizetype index, const ResultRecord& record);
    void writeHeader();
    void put(const QByteArray& bytes);

    OutputFormat m_format;
    QIODevice& m_device;
    RunHistory& m_history;
    const RowLayout& m_layout;
    QList<qint64> m_ids;
    QHash<qsizetype, ResultRecord> m_inMemory;
    QHash<qsizetype, ResultRecord> m_readBack; // of the range being written
    QList<qsizetype> m_widths;
    qsizetype m_next = 0;
    bool m_headerWritten = false;
    bool m_held = false;
    qsizetype m_unreadable = 0;
};

} // namespace quillmore::cli
