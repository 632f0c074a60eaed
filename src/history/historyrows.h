#pragma once

#include "history/storedanswer.h"

#include <QSqlQuery>

namespace quillmore {

// The rows of one query over the answers, read one at a time so that a
// history of a million answers is never in memory at once.
class HistoryRows
{
public:
    HistoryRows() = default;
    explicit HistoryRows(QSqlQuery query) : m_query(std::move(query)), m_active(true) {}

    // Moves to the next row; false at the end, or when the store is off or
    // the read failed (failed() tells which).
    bool next();
    const StoredAnswer& row() const { return m_row; }
    bool failed() const { return m_failed; }

private:
    QSqlQuery m_query;
    StoredAnswer m_row;
    bool m_active = false;
    bool m_failed = false;
};

namespace history {

// The answer columns in the order readAnswer() reads them, for "SELECT <this>
// FROM answers a".
QString answerColumns();
StoredAnswer readAnswer(const QSqlQuery& query, int first = 0);
QString cellsText(const QStringList& cells);
QStringList cellsFromText(const QString& text);
qint64 toMs(const QDateTime& time);
// Qt SQL binds a null QString as NULL; a text column holds "" instead.
inline QString text(const QString& value)
{
    return value.isNull() ? QStringLiteral("") : value;
}
QDateTime fromMs(qint64 ms);

} // namespace history

} // namespace quillmore
