#pragma once

#include "shell/resultrecord.h"
#include "tables/tablewriter.h"

#include <QByteArray>
#include <QStringList>

namespace quillmore {
class PhoneNumbers;
}

namespace quillmore::cli {

// How the rows of a run stand in its output, whatever order they come in:
// a number list's result rows, or a table's own rows with the results after
// them. A row is given as its input position and the result it got.
class RowLayout
{
public:
    virtual ~RowLayout() = default;

    virtual qsizetype rowCount() const = 0;
    // The row's number as the input holds it: a stored answer's row is made for it.
    virtual QString rowNumber(qsizetype row) const = 0;

    virtual QByteArray csvHeader() const = 0;
    virtual QByteArray csvRow(qsizetype row, const ResultRecord& record) const = 0;
    virtual QByteArray jsonRow(qsizetype row, const ResultRecord& record) const = 0;
    // The aligned text's columns.
    virtual QStringList textCaptions() const = 0;
    virtual QStringList textCells(qsizetype row, const ResultRecord& record) const = 0;
};

// A number list: the results list's columns, a row for each line.
class ListLayout final : public RowLayout
{
public:
    ListLayout(const QStringList& numbers, const PhoneNumbers& phone);

    qsizetype rowCount() const override { return m_numbers.size(); }
    QString rowNumber(qsizetype row) const override { return m_numbers.at(row); }
    QByteArray csvHeader() const override;
    QByteArray csvRow(qsizetype row, const ResultRecord& record) const override;
    QByteArray jsonRow(qsizetype row, const ResultRecord& record) const override;
    QStringList textCaptions() const override;
    QStringList textCells(qsizetype row, const ResultRecord& record) const override;

private:
    const QStringList& m_numbers;
    const PhoneNumbers& m_phone;
};

// A contact table written back: every input row with its cells unchanged and
// the result columns after them (CSV in the input's own delimiter), one JSON
// object a row, or the phone cell and the result columns as aligned text.
class TableLayout final : public RowLayout
{
public:
    TableLayout(const Table& table, const TablePlan& plan, qsizetype phoneColumn);

    qsizetype rowCount() const override;
    QString rowNumber(qsizetype row) const override;
    QByteArray csvHeader() const override;
    QByteArray csvRow(qsizetype row, const ResultRecord& record) const override;
    QByteArray jsonRow(qsizetype row, const ResultRecord& record) const override;
    QStringList textCaptions() const override;
    QStringList textCells(qsizetype row, const ResultRecord& record) const override;

private:
    const Table& m_table;
    const TablePlan& m_plan;
    qsizetype m_phoneColumn;
    CsvTableWriter m_csv; // measures the table's width once
};

} // namespace quillmore::cli
