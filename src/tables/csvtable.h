#pragma once

#include "tables/table.h"

#include <QByteArray>
#include <QString>

namespace quillmore {

// Reads CSV (RFC 4180) as spreadsheet programs write it:
// - UTF-8, with or without a byte-order mark; a file that is not valid UTF-8
//   is read as Windows-1252, what an 8-bit spreadsheet export holds;
// - the delimiter is the one of comma, semicolon and TAB found most often,
//   outside quotes, in the first row; a tie, or none at all, goes to
//   `preferred` when it is among them, then to comma, semicolon, TAB;
// - rows end in CR LF, LF or a lone CR; a quoted cell may hold delimiters,
//   line breaks and doubled quotes; a quote inside an unquoted cell is text;
// - text after a quoted cell's closing quote is kept as part of the cell;
// - blank lines are rows of one empty cell; a final line break opens no row.
// Throws Failure for an empty file (no header row) and for a quoted cell
// that is never closed, which would swallow every row after it.
Table readCsv(const QByteArray& bytes, QChar preferred = u',');

// How the cells of one row stand in a line of a table: joined by the
// delimiter, a cell quoted (its quotes doubled) only when it holds a quote,
// CR, LF or any of comma, semicolon and TAB, or begins with U+FEFF, so that
// the line reads back with the same delimiter and cells whatever its cells
// hold. No line end.
QString csvLine(const QStringList& cells, QChar delimiter);

} // namespace quillmore
