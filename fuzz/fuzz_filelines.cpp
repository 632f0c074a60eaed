// Cutting a number file's text into entries.
#include "fuzzcheck.h"
#include "numbers/numberlist.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzLatin1(data, size);
    const QStringList entries = quillmore::splitFileLines(text);

    // Put back together with the breaks they were cut at, the entries give the
    // text again: each break is a CR LF, a lone CR or a lone LF.
    qsizetype breaks = 0;
    qsizetype at = 0;
    for (qsizetype e = 0; e < entries.size(); ++e) {
        const QString& entry = entries.at(e);
        FUZZ_REQUIRE(!entry.contains(u'\r') && !entry.contains(u'\n'));
        FUZZ_REQUIRE(QStringView(text).mid(at, entry.size()) == entry);
        at += entry.size();
        if (at < text.size()) {
            ++breaks;
            const bool pair =
                text.at(at) == u'\r' && at + 1 < text.size() && text.at(at + 1) == u'\n';
            at += pair ? 2 : 1;
        }
    }
    FUZZ_REQUIRE(at == text.size());

    // A final CR LF or CR closes the last entry; anything else, a final LF
    // included, is followed by one more entry.
    qsizetype expected = 0;
    if (!text.isEmpty())
        expected =
            text.endsWith(u'\r') || text.endsWith(QStringLiteral("\r\n")) ? breaks : breaks + 1;
    FUZZ_REQUIRE(entries.size() == expected);
    return 0;
}
