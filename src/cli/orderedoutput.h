#pragma once

#include "cli/clioptions.h"
#include "shell/resultrecord.h"

#include <QHash>
#include <QList>
#include <QStringList>

class QIODevice;

namespace quillmore {
class PhoneNumbers;
}

namespace quillmore::cli {

class RunJournal;

// The results file of a run, rows in input order whatever order the answers
// come in. CSV and JSON Lines rows go out as soon as every row before them is
// there; the aligned text needs every row for its widths and is written by
// finish(). Rows are held as journal offsets and read back when written, so
// memory does not grow with the answers. Write failures throw Failure.
class OrderedOutput
{
public:
    // `phone` judges each row's number for the JSON Lines file.
    OrderedOutput(OutputFormat format, QIODevice& device, const RunJournal& journal,
                  const PhoneNumbers& phone, qsizetype count);

    // A row that is not in the journal (never sent, or the journal could
    // not take it) is held in memory; `offset` < 0 says so.

    // Row `index` is at `offset` in the journal, or only in `record` when the
    // journal could not take it (offset < 0). `record` may be null otherwise.
    void addRow(qsizetype index, qint64 offset, const ResultRecord* record);
    bool hasRow(qsizetype index) const { return m_offsets.at(index) != kNone; }

    // Writes what is left: every row there is, in order, missing ones left out.
    void finish();

    // Every row there is, in order, into another file: the rows of a run
    // that did not finish go beside the output it must not replace.
    void writeAllTo(QIODevice& device) const;

    // Rows the journal could not give back; hasRow() is false for each.
    qsizetype unreadableRows() const { return m_unreadable; }

private:
    static constexpr qint64 kNone = -1;
    static constexpr qint64 kInMemory = -2;

    void writeReady();
    std::optional<ResultRecord> rowAt(qsizetype index);
    void writeRow(const ResultRecord& record);
    void writeHeader();
    void put(const QByteArray& bytes);

    OutputFormat m_format;
    QIODevice& m_device;
    const RunJournal& m_journal;
    const PhoneNumbers& m_phone;
    QList<qint64> m_offsets;
    QHash<qsizetype, ResultRecord> m_inMemory;
    QList<qsizetype> m_widths;
    qsizetype m_next = 0;
    bool m_headerWritten = false;
    qsizetype m_unreadable = 0;
};

} // namespace quillmore::cli
