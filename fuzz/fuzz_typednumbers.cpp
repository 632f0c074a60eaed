// Cutting typed input into entries.
#include "fuzzcheck.h"
#include "numbers/numberlist.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString answer = QString::fromUtf8(fuzzBytes(data, size));
    const QStringList entries = quillmore::splitTypedNumbers(answer);

    FUZZ_REQUIRE(entries.size() == answer.count(u',') + 1);
    qsizetype from = 0;
    for (const QString& entry : entries) {
        FUZZ_REQUIRE(!entry.contains(u','));
        FUZZ_REQUIRE(!entry.startsWith(u' ') && !entry.endsWith(u' '));
        // Each entry is its piece with the outer spaces gone, nothing else.
        qsizetype end = answer.indexOf(u',', from);
        if (end < 0)
            end = answer.size();
        const QStringView piece = QStringView(answer).mid(from, end - from);
        const qsizetype lead = piece.indexOf(entry);
        FUZZ_REQUIRE(lead >= 0);
        for (qsizetype i = 0; i < piece.size(); ++i)
            if (i < lead || i >= lead + entry.size())
                FUZZ_REQUIRE(piece.at(i) == u' ');
        from = end + 1;
    }
    return 0;
}
