#pragma once

#include "tables/table.h"

#include <QByteArray>

namespace quillmore {

// Reads the first worksheet of an Excel workbook (.xlsx) as text, the way the
// sheet shows it without formatting:
// - text cells (shared or inline, rich text runs joined, phonetic guides
//   left out) as they are;
// - numbers in their shortest form: 4135923823 and 1.4135923823E10 give their
//   digits, 3.0 gives "3", 0.25 stays "0.25" (up to 15 significant digits);
// - TRUE and FALSE for booleans, the error text (#N/A) for errors, a formula's
//   last value;
// - a missing cell is an empty one, so every cell keeps its column; rows
//   above the first filled one and below the last are left out.
// The first filled row is the header. Throws Failure with a plain sentence for
// a file that is not a workbook, a part that says it unpacks to more than
// 200 MB, a sheet of more than kMaxCells cells, or an empty sheet.
Table readXlsx(const QByteArray& bytes);

// Cells (empty ones between filled ones included) a sheet may give.
constexpr qsizetype kMaxXlsxCells = 10'000'000;

} // namespace quillmore
