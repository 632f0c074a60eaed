#include "export/journalformat.h"

#include "export/jsontext.h"

#include <optional>

namespace quillmore {

namespace {

const QString kOp = QStringLiteral("op");
const QString kId = QStringLiteral("id");
const QString kIndex = QStringLiteral("index");
const QString kNumber = QStringLiteral("number");
const QString kCells = QStringLiteral("cells");
const QString kAnswer = QStringLiteral("answer");

// The rows rebuilt so far, each with the id it was appended with, if any.
struct ReplayedList
{
    QList<ResultRecord> rows;
    QList<std::optional<qint64>> ids;

    void append(FlatJsonObject& line)
    {
        const auto number = line.find(kNumber);
        const auto cells = line.find(kCells);
        // Without its number and cells there is no row to show.
        if (number == line.end() || number->kind != FlatJsonValue::Kind::Text ||
            cells == line.end() || cells->kind != FlatJsonValue::Kind::List)
            return;
        ResultRecord record;
        record.number = std::move(number->text);
        record.cells = std::move(cells->list);
        const auto answer = line.constFind(kAnswer);
        if (answer != line.cend() && answer->kind == FlatJsonValue::Kind::Text)
            record.answer = answer->text;
        restoreRowStatus(record);
        const auto id = line.constFind(kId);
        ids.append(id != line.cend() && id->kind == FlatJsonValue::Kind::Number
                       ? std::optional<qint64>(id->number)
                       : std::nullopt);
        rows.append(std::move(record));
    }

    void remove(const FlatJsonObject& line)
    {
        const auto id = line.constFind(kId);
        if (id != line.cend() && id->kind == FlatJsonValue::Kind::Number) {
            const qsizetype at = ids.indexOf(std::optional<qint64>(id->number));
            if (at >= 0)
                removeAt(at);
            return;
        }
        const auto index = line.constFind(kIndex);
        if (index != line.cend() && index->kind == FlatJsonValue::Kind::Number &&
            index->number >= 0 && index->number < rows.size())
            removeAt(index->number);
    }

    void removeAt(qsizetype at)
    {
        rows.removeAt(at);
        ids.removeAt(at);
    }

    void clear()
    {
        rows.clear();
        ids.clear();
    }
};

// A whole number as JSON writes it (no sign but "-", no leading zeros).
std::optional<qint64> wholeNumber(QByteArrayView text)
{
    const QByteArrayView digits = text.startsWith('-') ? text.sliced(1) : text;
    if (digits.isEmpty() || digits.size() > 18 || (digits.size() > 1 && digits.front() == '0'))
        return std::nullopt;
    for (const char c : digits)
        if (c < '0' || c > '9')
            return std::nullopt;
    return text.toLongLong();
}

} // namespace

// Lines are written here rather than through QJsonDocument, which would sort
// the keys and costs several times as much to read back.
QByteArray journalAppendLine(std::optional<quint64> id, const ResultRecord& record)
{
    QString line = QStringLiteral("{\"op\":\"append\",");
    if (id)
        line += QStringLiteral("\"id\":%1,").arg(*id);
    line += QStringLiteral("\"number\":");
    appendJsonString(line, record.number);
    line += QStringLiteral(",\"cells\":[");
    for (qsizetype c = 0; c < record.cells.size(); ++c) {
        if (c > 0)
            line += u',';
        appendJsonString(line, record.cells.at(c));
    }
    line += QStringLiteral("],\"answer\":");
    appendJsonString(line, record.answer);
    line += QStringLiteral("}\n");
    return line.toUtf8();
}

QByteArray journalRemoveLine(quint64 id)
{
    return QByteArray("{\"op\":\"remove\",\"id\":") + QByteArray::number(id) + "}\n";
}

QByteArray journalClearLine()
{
    return QByteArrayLiteral("{\"op\":\"clear\"}\n");
}

QList<ResultRecord> replayJournal(const QByteArray& text)
{
    ReplayedList list;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QString line = QString::fromUtf8(text.sliced(start, end - start));
        start = end + 1;
        std::optional<FlatJsonObject> object = readFlatJsonObject(line);
        if (!object)
            continue;
        const FlatJsonValue op = object->value(kOp);
        if (op.kind != FlatJsonValue::Kind::Text)
            continue;
        if (op.text == u"append")
            list.append(*object);
        else if (op.text == u"remove")
            list.remove(*object);
        else if (op.text == u"clear")
            list.clear();
    }
    return list.rows;
}

} // namespace quillmore

namespace quillmore {

bool journalMayHoldRows(const QByteArray& text)
{
    // Only lines in exactly the form written here are read for what they do;
    // any other line may add a row for all this knows. A line read wrongly
    // thus keeps a session rather than losing one.
    static constexpr QByteArrayView kClear = "{\"op\":\"clear\"}";
    static constexpr QByteArrayView kRemove = "{\"op\":\"remove\",\"id\":";
    static constexpr QByteArrayView kAppend = "{\"op\":\"append\",\"id\":";
    QHash<qint64, int> appended; // how many rows each id names
    qsizetype otherLines = 0;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = QByteArrayView(text).sliced(start, end - start);
        start = end + 1;
        if (line.isEmpty())
            continue;
        if (line == kClear) {
            appended.clear();
            otherLines = 0;
            continue;
        }
        if (line.startsWith(kRemove) && line.endsWith('}')) {
            if (const auto id = wholeNumber(line.sliced(kRemove.size()).chopped(1))) {
                const auto it = appended.find(*id);
                if (it != appended.end() && --*it == 0)
                    appended.erase(it);
                continue;
            }
        }
        if (line.startsWith(kAppend)) {
            const QByteArrayView rest = line.sliced(kAppend.size());
            const qsizetype comma = rest.indexOf(',');
            if (const auto id = wholeNumber(comma < 0 ? QByteArrayView() : rest.first(comma))) {
                ++appended[*id];
                continue;
            }
        }
        ++otherLines;
    }
    return otherLines > 0 || !appended.isEmpty();
}

} // namespace quillmore
