#include "tables/xlsxtable.h"

#include "shell/errorreport.h"
#include "tables/xlsxarchive.h"

#include <QDir>
#include <QHash>
#include <QXmlStreamReader>

#include <cmath>

namespace quillmore {

namespace {

constexpr qsizetype kMaxColumns = 16384; // XFD, the last column a sheet has
constexpr qint64 kMaxRows = 1048576;

[[noreturn]] void notWellFormed(const QString& part, const QXmlStreamReader& xml)
{
    throw Failure(QStringLiteral("The workbook's part %1 is not well-formed XML (line %2: %3).")
                      .arg(part)
                      .arg(xml.lineNumber())
                      .arg(xml.errorString()));
}

// The next start or end element; false at the end of the document. An XML
// error ends every loop at once, so no malformed part can hold a reader.
bool nextElement(QXmlStreamReader& xml, const QString& part)
{
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() || xml.isEndElement())
            return true;
    }
    if (xml.hasError())
        notWellFormed(part, xml);
    return false;
}

bool isEnd(const QXmlStreamReader& xml, QLatin1StringView name)
{
    return xml.isEndElement() && xml.name() == name;
}

bool isStart(const QXmlStreamReader& xml, QLatin1StringView name)
{
    return xml.isStartElement() && xml.name() == name;
}

// A part name relative to the workbook's folder, or absolute from the root.
QString resolvePart(const QString& target)
{
    if (target.startsWith(u'/'))
        return QDir::cleanPath(target.sliced(1));
    return QDir::cleanPath(QStringLiteral("xl/") + target);
}

