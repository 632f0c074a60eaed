// Reading an entry with the phone-number library and judging it. The first
// byte picks the region numbers without a country code belong to ("0" the US,
// "1" GB, "2" DE, "3" IN, "4" BR, "5" none the library knows); the rest, as
// UTF-8, is the entry.
#include "fuzzcheck.h"
#include "numbers/duplicates.h"
#include "numbers/phonenumbers.h"
#include "shell/fileutil.h"

#include <algorithm>

using namespace quillmore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const PhoneNumbers regions[] = {
        PhoneNumbers(QStringLiteral("US")), PhoneNumbers(QStringLiteral("GB")),
        PhoneNumbers(QStringLiteral("DE")), PhoneNumbers(QStringLiteral("IN")),
        PhoneNumbers(QStringLiteral("BR")), PhoneNumbers(QStringLiteral("ZZ"))};
    const PhoneNumbers& numbers = regions[data[0] % std::size(regions)];
    const QString entry = QString::fromUtf8(fuzzBytes(data + 1, size - 1));
    const NumberClass cls = numbers.classify(entry);

    FUZZ_REQUIRE(numbers.classify(entry) == cls);
    const bool anyDigit =
        std::any_of(entry.cbegin(), entry.cend(), [](QChar c) { return c.isDigit(); });
    FUZZ_REQUIRE((cls.verdict == NumberClass::Verdict::NoDigits) == !anyDigit);
    if (cls.verdict != NumberClass::Verdict::Valid) {
        FUZZ_REQUIRE(cls.e164.isEmpty());
        return 0;
    }
    // "+", a country code of up to 3 digits and a national number of up to 17:
    // the library follows the numbering plans, which go past E.164's 15 digits
    // (long German numbers, for one).
    FUZZ_REQUIRE(cls.e164.size() >= 3 && cls.e164.size() <= 21 && cls.e164.at(0) == u'+');
    const QString e164Digits = cls.e164.mid(1);
    FUZZ_REQUIRE(digitsOnly(e164Digits) == e164Digits);
    // The E.164 form is a fixed point from any region: duplicates rely on it.
    for (const PhoneNumbers& other : regions)
        FUZZ_REQUIRE(other.classify(cls.e164) == cls);
    const QStringList pair{entry, cls.e164};
    FUZZ_REQUIRE(duplicateNumberIndices(pair, numbers.classify(pair)) == QList<int>{1});
    return 0;
}
