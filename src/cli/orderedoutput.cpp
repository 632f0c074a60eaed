#include "cli/orderedoutput.h"

#include "cli/rowlayout.h"
#include "cli/runhistory.h"
#include "export/textexport.h"
#include "shell/errorreport.h"
#include "shell/safefile.h"

#include <QFileDevice>

namespace quillmore::cli {

OrderedOutput::OrderedOutput(OutputFormat format, QIODevice& device, RunHistory& history,
                             const RowLayout& layout)
    : m_format(format), m_device(device), m_history(history), m_layout(layout),
      m_ids(layout.rowCount(), kNone)
{
}

void OrderedOutput::put(const QByteArray& bytes)
{
    auto* file = qobject_cast<QFileDevice*>(&m_device);
    try {
        writeAllOrThrow(m_device, bytes);
        // Standard output reaches a pipe row by row, not when a buffer fills.
        if (file && !file->flush())
            throw Failure(file->errorString());
    } catch (const Failure& failure) {
        if (file && !file->fileName().isEmpty())
            throw saveFailure(file->fileName(), failure.description());
        throw;
    }
}

void OrderedOutput::writeHeader()
{
    if (m_headerWritten)
        return;
    m_headerWritten = true;
    if (m_format == OutputFormat::Csv)
        put(m_layout.csvHeader());
    else if (m_format == OutputFormat::Text)
        put(alignedLineBytes(m_layout.textCaptions(), m_widths));
}

void OrderedOutput::writeRow(qsizetype index, const ResultRecord& record)
{
    writeHeader();
    switch (m_format) {
    case OutputFormat::Csv:
        put(m_layout.csvRow(index, record));
        break;
    case OutputFormat::JsonLines:
        put(m_layout.jsonRow(index, record));
        break;
    case OutputFormat::Text:
        put(alignedLineBytes(m_layout.textCells(index, record), m_widths));
        break;
    }
}

void OrderedOutput::readBack(qsizetype from, qsizetype to)
{
    m_readBack.clear();
    QList<qint64> ids;
    for (qsizetype i = from; i < to; ++i)
        if (m_ids.at(i) > 0)
            ids.append(m_ids.at(i));
    if (ids.isEmpty())
        return;
    QHash<qint64, StoredAnswer> byId;
    for (StoredAnswer& answer : m_history.answers(ids))
        byId.insert(answer.id, std::move(answer));
    for (qsizetype i = from; i < to; ++i) {
        const qint64 id = m_ids.at(i);
        if (id <= 0)
            continue;
        const auto found = byId.constFind(id);
        if (found == byId.cend()) {
            // Left out of the results, so not there for whoever counts them.
            m_ids[i] = kNone;
            ++m_unreadable;
            continue;
        }
        m_readBack.insert(i, rowFromHistory(*found, m_layout.rowNumber(i)));
    }
}

std::optional<ResultRecord> OrderedOutput::rowAt(qsizetype index)
{
    const qint64 id = m_ids.at(index);
    if (id == kInMemory)
        return m_inMemory.value(index);
    const auto found = m_readBack.constFind(index);
    if (id == kNone || found == m_readBack.cend())
        return std::nullopt;
    return *found;
}

// Rows [from, to) in batches: one query a batch rather than one a row.
void OrderedOutput::writeRange(qsizetype from, qsizetype to)
{
    for (qsizetype start = from; start < to; start += kReadBatch) {
        const qsizetype end = std::min(to, start + kReadBatch);
        readBack(start, end);
        for (qsizetype i = start; i < end; ++i)
            if (const std::optional<ResultRecord> record = rowAt(i))
                writeRow(i, *record);
    }
    m_readBack.clear();
}

void OrderedOutput::addRow(qsizetype index, qint64 id, const ResultRecord* record)
{
    if (index < 0 || index >= m_ids.size() || hasRow(index))
        return;
    if (id <= 0 && !record)
        return;
    m_ids[index] = id > 0 ? id : kInMemory;
    // A row the history holds is read back from it when written; the one that
    // is next needs no reading back.
    if (id <= 0)
        m_inMemory.insert(index, *record);
    if (m_held)
        return;
    if (m_format != OutputFormat::Text && index == m_next && record) {
        writeRow(index, *record);
        ++m_next;
    }
    writeReady();
}

void OrderedOutput::release()
{
    m_held = false;
    writeReady();
}

void OrderedOutput::writeReady()
{
    if (m_format == OutputFormat::Text)
        return;
    qsizetype end = m_next;
    while (end < m_ids.size() && hasRow(end))
        ++end;
    if (end == m_next)
        return;
    const qsizetype from = std::exchange(m_next, end);
    writeRange(from, end);
}

void OrderedOutput::finish()
{
    m_held = false;
    if (m_format == OutputFormat::Text) {
        m_widths.clear();
        for (const QString& caption : m_layout.textCaptions())
            m_widths << textLength(caption);
        for (qsizetype start = 0; start < m_ids.size(); start += kReadBatch) {
            const qsizetype end = std::min(m_ids.size(), start + kReadBatch);
            readBack(start, end);
            for (qsizetype i = start; i < end; ++i)
                if (const std::optional<ResultRecord> record = rowAt(i))
                    widenColumns(m_widths, m_layout.textCells(i, *record));
        }
        m_next = 0;
    }
    writeHeader();
    // Rows missing in the middle are left out; those after them go too.
    const qsizetype from = std::exchange(m_next, m_ids.size());
    writeRange(from, m_ids.size());
}

void OrderedOutput::forEachRow(const std::function<void(qsizetype index, const ResultRecord&)>& row)
{
    for (qsizetype start = 0; start < m_ids.size(); start += kReadBatch) {
        const qsizetype end = std::min(m_ids.size(), start + kReadBatch);
        readBack(start, end);
        for (qsizetype i = start; i < end; ++i)
            if (const std::optional<ResultRecord> record = rowAt(i))
                row(i, *record);
    }
    m_readBack.clear();
}

void OrderedOutput::writeAllTo(QIODevice& device) const
{
    OrderedOutput copy(m_format, device, m_history, m_layout);
    copy.m_ids = m_ids;
    copy.m_inMemory = m_inMemory;
    copy.finish();
}

} // namespace quillmore::cli
