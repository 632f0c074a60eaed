// Restoring the stored number list, and storing it again.
#include "fuzzcheck.h"
#include "numbers/numberlist.h"
#include "shell/fileutil.h"

#include <QStringList>

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString stored = QString::fromUtf8(fuzzBytes(data, size));
    const QStringList entries = quillmore::splitFromStorage(stored);

    qsizetype characters = 0;
    for (const QString& entry : entries) {
        FUZZ_REQUIRE(!entry.isEmpty());
        FUZZ_REQUIRE(!entry.contains(u';'));
        characters += entry.size();
        const QString digits = quillmore::digitsOnly(entry);
        FUZZ_REQUIRE(digits.size() <= entry.size());
        for (QChar c : digits)
            FUZZ_REQUIRE(c >= u'0' && c <= u'9');
        FUZZ_REQUIRE(digits.size() == std::count_if(entry.begin(), entry.end(), [](QChar c) {
                         return c >= u'0' && c <= u'9';
                     }));
    }
    // Nothing but the separators and the empty pieces is lost.
    FUZZ_REQUIRE(characters == stored.size() - stored.count(u';'));

    const QString again = quillmore::joinForStorage(entries);
    FUZZ_REQUIRE(quillmore::splitFromStorage(again) == entries);
    FUZZ_REQUIRE(again.size() == characters + std::max<qsizetype>(entries.size() - 1, 0));
    return 0;
}
