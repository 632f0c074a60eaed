// The value reader on any answer and any key. The input's first line is the
// key, the rest the answer text.
#include "fuzzcheck.h"
#include "lookup/jsvalue.h"
#include "shell/errorreport.h"

namespace {

bool isAscii(QStringView s)
{
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

// The plain quadratic search the reader's faster one must agree with.
qsizetype naiveFind(QStringView text, QStringView key)
{
    for (qsizetype i = 0; i + key.size() <= text.size(); ++i) {
        qsizetype j = 0;
        while (j < key.size() && foldAscii(text[i + j].unicode()) == foldAscii(key[j].unicode()))
            ++j;
        if (j == key.size())
            return i;
    }
    return -1;
}

bool isSubsequence(QStringView part, QStringView whole)
{
    qsizetype at = 0;
    for (QChar c : part) {
        at = whole.indexOf(c, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const qsizetype cut = bytes.indexOf('\n');
    const QString key = cut < 0 ? QString() : QString::fromUtf8(bytes.left(cut));
    const QString text = QString::fromUtf8(cut < 0 ? bytes : bytes.mid(cut + 1));

    const qsizetype found = quillmore::findIgnoringCase(text, key);
    FUZZ_REQUIRE(found == -1 || (found >= 0 && found + key.size() <= text.size()));
    if (isAscii(text) && isAscii(key))
        FUZZ_REQUIRE(found == naiveFind(text, key));

    const qsizetype afterKey = found + key.size();
    QString value;
    bool failed = false;
    try {
        value = quillmore::jsValueCore(text, key);
    } catch (const quillmore::Failure&) {
        failed = true;
    }
    if (text.isEmpty() || found < 0) {
        FUZZ_REQUIRE(!failed && value.isEmpty());
        return 0;
    }
    qsizetype end = text.indexOf(u',', afterKey);
    if (end < 0)
        end = text.indexOf(u"\" ", afterKey);
    // It refuses exactly when there is no end mark or the mark stands right after the key.
    FUZZ_REQUIRE(failed == (end < afterKey + 1));
    FUZZ_REQUIRE(!value.contains(u'"') && !value.contains(u',') && !value.contains(u':'));
    FUZZ_REQUIRE(isSubsequence(value, QStringView(text).mid(afterKey)));
    return 0;
}
