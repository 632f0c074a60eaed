#include "tables/tablewriter.h"

#include "shell/errorreport.h"
#include "shell/jsonstring.h"
#include "tables/csvtable.h"

#include <QIODevice>
#include <QSet>

namespace quillmore {

namespace {

constexpr qsizetype kResultCells = 5; // Type, Name, Location, Provider, Status

bool startsFormula(const QString& cell)
{
    if (cell.isEmpty())
        return false;
    const QChar first = cell.front();
    return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
           first == u'\r';
}

QString columnName(qsizetype column)
{
    return QStringLiteral("column %1").arg(column + 1);
}

void write(QIODevice& device, const QByteArray& bytes)
{
    if (device.write(bytes) != bytes.size())
        throw Failure(QStringLiteral("The table cannot be written: %1").arg(device.errorString()));
}

} // namespace

QStringList tableResultCaptions(const QStringList& header)
{
    QSet<QString> used;
    for (const QString& name : header)
        used.insert(name.trimmed().toCaseFolded());
    QStringList captions;
    for (QString caption : kTableResultCaptions) {
        while (used.contains(caption.toCaseFolded()))
            caption += QStringLiteral(" (lookup)");
        used.insert(caption.toCaseFolded());
        captions << caption;
    }
    return captions;
}

CsvTableWriter::CsvTableWriter(QIODevice& device, const Table& table, const TablePlan& plan)
    : m_device(device), m_table(table), m_plan(plan), m_columns(table.columnCount())
{
}

void CsvTableWriter::writeHeader()
{
    if (m_table.byteOrderMark || m_table.kind != Table::Kind::Csv ||
        m_table.encoding != Table::Encoding::Utf8)
        write(m_device, QByteArrayLiteral("\xEF\xBB\xBF"));
    QStringList cells = m_table.header;
    cells.resize(m_columns);
    writeLine(cells + tableResultCaptions(m_table.header));
}

void CsvTableWriter::writeNextRow(const TableResultCells& results)
{
    if (m_next >= m_table.rows.size())
        throw Failure(QStringLiteral("The table has no row %1 to write.").arg(m_next + 1));
    const qsizetype row = m_next;
    QStringList cells = m_table.rows.at(row);
    cells.resize(m_columns);
    cells.reserve(m_columns + kResultCells + 1);
    const QString e164 = m_plan.e164(row);
    for (qsizetype c = 0; c < kResultCells; ++c) {
        QString cell;
        if (e164.isEmpty())
            cell = c == kResultCells - 1 ? m_plan.status(row) : QString();
        else if (c < results.size())
            cell = startsFormula(results.at(c)) ? u'\'' + results.at(c) : results.at(c);
        cells << cell;
    }
    cells << e164;
    writeLine(std::move(cells));
    ++m_next;
}

void CsvTableWriter::writeLine(QStringList cells)
{
    write(m_device, (csvLine(cells, m_table.delimiter) + m_table.lineEnd).toUtf8());
}

void writeCsvTable(QIODevice& device, const Table& table, const TablePlan& plan,
                   const std::function<TableResultCells(qsizetype row)>& results)
{
    CsvTableWriter writer(device, table, plan);
    writer.writeHeader();
    for (qsizetype row = 0; row < table.rows.size(); ++row)
        writer.writeNextRow(plan.e164(row).isEmpty() ? TableResultCells() : results(row));
}

QByteArray tableJsonLine(const Table& table, const TablePlan& plan, qsizetype phoneColumn,
                         qsizetype row, const QString& status, const QString& answer,
                         bool answerIsJson)
{
    const QStringList& cells = table.rows.at(row);
    QString line;
    line += QStringLiteral("{\"row\":{");
    QSet<QString> names;
    for (qsizetype c = 0; c < cells.size(); ++c) {
        QString name = c < table.header.size() ? table.header.at(c) : QString();
        if (name.isEmpty() || names.contains(name))
            name = columnName(c);
        names.insert(name);
        if (c > 0)
            line += u',';
        appendJsonString(line, name);
        line += u':';
        appendJsonString(line, cells.at(c));
    }
    line += QStringLiteral("},\"number\":");
    appendJsonString(line, phoneColumn >= 0 && phoneColumn < cells.size() ? cells.at(phoneColumn)
                                                                          : QString());
    const QString e164 = plan.e164(row);
    line += QStringLiteral(",\"e164\":");
    if (e164.isEmpty())
        line += QStringLiteral("null");
    else
        appendJsonString(line, e164);
    line += QStringLiteral(",\"valid\":");
    switch (plan.rows.at(row).outcome) {
    case PlannedRow::Outcome::NoNumber:
        line += QStringLiteral("null");
        break;
    case PlannedRow::Outcome::CannotBeValid:
        line += QStringLiteral("false");
        break;
    case PlannedRow::Outcome::Send:
        line += QStringLiteral("true");
        break;
    }
    line += QStringLiteral(",\"status\":");
    appendJsonString(line, e164.isEmpty() ? plan.status(row) : status);
    line += QStringLiteral(",\"answer\":");
    if (answer.isEmpty()) {
        line += QStringLiteral("null");
    } else if (answerIsJson) {
        // Line breaks in a JSON document are white space between its tokens.
        QString json = answer.trimmed();
        json.replace(u'\r', u' ');
        json.replace(u'\n', u' ');
        line += json;
    } else {
        appendJsonString(line, answer);
    }
    line += QStringLiteral("}\n");
    return line.toUtf8();
}

} // namespace quillmore
