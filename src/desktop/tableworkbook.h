#pragma once

#include "tables/table.h"
#include "tables/tableplan.h"
#include "tables/tablewriter.h"

#include <QString>

#include <functional>

namespace quillmore {

// Writes a table back as a workbook: the header row, bold and frozen, with the
// result captions after the table's own (tableResultCaptions), then every
// row in input order with all its cells and its results, as the CSV writer
// gives them. Every cell is text, so no cell is read as a formula or loses
// its leading zeros. The workbook is made in a scratch folder and replaces
// `path` through the program's safe writer, so a failed save leaves an older
// file of that name as it was. Throws saveFailure().
void saveTableAsWorkbook(const QString& path, const Table& table, const TablePlan& plan,
                         const std::function<TableResultCells(qsizetype row)>& results);

} // namespace quillmore
