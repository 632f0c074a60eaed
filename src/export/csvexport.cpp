#include "export/csvexport.h"

#include "shell/safefile.h"

#include <QBuffer>

namespace quillmore {

namespace {

// Lines are gathered into chunks of about this size before they are written.
constexpr qsizetype kChunkBytes = 64 * 1024;

bool startsFormula(QChar first)
{
    return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
           first == u'\r';
}

bool needsQuotes(const QString& field)
{
    for (const QChar c : field) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

void appendLine(QString& line, const QStringList& cells, qsizetype columns)
{
    for (qsizetype c = 0; c < columns; ++c) {
        if (c > 0)
            line += u',';
        line += csvField(c < cells.size() ? cells.at(c) : QString());
    }
    line += QStringLiteral("\r\n");
}

} // namespace

QString csvField(const QString& cell)
{
    QString field = cell;
    if (!field.isEmpty() && startsFormula(field.front()))
        field.prepend(u'\'');
    if (!needsQuotes(field))
        return field;
    field.replace(u'"', QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

QByteArray csvHeaderBytes(const QStringList& headers)
{
    QString line;
    appendLine(line, headers, headers.size());
    return QByteArray("\xEF\xBB\xBF") + line.toUtf8();
}

QByteArray csvRowBytes(const QStringList& cells, qsizetype columns)
{
    QString line;
    appendLine(line, cells, columns);
    return line.toUtf8();
}

void writeResultsCsv(const ReportTable& table, QIODevice& device)
{
    const qsizetype columns = table.headers.size();
    QByteArray chunk = csvHeaderBytes(table.headers);
    QString line;
    for (const ReportTable::Row& row : table.rows) {
        line.clear();
        appendLine(line, row.cells, columns);
        chunk += line.toUtf8();
        if (chunk.size() >= kChunkBytes) {
            writeAllOrThrow(device, chunk);
            chunk.clear();
        }
    }
    writeAllOrThrow(device, chunk);
}

QByteArray resultsCsvBytes(const ReportTable& table)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writeResultsCsv(table, buffer);
    return bytes;
}

void saveResultsAsCsv(const ReportTable& table, const QString& fileName)
{
    saveWholeFile(fileName, [&](QIODevice& device) { writeResultsCsv(table, device); });
}

} // namespace quillmore
