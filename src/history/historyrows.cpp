#include "history/historyrows.h"

#include "export/jsontext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QVariant>

namespace quillmore {

bool HistoryRows::next()
{
    if (!m_active)
        return false;
    if (!m_query.next()) {
        m_active = false;
        m_failed = m_query.lastError().isValid();
        return false;
    }
    m_row = history::readAnswer(m_query);
    return true;
}

namespace history {

QString answerColumns()
{
    return QStringLiteral("a.id, a.session_id, a.program, a.received_ms, a.number_typed,"
                          " a.number_sent, a.e164, a.answer, a.http_status, a.cells,"
                          " a.row_status, a.failure");
}

StoredAnswer readAnswer(const QSqlQuery& query, int first)
{
    StoredAnswer a;
    int c = first;
    a.id = query.value(c++).toLongLong();
    a.session = query.value(c++).toLongLong();
    a.program = query.value(c++).toString();
    a.received = fromMs(query.value(c++).toLongLong());
    a.typed = query.value(c++).toString();
    a.sent = query.value(c++).toString();
    a.e164 = query.value(c++).toString();
    a.answer = query.value(c++).toString();
    a.httpStatus = query.value(c++).toInt();
    a.cells = cellsFromText(query.value(c++).toString());
    a.rowStatus = query.value(c++).toString();
    a.failure = query.value(c++).toInt() != 0;
    return a;
}

QString cellsText(const QStringList& cells)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(cells)).toJson(QJsonDocument::Compact));
}

QStringList cellsFromText(const QString& text)
{
    // The reader of flat objects takes an array of strings in one pass, where
    // QJsonDocument builds a tree first: a read-back of a hundred thousand
    // rows parses as many arrays.
    const QString wrapped = QStringLiteral("{\"c\":") + text + u'}';
    if (const std::optional<FlatJsonObject> object = readFlatJsonObject(wrapped)) {
        const auto found = object->constFind(QStringLiteral("c"));
        if (found != object->cend() && found->kind == FlatJsonValue::Kind::List)
            return found->list;
    }
    QStringList cells;
    const QJsonArray array = QJsonDocument::fromJson(text.toUtf8()).array();
    cells.reserve(array.size());
    for (const QJsonValue& cell : array)
        cells.append(cell.toString());
    return cells;
}

qint64 toMs(const QDateTime& time)
{
    return time.toMSecsSinceEpoch();
}

QDateTime fromMs(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

} // namespace history

} // namespace quillmore
