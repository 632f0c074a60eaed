#include "cli/orderedoutput.h"

#include "cli/runjournal.h"
#include "export/csvexport.h"
#include "export/jsonlinesexport.h"
#include "export/textexport.h"
#include "shell/errorreport.h"
#include "shell/safefile.h"

#include <QFileDevice>

namespace quillmore::cli {

OrderedOutput::OrderedOutput(OutputFormat format, QIODevice& device, const RunJournal& journal,
                             const PhoneNumbers& phone, qsizetype count)
    : m_format(format), m_device(device), m_journal(journal), m_phone(phone),
      m_offsets(count, kNone)
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
        put(csvHeaderBytes(kResultCaptions));
    else if (m_format == OutputFormat::Text)
        put(alignedLineBytes(kResultCaptions, m_widths));
}

void OrderedOutput::writeRow(const ResultRecord& record)
{
    writeHeader();
    switch (m_format) {
    case OutputFormat::Csv:
        put(csvRowBytes(record.cells, kResultCaptions.size()));
        break;
    case OutputFormat::JsonLines:
        put(jsonLine(kResultCaptions, record, m_phone));
        break;
    case OutputFormat::Text:
        put(alignedLineBytes(record.cells, m_widths));
        break;
    }
}

std::optional<ResultRecord> OrderedOutput::rowAt(qsizetype index)
{
    const qint64 offset = m_offsets.at(index);
    if (offset == kInMemory)
        return m_inMemory.value(index);
    if (offset == kNone)
        return std::nullopt;
    std::optional<ResultRecord> record = m_journal.readAt(offset);
    if (!record) {
        // Left out of the results, so not there for whoever counts them.
        m_offsets[index] = kNone;
        ++m_unreadable;
    }
    return record;
}

void OrderedOutput::addRow(qsizetype index, qint64 offset, const ResultRecord* record)
{
    if (index < 0 || index >= m_offsets.size() || hasRow(index))
        return;
    if (m_format != OutputFormat::Text && index == m_next && record) {
        // The common case: the row is next and needs no reading back.
        m_offsets[index] = offset >= 0 ? offset : kInMemory;
        if (offset < 0)
            m_inMemory.insert(index, *record);
        writeRow(*record);
        ++m_next;
        writeReady();
        return;
    }
    if (offset >= 0) {
        m_offsets[index] = offset;
    } else if (record) {
        m_offsets[index] = kInMemory;
        m_inMemory.insert(index, *record);
    }
    writeReady();
}

void OrderedOutput::writeReady()
{
    if (m_format == OutputFormat::Text)
        return;
    while (m_next < m_offsets.size() && hasRow(m_next)) {
        if (const std::optional<ResultRecord> record = rowAt(m_next))
            writeRow(*record);
        ++m_next;
    }
}

void OrderedOutput::finish()
{
    if (m_format == OutputFormat::Text) {
        m_widths.clear();
        for (const QString& caption : kResultCaptions)
            m_widths << textLength(caption);
        for (qsizetype i = 0; i < m_offsets.size(); ++i)
            if (const std::optional<ResultRecord> record = rowAt(i))
                widenColumns(m_widths, record->cells);
        m_next = 0;
    }
    writeHeader();
    for (; m_next < m_offsets.size(); ++m_next)
        if (const std::optional<ResultRecord> record = rowAt(m_next))
            writeRow(*record);
}

void OrderedOutput::writeAllTo(QIODevice& device) const
{
    OrderedOutput copy(m_format, device, m_journal, m_phone, 0);
    copy.m_offsets = m_offsets;
    copy.m_inMemory = m_inMemory;
    copy.finish();
}

} // namespace quillmore::cli
