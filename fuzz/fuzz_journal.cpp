// Reading a results journal back, as a start and "Restore Last Results" do.
#include "export/journalformat.h"
#include "fuzzcheck.h"

namespace {

// What a text keeps through UTF-8: a lone surrogate comes back as U+FFFD.
QString throughUtf8(const QString& text)
{
    return QString::fromUtf8(text.toUtf8());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text = fuzzBytes(data, size);
    const QList<quillmore::ResultRecord> rows = quillmore::replayJournal(text);

    // A start throws away only sessions that surely hold no rows.
    FUZZ_REQUIRE(rows.isEmpty() || quillmore::journalMayHoldRows(text));
    FUZZ_REQUIRE(rows.size() <= text.count('\n') + 1);

    // The rows written again as a journal come back as they are.
    QByteArray again;
    quint64 id = 1;
    for (const quillmore::ResultRecord& row : rows) {
        FUZZ_REQUIRE(!row.ticked);
        again += quillmore::journalAppendLine(id++, row);
    }
    const QList<quillmore::ResultRecord> back = quillmore::replayJournal(again);
    FUZZ_REQUIRE(back.size() == rows.size());
    for (qsizetype r = 0; r < rows.size(); ++r) {
        FUZZ_REQUIRE(back[r].number == throughUtf8(rows[r].number));
        FUZZ_REQUIRE(back[r].answer == throughUtf8(rows[r].answer));
        FUZZ_REQUIRE(back[r].cells.size() == rows[r].cells.size());
        for (qsizetype c = 0; c < rows[r].cells.size(); ++c)
            FUZZ_REQUIRE(back[r].cells[c] == throughUtf8(rows[r].cells[c]));
    }
    FUZZ_REQUIRE(quillmore::journalMayHoldRows(again) == !rows.isEmpty());
    return 0;
}
