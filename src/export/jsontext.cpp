#include "export/jsontext.h"

namespace quillmore {

namespace {

constexpr int kMaxDepth = 512;

bool isJsonSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int hexValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// A cursor over JSON text. Every reader returns false on the first thing that
// is not JSON and leaves the cursor where it stopped.
class JsonCursor
{
public:
    explicit JsonCursor(QStringView text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    qsizetype position() const { return m_pos; }
    void seek(qsizetype pos) { m_pos = pos; }
    QChar peek() const { return atEnd() ? QChar() : m_text[m_pos]; }
    bool take(QChar c)
    {
        if (peek() != c)
            return false;
        ++m_pos;
        return true;
    }
    void skipSpace()
    {
        while (!atEnd() && isJsonSpace(m_text[m_pos]))
            ++m_pos;
    }

    // A string; its decoded text goes to `out` when there is one.
    bool string(QString* out)
    {
        if (!take(u'"'))
            return false;
        for (;;) {
            const qsizetype runStart = m_pos;
            while (!atEnd() && m_text[m_pos] != u'"' && m_text[m_pos] != u'\\' &&
                   m_text[m_pos] >= QChar(0x20))
                ++m_pos;
            if (out)
                out->append(m_text.sliced(runStart, m_pos - runStart));
            if (take(u'"'))
                return true;
            if (!take(u'\\'))
                return false; // the end, or a raw control character
            if (!escape(out))
                return false;
        }
    }

    bool number(qint64* whole)
    {
        const qsizetype start = m_pos;
        take(u'-');
        if (!take(u'0')) {
            if (!isDigit(peek()))
                return false;
            while (isDigit(peek()))
                ++m_pos;
        }
        bool fraction = false;
        if (take(u'.')) {
            fraction = true;
            if (!digits())
                return false;
        }
        if (take(u'e') || take(u'E')) {
            fraction = true;
            if (!take(u'+'))
                take(u'-');
            if (!digits())
                return false;
        }
        if (!whole)
            return true;
        bool ok = false;
        *whole = m_text.sliced(start, m_pos - start).toLongLong(&ok);
        return !fraction && ok;
    }

    bool value(int depth)
    {
        if (depth > kMaxDepth)
            return false;
        switch (peek().unicode()) {
        case u'{':
            return members(u'}', depth, true);
        case u'[':
            return members(u']', depth, false);
        case u'"':
            return string(nullptr);
        case u't':
            return word(u"true");
        case u'f':
            return word(u"false");
        case u'n':
            return word(u"null");
        default:
            return number(nullptr);
        }
    }

private:
    bool digits()
    {
        if (!isDigit(peek()))
            return false;
        while (isDigit(peek()))
            ++m_pos;
        return true;
    }

    bool word(QStringView w)
    {
        if (!m_text.sliced(m_pos).startsWith(w))
            return false;
        m_pos += w.size();
        return true;
    }

    bool escape(QString* out)
    {
        const QChar c = peek();
        ++m_pos;
        QChar decoded;
        switch (c.unicode()) {
        case u'"':
        case u'\\':
        case u'/':
            decoded = c;
            break;
        case u'b':
            decoded = u'\b';
            break;
        case u'f':
            decoded = u'\f';
            break;
        case u'n':
            decoded = u'\n';
            break;
        case u'r':
            decoded = u'\r';
            break;
        case u't':
            decoded = u'\t';
            break;
        case u'u': {
            if (m_pos + 4 > m_text.size())
                return false;
            char16_t unit = 0;
            for (int k = 0; k < 4; ++k) {
                const int h = hexValue(m_text[m_pos++]);
                if (h < 0)
                    return false;
                unit = char16_t(unit * 16 + h);
            }
            // Surrogate pairs arrive as two escapes and join up as two units.
            decoded = QChar(unit);
            break;
        }
        default:
            return false;
        }
        if (out)
            out->append(decoded);
        return true;
    }

    // An object's members or an array's elements, the cursor on the opening bracket.
    bool members(QChar close, int depth, bool named)
    {
        ++m_pos;
        skipSpace();
        if (take(close))
            return true;
        for (;;) {
            skipSpace();
            if (named) {
                if (!string(nullptr))
                    return false;
                skipSpace();
                if (!take(u':'))
                    return false;
                skipSpace();
            }
            if (!value(depth + 1))
                return false;
            skipSpace();
            if (take(close))
                return true;
            if (!take(u','))
                return false;
        }
    }

    QStringView m_text;
    qsizetype m_pos = 0;
};

bool readFlatValue(JsonCursor& cursor, FlatJsonValue& value)
{
    if (cursor.peek() == u'"') {
        value.kind = FlatJsonValue::Kind::Text;
        return cursor.string(&value.text);
    }
    if (cursor.take(u'[')) {
        value.kind = FlatJsonValue::Kind::List;
        cursor.skipSpace();
        if (cursor.take(u']'))
            return true;
        for (;;) {
            cursor.skipSpace();
            QString item;
            if (!cursor.string(&item))
                return false;
            value.list.append(item);
            cursor.skipSpace();
            if (cursor.take(u']'))
                return true;
            if (!cursor.take(u','))
                return false;
        }
    }
    value.kind = FlatJsonValue::Kind::Number;
    return cursor.number(&value.number);
}

} // namespace

bool isJsonContainer(QStringView text)
{
    JsonCursor cursor(text);
    cursor.skipSpace();
    if (cursor.peek() != u'{' && cursor.peek() != u'[')
        return false;
    if (!cursor.value(0))
        return false;
    cursor.skipSpace();
    return cursor.atEnd();
}

std::optional<FlatJsonObject> readFlatJsonObject(QStringView text)
{
    JsonCursor cursor(text);
    FlatJsonObject object;
    cursor.skipSpace();
    if (!cursor.take(u'{'))
        return std::nullopt;
    cursor.skipSpace();
    if (!cursor.take(u'}')) {
        for (;;) {
            cursor.skipSpace();
            QString key;
            if (!cursor.string(&key))
                return std::nullopt;
            cursor.skipSpace();
            if (!cursor.take(u':'))
                return std::nullopt;
            cursor.skipSpace();
            // A value of another kind (null, true, false, a fraction, a
            // nested object) is passed over: the rest of the object still counts.
            const qsizetype valueStart = cursor.position();
            FlatJsonValue value;
            if (readFlatValue(cursor, value)) {
                object.insert(key, value);
            } else {
                cursor.seek(valueStart);
                if (!cursor.value(1))
                    return std::nullopt;
            }
            cursor.skipSpace();
            if (cursor.take(u'}'))
                break;
            if (!cursor.take(u','))
                return std::nullopt;
        }
    }
    cursor.skipSpace();
    if (!cursor.atEnd())
        return std::nullopt;
    return object;
}

} // namespace quillmore
