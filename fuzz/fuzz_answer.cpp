// Decoding an answer file's bytes and flattening them to one line.
#include "fuzzcheck.h"
#include "lookup/answer.h"

namespace {

// Each valid UTF-8 sequence as its character, each other byte as the
// character of the same number: what the decoder promises, written the
// slow way, one byte at a time.
QString referenceUtf8(const QByteArray& bytes)
{
    QString text;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        const unsigned char b = p[i];
        const int n = b < 0x80                 ? 1
                      : b >= 0xC2 && b <= 0xDF ? 2
                      : b >= 0xE0 && b <= 0xEF ? 3
                      : b >= 0xF0 && b <= 0xF4 ? 4
                                               : 0;
        char32_t cp = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
        bool valid = n > 0 && i + n <= size;
        for (int k = 1; valid && k < n; ++k) {
            valid = (p[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (valid) {
            const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
            valid = cp >= least[n] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        }
        if (!valid) {
            text.append(QChar(char16_t(b)));
            ++i;
            continue;
        }
        // By hand: QString::fromUcs4 would take a U+FEFF for a byte-order mark.
        if (cp >= 0x10000) {
            text.append(QChar(char16_t(0xD800 + ((cp - 0x10000) >> 10))));
            text.append(QChar(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF))));
        } else {
            text.append(QChar(char16_t(cp)));
        }
        i += n;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const QString decoded = quillmore::decodeAnswer(bytes);
    const bool utf16 =
        !bytes.isEmpty() && (uchar(bytes.at(0)) == 0xFF || uchar(bytes.at(0)) == 0xFE);
    if (utf16) {
        FUZZ_REQUIRE(decoded.size() == (bytes.size() + 1) / 2);
        for (qsizetype i = 0; i < decoded.size(); ++i) {
            const char16_t unit = decoded.at(i).unicode();
            const char16_t high = 2 * i + 1 < bytes.size() ? uchar(bytes.at(2 * i + 1)) : 0;
            FUZZ_REQUIRE(unit == char16_t(uchar(bytes.at(2 * i)) | (high << 8)));
        }
    } else {
        FUZZ_REQUIRE(decoded == referenceUtf8(bytes));
    }

    const QString line = quillmore::flattenLines(decoded);
    FUZZ_REQUIRE(!line.contains(u'\t') && !line.contains(u'\r') && !line.contains(u'\n'));
    // TABs go first; then a CR LF pair (also one that a TAB stood in) becomes
    // one space, and every other break one space.
    QString untabbed = decoded;
    untabbed.remove(u'\t');
    FUZZ_REQUIRE(line.size() == untabbed.size() - untabbed.count(QStringLiteral("\r\n")));
    FUZZ_REQUIRE(quillmore::flattenLines(line) == line);
    return 0;
}
