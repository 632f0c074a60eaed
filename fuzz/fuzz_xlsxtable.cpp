// Reading a contact table from an Excel workbook: any bytes are either a table
// or a Failure, never a crash, a hang or a runaway allocation.
#include "fuzzcheck.h"
#include "shell/errorreport.h"
#include "tables/xlsxtable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const quillmore::Table table = quillmore::readXlsx(fuzzBytes(data, size));
        FUZZ_REQUIRE(table.kind == quillmore::Table::Kind::Xlsx);
        qsizetype cells = table.header.size();
        for (const QStringList& row : table.rows) {
            FUZZ_REQUIRE(row.size() <= 16384);
            cells += row.size();
        }
        FUZZ_REQUIRE(cells <= quillmore::kMaxXlsxCells);
    } catch (const quillmore::Failure& failure) {
        FUZZ_REQUIRE(!failure.description().isEmpty());
    }
    return 0;
}
