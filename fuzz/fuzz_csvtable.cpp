// Reading a contact table written as CSV.
#include "fuzzcheck.h"
#include "shell/errorreport.h"
#include "tables/csvtable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    quillmore::Table table;
    try {
        table = quillmore::readCsv(bytes);
    } catch (const quillmore::Failure&) {
        return 0; // refused with a sentence: empty, or a quote never closed
    }
    FUZZ_REQUIRE(!table.header.isEmpty());
    for (const QStringList& row : table.rows)
        FUZZ_REQUIRE(!row.isEmpty());

    // Written with the table's own delimiter (and mark) and read again, every
    // row comes back cell for cell: the writer quotes whatever the reader
    // would split, and the first line sniffs as the same delimiter.
    QString text = table.byteOrderMark ? QStringLiteral("\uFEFF") : QString();
    text += quillmore::csvLine(table.header, table.delimiter) + QStringLiteral("\r\n");
    for (const QStringList& row : table.rows)
        text += quillmore::csvLine(row, table.delimiter) + QStringLiteral("\r\n");
    const quillmore::Table again = quillmore::readCsv(text.toUtf8(), table.delimiter);
    FUZZ_REQUIRE(again.header == table.header);
    FUZZ_REQUIRE(again.rows == table.rows);
    return 0;
}
