#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {

// A contact table as read from a CSV, TSV or Excel file: the first row's
// cells are the column names, every later row is a contact. Rows keep the
// cells they had: a short or a long row stays short or long, so writing the
// table back gives every input cell unchanged.
struct Table
{
    enum class Kind : quint8 { Csv, Xlsx };
    // What a CSV file was written in; any other file is read as UTF-8.
    enum class Encoding : quint8 {
        Utf8,
        // Not valid UTF-8: an 8-bit spreadsheet export, read as Windows-1252
        // (Latin-1 with the printable characters at 0x80 to 0x9F).
        Windows1252,
    };

    Kind kind = Kind::Csv;
    QStringList header;
    QList<QStringList> rows;

    // How a CSV file was written, so that it can be written back alike.
    QChar delimiter = u',';
    QString lineEnd = QStringLiteral("\r\n");
    bool byteOrderMark = false;
    Encoding encoding = Encoding::Utf8;

    // The widest row, the header included.
    qsizetype columnCount() const;
};

// True when the file's name says it holds a table: it ends in ".csv", ".tsv"
// or ".xlsx", in any case. Every other file is a plain list, one number a line.
bool isTableFile(const QString& path);

// Reads a table file, by its name's ending: ".xlsx" as a workbook, anything
// else as CSV (TAB-separated unless its first line says otherwise when the
// name ends in ".tsv"). Throws Failure, with a sentence that names the file,
// when it cannot be read or is not a table.
Table readTableFile(const QString& path);

} // namespace quillmore
