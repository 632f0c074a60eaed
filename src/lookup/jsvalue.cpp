#include "lookup/jsvalue.h"

#include "shell/errorreport.h"

namespace quillmore {

static inline char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

qsizetype findIgnoringCase(QStringView text, QStringView key)
{
    const qsizetype m = key.size();
    const qsizetype n = text.size();
    if (m == 0)
        return 0;
    if (m > n)
        return -1;
    for (QChar c : key) {
        if (c.unicode() >= 0x80)
            return text.indexOf(key, 0, Qt::CaseInsensitive);
    }
    // Key names are ASCII: a plain scan for the first letter in either case,
    // then a folded comparison, keeps a 10 MB answer well under a second.
    const char16_t* t = text.utf16();
    const char16_t* k = key.utf16();
    const char16_t lower0 = asciiLower(k[0]);
    const char16_t upper0 = (lower0 >= u'a' && lower0 <= u'z') ? char16_t(lower0 - 32) : lower0;
    const qsizetype last = n - m;
    for (qsizetype i = 0; i <= last; ++i) {
        const char16_t c = t[i];
        if (c != lower0 && c != upper0)
            continue;
        qsizetype j = 1;
        while (j < m && asciiLower(t[i + j]) == asciiLower(k[j]))
            ++j;
        if (j == m)
            return i;
    }
    return -1;
}

QString jsValueCore(QStringView text, QStringView key)
{
    if (text.isEmpty())
        return {};
    const qsizetype found = findIgnoringCase(text, key);
    if (found < 0)
        return {};
    const qsizetype afterKey = found + key.size();
    qsizetype end = text.indexOf(u',', afterKey);
    if (end < 0)
        end = text.indexOf(u"\" ", afterKey);
    const qsizetype length = end - afterKey - 1;
    if (end < 0 || length < 0)
        throw Failure(QStringLiteral("Invalid procedure call or argument"));
    // Starts past the key's closing quote and the colon; ends with the end mark itself.
    QString piece = text.mid(afterKey + 2, length).toString();
    piece.remove(u'"');
    piece.remove(u',');
    piece.remove(u':');
    return piece;
}

QString getJSValue(const QString& text, const QString& key, QList<Failure>* failures)
{
    try {
        return jsValueCore(text, key);
    } catch (const Failure& failure) {
        if (failures)
            failures->append(failure);
        return {};
    }
}

} // namespace quillmore
