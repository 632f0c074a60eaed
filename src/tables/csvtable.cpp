#include "tables/csvtable.h"

#include "shell/errorreport.h"

#include <QStringDecoder>

#include <array>

namespace quillmore {

namespace {

constexpr std::array<QChar, 3> kDelimiters{u',', u';', u'\t'};

// What Windows-1252 puts at 0x80 to 0x9F; the five bytes it leaves out keep
// their Latin-1 control characters, so no byte is ever lost.
constexpr std::array<char16_t, 32> kWindows1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QString decode(QByteArrayView bytes, Table& table)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        table.byteOrderMark = true;
        bytes = bytes.sliced(3);
    }
    // The mark is taken off above, once; a second one is the first cell's text.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    table.encoding = Table::Encoding::Windows1252;
    return fromWindows1252(bytes);
}

bool isCandidate(QChar c)
{
    return c == kDelimiters[0] || c == kDelimiters[1] || c == kDelimiters[2];
}

// Counts the candidates outside quotes in the first row. The delimiter is not
// known yet, so a quote opens a quoted cell only where any candidate could
// have ended the cell before it.
QChar sniffDelimiter(QStringView text, QChar preferred)
{
    std::array<int, 3> counts{};
    bool inQuotes = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"')
                    ++i;
                else
                    inQuotes = false;
            }
        } else if (c == u'"' && (i == 0 || isCandidate(text[i - 1]))) {
            inQuotes = true;
        } else if (c == u'\r' || c == u'\n') {
            break;
        } else {
            for (size_t d = 0; d < kDelimiters.size(); ++d)
                counts[d] += c == kDelimiters[d] ? 1 : 0;
        }
    }
    int best = -1;
    for (size_t d = 0; d < kDelimiters.size(); ++d)
        best = std::max(best, counts[d]);
    if (best > 0) {
        for (size_t d = 0; d < kDelimiters.size(); ++d) {
            if (counts[d] == best && kDelimiters[d] == preferred)
                return preferred;
        }
        for (size_t d = 0; d < kDelimiters.size(); ++d) {
            if (counts[d] == best)
                return kDelimiters[d];
        }
    }
    return isCandidate(preferred) ? preferred : kDelimiters[0];
}

qsizetype lineOf(QStringView text, qsizetype pos)
{
    qsizetype line = 1;
    for (qsizetype i = 0; i < pos; ++i) {
        if (text[i] == u'\n' || (text[i] == u'\r' && (i + 1 >= pos || text[i + 1] != u'\n')))
            ++line;
    }
    return line;
}

// One pass over the text; every cell is copied out once, so a cell of many
// megabytes costs no more than its length.
class CsvCursor
{
public:
    CsvCursor(QStringView text, QChar delimiter) : m_text(text), m_delimiter(delimiter) {}

    bool atEnd() const { return m_pos >= m_text.size(); }

    // The row that starts here; `lineEnd` gets its line end, if it has one.
    QStringList row(QString& lineEnd)
    {
        QStringList cells;
        for (;;) {
            cells << cell();
            if (atEnd())
                return cells;
            const QChar c = m_text[m_pos++];
            if (c == m_delimiter)
                continue;
            if (c == u'\r' && !atEnd() && m_text[m_pos] == u'\n') {
                ++m_pos;
                lineEnd = QStringLiteral("\r\n");
            } else {
                lineEnd = c;
            }
            return cells;
        }
    }

private:
    QString cell()
    {
        if (atEnd() || m_text[m_pos] != u'"')
            return plainRun();
        const qsizetype opening = m_pos++;
        QString text;
        for (;;) {
            const qsizetype quote = m_text.indexOf(u'"', m_pos);
            if (quote < 0)
                throw Failure(
                    QStringLiteral("A quoted cell that starts on line %1 is never closed.")
                        .arg(lineOf(m_text, opening)));
            text += m_text.sliced(m_pos, quote - m_pos);
            m_pos = quote + 1;
            if (atEnd() || m_text[m_pos] != u'"')
                break;
            text += u'"';
            ++m_pos;
        }
        // A spreadsheet program keeps what stands between the closing quote
        // and the delimiter; so does this reader, rather than drop it.
        text += plainRun();
        return text;
    }

    QString plainRun()
    {
        const qsizetype start = m_pos;
        while (!atEnd()) {
            const QChar c = m_text[m_pos];
            if (c == m_delimiter || c == u'\r' || c == u'\n')
                break;
            ++m_pos;
        }
        return m_text.sliced(start, m_pos - start).toString();
    }

    QStringView m_text;
    QChar m_delimiter;
    qsizetype m_pos = 0;
};

} // namespace

Table readCsv(const QByteArray& bytes, QChar preferred)
{
    Table table;
    table.kind = Table::Kind::Csv;
    const QString text = decode(bytes, table);
    if (text.isEmpty())
        throw Failure(QStringLiteral("The file is empty: a table needs a header row."));
    table.delimiter = sniffDelimiter(text, preferred);
    CsvCursor cursor(text, table.delimiter);
    QString lineEnd;
    table.header = cursor.row(lineEnd);
    if (!lineEnd.isEmpty())
        table.lineEnd = lineEnd;
    while (!cursor.atEnd()) {
        QString ignored;
        table.rows << cursor.row(ignored);
    }
    return table;
}

QString csvLine(const QStringList& cells, QChar delimiter)
{
    QString line;
    for (qsizetype c = 0; c < cells.size(); ++c) {
        if (c > 0)
            line += delimiter;
        const QString& cell = cells.at(c);
        // Any candidate delimiter is quoted, not only the file's own: the
        // first line must show only the real one to a reader that sniffs it.
        // So is a leading U+FEFF, which at the file's start would read as a
        // byte-order mark.
        const bool quoted = cell.startsWith(QChar(0xFEFF)) ||
                            std::any_of(cell.cbegin(), cell.cend(), [delimiter](QChar ch) {
                                return ch == delimiter || isCandidate(ch) || ch == u'"' ||
                                       ch == u'\r' || ch == u'\n';
                            });
        if (!quoted) {
            line += cell;
            continue;
        }
        line += u'"';
        for (const QChar ch : cell) {
            if (ch == u'"')
                line += u'"';
            line += ch;
        }
        line += u'"';
    }
    return line;
}

} // namespace quillmore
