#pragma once

#include "export/exportview.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;

namespace quillmore {

// Comma-separated values after RFC 4180, for LibreOffice Calc and Excel:
// - UTF-8 with a byte-order mark, which both read as UTF-8 so accents survive;
// - a header line of the captions, then every row (ticked or not), cells
//   counted by the captions (a short row is padded with empty cells);
// - a field holding a comma, a quote, CR or LF is quoted, its quotes doubled;
//   every line, the last included, ends in CR LF;
// - a cell that a spreadsheet would run as a formula, one that begins with
//   "=", "+", "-", "@", TAB or CR, gets a single quote "'" put in front, so it
//   opens as the text it was. The quote is then part of the cell's text.

// One field as it stands in a line: formula guard, then quoting.
QString csvField(const QString& cell);

// The file's beginning, byte-order mark and header line, and one row's line,
// for a writer that sends the rows one by one as they come.
QByteArray csvHeaderBytes(const QStringList& headers);
QByteArray csvRowBytes(const QStringList& cells, qsizetype columns);

// The whole file into an open device. Throws Failure when a write is refused.
void writeResultsCsv(const ReportTable& table, QIODevice& device);

// The same as bytes.
QByteArray resultsCsvBytes(const ReportTable& table);

// Replaces `fileName` only with a complete file. Throws Failure naming the file.
void saveResultsAsCsv(const ReportTable& table, const QString& fileName);

} // namespace quillmore
