#pragma once

#include "tables/table.h"
#include "tables/tableplan.h"

#include <QByteArray>
#include <QStringList>

#include <functional>

class QIODevice;

namespace quillmore {

// The result columns a table gets after its own, in this order. A caption
// the table's header already uses (case and outer blanks aside) gets
// " (lookup)" appended, as often as it takes to be new.
inline const QStringList kTableResultCaptions{
    QStringLiteral("Type"),     QStringLiteral("Name"),   QStringLiteral("Location"),
    QStringLiteral("Provider"), QStringLiteral("Status"), QStringLiteral("E.164")};
QStringList tableResultCaptions(const QStringList& header);

// A row's result as the caller has it: Type, Name, Location, Provider and
// Status, the five cells of the results list after its number.
using TableResultCells = QStringList;

// A table written back as CSV, the input's rows in input order, each with all
// its cells unchanged and then the result columns, made a line at a time so
// that nothing but the row at hand is held. The file is written as the input
// was: its delimiter and line end, a cell quoted only when it must be
// (csvLine). It is UTF-8; it begins with a byte-order mark when the input had
// one or was not UTF-8 CSV (an 8-bit file or a workbook), so that a
// spreadsheet program opens it as UTF-8.
//
// Short rows, and the header, are padded with empty cells to the table's
// widest row, so the result columns stand under their captions.
//
// A row that is not sent gets its plan's Status ("No number", "Cannot be a
// valid number") and no other result; a sent row gets the cells the caller
// gives, any that begins like a spreadsheet formula ("=", "+", "-", "@", TAB,
// CR) with a "'" put in front, as the service's texts are not the user's.
class CsvTableWriter
{
public:
    CsvTableWriter(const Table& table, const TablePlan& plan);

    // The byte-order mark when due, and the header line.
    QByteArray header() const;
    // Row `row` (0-based) with its line end; `results` as above (ignored for
    // a row that is not sent; missing cells are empty).
    QByteArray row(qsizetype row, const TableResultCells& results) const;

private:
    QByteArray line(const QStringList& cells) const;

    const Table& m_table;
    const TablePlan& m_plan;
    qsizetype m_columns = 0;
};

// The whole table through CsvTableWriter: `results(row)` gives each sent
// row's cells. Every write that the device refuses throws Failure.
void writeCsvTable(QIODevice& device, const Table& table, const TablePlan& plan,
                   const std::function<TableResultCells(qsizetype row)>& results);

// One table row as a JSON Lines record (a line, "\n" included):
//   {"row": {caption: cell, ...}, "number": the phone cell, "e164": "+1..." or
//    null, "valid": true, false or null (no number), "status": ..., "answer": ...}
// The row's object has a member for each header caption (an empty or repeated
// caption is named by its column: "column 3"); a cell beyond the header is
// named the same way. `answer` goes in as it is when `answerIsJson` (the caller
// knows a JSON document when it sees one), else as a string; empty is null.
QByteArray tableJsonLine(const Table& table, const TablePlan& plan, qsizetype phoneColumn,
                         qsizetype row, const QString& status, const QString& answer,
                         bool answerIsJson);

} // namespace quillmore