// Control characters, which XML cannot hold, are written as _xHHHH_.
QString unescapeText(const QString& text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const ushort unit = text.sliced(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(unit);
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The text of a string item (<si> or <is>): its <t>, or its runs' <t>s
// joined; a phonetic guide (<rPh>) is a reading aid, not the text.
QString stringItem(QXmlStreamReader& xml, const QString& part)
{
    const QString item = xml.name().toString();
    QString text;
    while (nextElement(xml, part)) {
        if (xml.isEndElement() && xml.name() == item)
            break;
        if (isStart(xml, QLatin1StringView("rPh")))
            xml.skipCurrentElement();
        else if (isStart(xml, QLatin1StringView("t")))
            text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    return unescapeText(text);
}

struct WorkbookParts
{
    QString sheet;
    QString sharedStrings;
};

WorkbookParts findParts(const XlsxArchive& archive)
{
    const QString workbookPart = QStringLiteral("xl/workbook.xml");
    if (!archive.contains(workbookPart))
        throw Failure(QStringLiteral("The file is not an Excel workbook (.xlsx): it has no %1.")
                          .arg(workbookPart));
    QString sheetId;
    {
        const QByteArray bytes = archive.part(workbookPart);
        QXmlStreamReader xml(bytes);
        while (sheetId.isEmpty() && nextElement(xml, workbookPart)) {
            if (!isStart(xml, QLatin1StringView("sheet")))
                continue;
            // The relationship's id is the one "id" attribute in a namespace.
            for (const QXmlStreamAttribute& attribute : xml.attributes()) {
                if (attribute.name() == QLatin1String("id") && !attribute.namespaceUri().isEmpty())
                    sheetId = attribute.value().toString();
            }
        }
    }
    if (sheetId.isEmpty())
        throw Failure(QStringLiteral("The workbook has no worksheet."));

    WorkbookParts parts;
    const QString relsPart = QStringLiteral("xl/_rels/workbook.xml.rels");
    if (archive.contains(relsPart)) {
        const QByteArray bytes = archive.part(relsPart);
        QXmlStreamReader xml(bytes);
        while (nextElement(xml, relsPart)) {
            if (!isStart(xml, QLatin1StringView("Relationship")))
                continue;
            const QXmlStreamAttributes attributes = xml.attributes();
            const QString target =
                resolvePart(attributes.value(QLatin1String("Target")).toString());
            if (attributes.value(QLatin1String("Id")) == sheetId)
                parts.sheet = target;
            else if (attributes.value(QLatin1String("Type"))
                         .endsWith(QLatin1String("/sharedStrings")))
                parts.sharedStrings = target;
        }
    }
    if (parts.sheet.isEmpty() || !archive.contains(parts.sheet))
        throw Failure(QStringLiteral("The workbook's first worksheet is missing."));
    return parts;
}

QStringList readSharedStrings(const XlsxArchive& archive, const QString& part)
{
    QStringList strings;
    if (part.isEmpty() || !archive.contains(part))
        return strings;
    const QByteArray bytes = archive.part(part);
    QXmlStreamReader xml(bytes);
    while (nextElement(xml, part)) {
        if (!isStart(xml, QLatin1StringView("si")))
            continue;
        if (strings.size() >= kMaxXlsxCells)
            throw Failure(QStringLiteral("The workbook holds more than %1 texts; it is refused.")
                              .arg(kMaxXlsxCells));
        strings << stringItem(xml, part);
    }
    return strings;
}

// A number as the sheet shows it in the General format: whole numbers in
// their digits (a phone number stored as a number included), others with up
// to 15 significant digits, as a spreadsheet program keeps them.
QString numberText(const QString& value)
{
    bool ok = false;
    const double number = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return value;
    if (number == std::floor(number) && std::fabs(number) < 1e15)
        return QString::number(qint64(number));
    return QString::number(number, 'g', 15);
}

// The column of a reference like "C5": 0 for A; -1 when it has no letters.
qsizetype columnOf(QStringView reference)
{
    qsizetype column = 0;
    qsizetype letters = 0;
    for (const QChar c : reference) {
        const char16_t u = c.toUpper().unicode();
        if (u < u'A' || u > u'Z')
            break;
        if (++letters > 3)
            return kMaxColumns;
        column = column * 26 + (u - u'A' + 1);
    }
    return letters == 0 ? -1 : column - 1;
}

class SheetReader
{
public:
    SheetReader(const QString& part, const QStringList& strings) : m_part(part), m_strings(strings)
    {
    }

    QList<QStringList> read(const QByteArray& bytes)
    {
        QXmlStreamReader xml(bytes);
        while (nextElement(xml, m_part)) {
            if (isStart(xml, QLatin1StringView("row")))
                row(xml);
        }
        return std::move(m_rows);
    }

private:
    void spend(qsizetype cells)
    {
        m_cells += cells;
        if (m_cells > kMaxXlsxCells)
            throw Failure(
                QStringLiteral("The first worksheet has more than %1 cells; it is refused.")
                    .arg(kMaxXlsxCells));
    }

    void row(QXmlStreamReader& xml)
    {
        const QStringView r = xml.attributes().value(QLatin1String("r"));
        bool numbered = false;
        qint64 number = r.toLongLong(&numbered);
        // Rows come in order; one without a number, or out of order, is the next.
        if (!numbered || number <= m_lastRow)
            number = m_lastRow + 1;
        if (number > kMaxRows)
            throw Failure(
                QStringLiteral("The first worksheet has a row beyond row %1.").arg(kMaxRows));
        spend(number - m_lastRow);
        while (m_lastRow + 1 < number) {
            m_rows << QStringList();
            ++m_lastRow;
        }
        m_lastRow = number;
        QStringList cells;
        qsizetype nextColumn = 0;
        while (nextElement(xml, m_part) && !isEnd(xml, QLatin1StringView("row"))) {
            if (!isStart(xml, QLatin1StringView("c"))) {
                if (xml.isStartElement())
                    xml.skipCurrentElement();
                continue;
            }
            const QXmlStreamAttributes attributes = xml.attributes();
            qsizetype column = columnOf(attributes.value(QLatin1String("r")));
            if (column < 0)
                column = nextColumn;
            if (column >= kMaxColumns)
                throw Failure(QStringLiteral("The first worksheet has a cell beyond column XFD."));
            nextColumn = column + 1;
            const QString text = cell(xml, attributes.value(QLatin1String("t")).toString());
            if (text.isEmpty())
                continue;
            if (column >= cells.size()) {
                spend(column + 1 - cells.size());
                cells.resize(column + 1);
            }
            cells[column] = text;
        }
        m_rows << cells;
    }

    // The cell's text; the reader stands on <c> and ends on </c>.
    QString cell(QXmlStreamReader& xml, const QString& type)
    {
        QString value;
        QString inlineText;
        while (nextElement(xml, m_part) && !isEnd(xml, QLatin1StringView("c"))) {
            if (isStart(xml, QLatin1StringView("v")))
                value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (isStart(xml, QLatin1StringView("is")))
                inlineText = stringItem(xml, m_part);
            else if (xml.isStartElement())
                xml.skipCurrentElement(); // a formula, or extensions
        }
        if (type == QLatin1String("inlineStr"))
            return inlineText;
        if (type == QLatin1String("s")) {
            bool ok = false;
            const qsizetype index = value.trimmed().toLongLong(&ok);
            if (!ok || index < 0 || index >= m_strings.size())
                throw Failure(QStringLiteral("A cell of the first worksheet names a shared text "
                                             "that the workbook does not hold."));
            return m_strings.at(index);
        }
        if (type == QLatin1String("b"))
            return value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE")
                                                         : QStringLiteral("FALSE");
        if (type == QLatin1String("str") || type == QLatin1String("e") ||
            type == QLatin1String("d"))
            return unescapeText(value);
        return value.isEmpty() ? value : numberText(value);
    }

    const QString& m_part;
    const QStringList& m_strings;
    QList<QStringList> m_rows;
    qint64 m_lastRow = 0;
    qsizetype m_cells = 0;
};

bool isBlank(const QStringList& row)
{
    return std::all_of(row.cbegin(), row.cend(),
                       [](const QString& cell) { return cell.isEmpty(); });
}

} // namespace

Table readXlsx(const QByteArray& bytes)
{
    const XlsxArchive archive(bytes);
    const WorkbookParts parts = findParts(archive);
    const QStringList strings = readSharedStrings(archive, parts.sharedStrings);
    QList<QStringList> rows = SheetReader(parts.sheet, strings).read(archive.part(parts.sheet));

    qsizetype first = 0;
    while (first < rows.size() && isBlank(rows.at(first)))
        ++first;
    qsizetype end = rows.size();
    while (end > first && isBlank(rows.at(end - 1)))
        --end;
    if (first == end)
        throw Failure(QStringLiteral("The first worksheet is empty: a table needs a header row."));

    Table table;
    table.kind = Table::Kind::Xlsx;
    table.header = rows.at(first);
    table.rows = rows.mid(first + 1, end - first - 1);
    return table;
}

} // namespace quillmore
