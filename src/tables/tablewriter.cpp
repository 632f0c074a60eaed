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

CsvTableWriter::CsvTableWriter(const Table& table, const TablePlan& plan)
    : m_table(table), m_plan(plan), m_columns(table.columnCount())
{
}

QByteArray CsvTableWriter::header() const
{
    QStringList cells = m_table.header;
    cells.resize(m_columns);
    const QByteArray line = this->line(cells + tableResultCaptions(m_table.header));
    if (m_table.byteOrderMark || m_table.kind != Table::Kind::Csv ||
        m_table.encoding != Table::Encoding::Utf8)
        return QByteArrayLiteral("\xEF\xBB\xBF") + line;
    return line;
}

QByteArray CsvTableWriter::row(qsizetype row, const TableResultCells& results) const
{
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
    return line(cells);
}

QByteArray CsvTableWriter::line(const QStringList& cells) const
{
    return (csvLine(cells, m_table.delimiter) + m_table.lineEnd).toUtf8();
}

void writeCsvTable(QIODevice& device, const Table& table, const TablePlan& plan,
                   const std::function<TableResultCells(qsizetype row)>& results)
{
    const CsvTableWriter writer(table, plan);
    write(device, writer.header());
    for (qsizetype row = 0; row < table.rows.size(); ++row)
        write(device,
              writer.row(row, plan.e164(row).isEmpty() ? TableResultCells() : results(row)));
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
