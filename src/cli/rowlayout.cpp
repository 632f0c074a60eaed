#include "cli/rowlayout.h"

#include "export/csvexport.h"
#include "export/jsonlinesexport.h"
#include "export/jsontext.h"
#include "tables/tableplan.h"

namespace quillmore::cli {

ListLayout::ListLayout(const QStringList& numbers, const PhoneNumbers& phone)
    : m_numbers(numbers), m_phone(phone)
{
}

QByteArray ListLayout::csvHeader() const
{
    return csvHeaderBytes(kResultCaptions);
}

QByteArray ListLayout::csvRow(qsizetype, const ResultRecord& record) const
{
    return csvRowBytes(record.cells, kResultCaptions.size());
}

QByteArray ListLayout::jsonRow(qsizetype, const ResultRecord& record) const
{
    return jsonLine(kResultCaptions, record, m_phone);
}

QStringList ListLayout::textCaptions() const
{
    return kResultCaptions;
}

QStringList ListLayout::textCells(qsizetype, const ResultRecord& record) const
{
    return record.cells;
}

TableLayout::TableLayout(const Table& table, const TablePlan& plan, qsizetype phoneColumn)
    : m_table(table), m_plan(plan), m_phoneColumn(phoneColumn), m_csv(table, plan)
{
}

qsizetype TableLayout::rowCount() const
{
    return m_table.rows.size();
}

QString TableLayout::rowNumber(qsizetype row) const
{
    return m_table.rows.at(row).value(m_phoneColumn);
}

QByteArray TableLayout::csvHeader() const
{
    return m_csv.header();
}

// Type, Name, Location, Provider and Status: the result row after its number.
static TableResultCells resultCells(const ResultRecord& record)
{
    return record.cells.mid(1, 5);
}

QByteArray TableLayout::csvRow(qsizetype row, const ResultRecord& record) const
{
    return m_csv.row(row, resultCells(record));
}

QByteArray TableLayout::jsonRow(qsizetype row, const ResultRecord& record) const
{
    return tableJsonLine(m_table, m_plan, m_phoneColumn, row, record.cells.value(5), record.answer,
                         isJsonContainer(record.answer));
}

QStringList TableLayout::textCaptions() const
{
    return QStringList{m_table.header.value(m_phoneColumn)} + kTableResultCaptions;
}

QStringList TableLayout::textCells(qsizetype row, const ResultRecord& record) const
{
    const QString e164 = m_plan.e164(row);
    QStringList cells{rowNumber(row)};
    if (e164.isEmpty())
        cells << QString() << QString() << QString() << QString() << m_plan.status(row);
    else
        cells << resultCells(record);
    cells.resize(6);
    cells << e164;
    return cells;
}

} // namespace quillmore::cli
