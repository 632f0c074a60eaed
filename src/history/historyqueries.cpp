// The store's reads and the changes that are not the arrival of an answer:
// sessions, lists, reuse, forgetting and pruning.
#include "history/historystore.h"

#include "history/historysql.h"
#include "shell/jsonstring.h"

#include <QSqlDatabase>
#include <QVariant>

#include <algorithm>
#include <limits>
#include <vector>

namespace quillmore {

using namespace history;

namespace {

const QString kSessionColumns =
    QStringLiteral("s.id, s.program, s.run_key, s.started_ms, s.last_change_ms, s.state, s.ended,"
                   " (SELECT count(*) FROM list_rows l WHERE l.session_id = s.id)");

enum SessionState { Offered = 0, Restored = 1, NoLongerOffered = 2 };

HistorySession readSession(const QSqlQuery& q)
{
    HistorySession s;
    s.id = q.value(0).toLongLong();
    s.program = q.value(1).toString();
    s.runKey = q.value(2).toString();
    s.started = fromMs(q.value(3).toLongLong());
    s.lastChange = fromMs(q.value(4).toLongLong());
    s.restored = q.value(5).toInt() == Restored;
    s.ended = q.value(6).toInt() != 0;
    s.rows = q.value(7).toLongLong();
    return s;
}

// A list of values as one JSON array, which SQLite's json_each() turns back
// into rows: a hundred thousand keys in one statement and one bound value.
// Written straight into the text: a QJsonArray of a hundred thousand values
// costs a tree of them and a second pass to write it.
template <typename List, typename Append>
QString jsonArray(const List& values, qsizetype perValue, Append append)
{
    QString text;
    text.reserve(values.size() * perValue + 2);
    text += u'[';
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += u',';
        append(text, values.at(i));
    }
    text += u']';
    return text;
}

QString jsonArray(const QStringList& values)
{
    return jsonArray(values, 16,
                     [](QString& text, const QString& value) { appendJsonString(text, value); });
}

QString jsonArray(const QList<qint64>& values)
{
    return jsonArray(values, 10,
                     [](QString& text, qint64 value) { text += QString::number(value); });
}

QSqlDatabase database(const QString& connection)
{
    return QSqlDatabase::database(connection, false);
}

void run(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery query = prepare(db, sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    exec(query);
}

} // namespace

void HistoryStore::endSession(qint64 session)
{
    guard(true, [&] {
        QSqlDatabase db = database(m_connection);
        WriteTransaction transaction(db);
        run(db, QStringLiteral("UPDATE sessions SET ended = 1 WHERE id = ?"), {session});
        transaction.commit();
        wrote();
    });
}

std::optional<HistorySession> HistoryStore::unfinishedRun(const QString& program,
                                                          const QString& runKey)
{
    std::optional<HistorySession> found;
    guard(false, [&] {
        QSqlQuery q = prepare(database(m_connection),
                              QStringLiteral("SELECT ") + kSessionColumns +
                                  QStringLiteral(" FROM sessions s WHERE s.program = ? AND"
                                                 " s.run_key = ? AND s.ended = 0"
                                                 " ORDER BY s.id DESC LIMIT 1"));
        q.addBindValue(text(program));
        q.addBindValue(text(runKey));
        exec(q);
        if (q.next())
            found = readSession(q);
    });
    return found;
}

QList<HistorySession> HistoryStore::sessionsToRestore(const QString& program, qint64 current,
                                                      const QDateTime& now)
{
    QList<HistorySession> offered;
    guard(true, [&] {
        QSqlDatabase db = database(m_connection);
        const QDateTime oldest = now.addDays(-kRestoreDays);
        // Only sessions begun before this one: a later one is another
        // running copy's, still being written.
        const qint64 before = current > 0 ? current : std::numeric_limits<qint64>::max();
        QList<HistorySession> found;
        WriteTransaction transaction(db);
        QSqlQuery q = prepare(db, QStringLiteral("SELECT ") + kSessionColumns +
                                      QStringLiteral(" FROM sessions s WHERE s.program = ? AND"
                                                     " s.state = 0 AND s.id < ?"
                                                     " ORDER BY s.id DESC"));
        q.addBindValue(text(program));
        q.addBindValue(before);
        exec(q);
        while (q.next())
            found.append(readSession(q));
        QList<HistorySession> kept;
        for (const HistorySession& s : std::as_const(found)) {
            if (s.rows > 0 && s.lastChange >= oldest && kept.size() < kRestoreSessions)
                kept.append(s);
            else
                run(db, QStringLiteral("UPDATE sessions SET state = ? WHERE id = ?"),
                    {int(NoLongerOffered), s.id});
        }
        transaction.commit();
        if (kept.size() != found.size())
            wrote();
        offered = kept;
    });
    return offered;
}

void HistoryStore::markRestored(qint64 session)
{
    guard(true, [&] {
        QSqlDatabase db = database(m_connection);
        WriteTransaction transaction(db);
        run(db, QStringLiteral("UPDATE sessions SET state = ? WHERE id = ?"),
            {int(Restored), session});
        transaction.commit();
        wrote();
    });
}

QList<StoredAnswer> HistoryStore::sessionRows(qint64 session)
{
    QList<StoredAnswer> rows;
    guard(false, [&] {
        QSqlQuery q = prepare(database(m_connection),
                              QStringLiteral("SELECT ") + answerColumns() +
                                  QStringLiteral(" FROM list_rows l JOIN answers a"
                                                 " ON a.id = l.answer_id WHERE l.session_id = ?"
                                                 " ORDER BY l.id"));
        q.setForwardOnly(true);
        q.addBindValue(session);
        exec(q);
        while (q.next())
            rows.append(readAnswer(q));
    });
    return rows;
}

void HistoryStore::addToList(qint64 session, qint64 answerId)
{
    addToList(session, QList<qint64>{answerId});
}

void HistoryStore::addToList(qint64 session, const QList<qint64>& answerIds)
{
    if (answerIds.isEmpty())
        return;
    guard(true, [&] {
        QSqlDatabase db = database(m_connection);
        WriteTransaction transaction(db);
        // json_each() gives the ids in the array's order, and list rows join
        // in the order of their own ids.
        run(db,
            QStringLiteral("INSERT INTO list_rows (session_id, answer_id)"
                           " SELECT ?, a.id FROM json_each(?) j JOIN answers a ON a.id = j.value"
                           " ORDER BY j.key"),
            {session, jsonArray(answerIds)});
        run(db,
            QStringLiteral("UPDATE sessions SET last_change_ms = max(last_change_ms, ?)"
                           " WHERE id = ?"),
            {toMs(QDateTime::currentDateTimeUtc()), session});
        transaction.commit();
        wrote();
    });
}

void HistoryStore::removeFromList(qint64 session, qint64 answerId)
{
    guard(true, [&] {
        QSqlDatabase db = database(m_connection);
        WriteTransaction transaction(db);
        run(db,
            QStringLiteral("DELETE FROM list_rows WHERE id = (SELECT id FROM list_rows"
                           " WHERE session_id = ? AND answer_id = ? ORDER BY id LIMIT 1)"),
            {session, answerId});
        run(db,
            QStringLiteral("UPDATE sessions SET last_change_ms = max(last_change_ms, ?)"
                           " WHERE id = ?"),
            {toMs(QDateTime::currentDateTimeUtc()), session});
        transaction.commit();
        wrote();
    });
}

void HistoryStore::clearList(qint64 session)
{
    guard(true, [&] {
        QSqlDatabase db = database(m_connection);
        WriteTransaction transaction(db);
        run(db, QStringLiteral("DELETE FROM list_rows WHERE session_id = ?"), {session});
        run(db,
            QStringLiteral("UPDATE sessions SET last_change_ms = max(last_change_ms, ?)"
                           " WHERE id = ?"),
            {toMs(QDateTime::currentDateTimeUtc()), session});
        transaction.commit();
        wrote();
    });
}

QHash<QString, ReusableAnswer> HistoryStore::reusable(const QStringList& keys, int days,
                                                      const QDateTime& now)
{
    QHash<QString, ReusableAnswer> found;
    if (keys.isEmpty() || days <= 0)
        return found;
    guard(false, [&] {
        // Read from answers_by_key alone. With max(), SQLite takes the
        // other column from the row that holds the maximum.
        QSqlQuery q =
            prepare(database(m_connection),
                    QStringLiteral("SELECT j.value, b.id, max(b.received_ms) FROM json_each(?) j"
                                   " JOIN answers b ON b.match_key = j.value AND b.failure = 0"
                                   " AND b.received_ms > ? GROUP BY j.value"));
        q.setForwardOnly(true);
        q.addBindValue(jsonArray(keys));
        q.addBindValue(toMs(now.addDays(-days)));
        exec(q);
        found.reserve(keys.size());
        while (q.next())
            found.insert(q.value(0).toString(),
                         {q.value(1).toLongLong(), fromMs(q.value(2).toLongLong())});
    });
    return found;
}

QList<StoredAnswer> HistoryStore::answers(const QList<qint64>& ids)
{
    QList<StoredAnswer> rows;
    if (ids.isEmpty())
        return rows;
    guard(false, [&] {
        // Read in the file's order, which is the ids' order, then put in the
        // order asked: far fewer pages read at random in a large history.
        QList<qint64> sorted = ids;
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        QSqlQuery q =
            prepare(database(m_connection), QStringLiteral("SELECT ") + answerColumns() +
                                                QStringLiteral(" FROM answers a WHERE a.id IN"
                                                               " (SELECT value FROM json_each(?))"
                                                               " ORDER BY a.id"));
        q.setForwardOnly(true);
        q.addBindValue(jsonArray(sorted));
        exec(q);
        // Rows come in the ids' order: found again by halving, and moved
        // out rather than copied where an id is asked for once.
        std::vector<StoredAnswer> read;
        read.reserve(size_t(sorted.size()));
        while (q.next())
            read.push_back(readAnswer(q));
        const bool once = sorted.size() == ids.size();
        rows.reserve(ids.size());
        for (const qint64 id : ids) {
            const auto found = std::lower_bound(
                read.begin(), read.end(), id,
                [](const StoredAnswer& a, qint64 wanted) { return a.id < wanted; });
            if (found == read.end() || found->id != id)
                continue;
            if (once)
                rows.append(std::move(*found));
            else
                rows.append(*found);
        }
    });
    return rows;
}

int HistoryStore::forget(const QString& key)
{
    int removed = 0;
    guard(true, [&] {
        QSqlDatabase db = database(m_connection);
        WriteTransaction transaction(db);
        run(db,
            QStringLiteral("DELETE FROM list_rows WHERE answer_id IN"
                           " (SELECT id FROM answers WHERE match_key = ?)"),
            {text(key)});
        QSqlQuery q = prepare(db, QStringLiteral("DELETE FROM answers WHERE match_key = ?"));
        q.addBindValue(text(key));
        exec(q);
        const int count = q.numRowsAffected();
        transaction.commit();
        removed = count;
        wrote();
        // The WAL may still hold the pages as they were before; copy it into
        // the file and empty it. Another program reading at the moment can
        // stop that: the next checkpoint then overwrites them.
        QSqlQuery checkpoint(db);
        checkpoint.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    });
    return removed;
}

int HistoryStore::prune(int days, const QDateTime& now)
{
    int removed = 0;
    guard(true, [&] {
        QSqlDatabase db = database(m_connection);
        const qint64 oldest = toMs(now.addDays(-days));
        WriteTransaction transaction(db);
        run(db,
            QStringLiteral("DELETE FROM list_rows WHERE answer_id IN"
                           " (SELECT id FROM answers WHERE received_ms < ?)"),
            {oldest});
        QSqlQuery q = prepare(db, QStringLiteral("DELETE FROM answers WHERE received_ms < ?"));
        q.addBindValue(oldest);
        exec(q);
        const int count = q.numRowsAffected();
        // A session's answers all came before its last change, so these hold none.
        run(db, QStringLiteral("DELETE FROM sessions WHERE last_change_ms < ?"), {oldest});
        transaction.commit();
        removed = count;
        if (count > 0)
            wrote();
    });
    return removed;
}

HistoryRows HistoryStore::rowsSince(const QDateTime& since)
{
    HistoryRows rows;
    guard(false, [&] {
        QSqlQuery q = prepare(database(m_connection),
                              QStringLiteral("SELECT ") + answerColumns() +
                                  QStringLiteral(" FROM answers a WHERE a.received_ms >= ?"
                                                 " ORDER BY a.received_ms, a.id"));
        q.setForwardOnly(true);
        q.addBindValue(toMs(since));
        exec(q);
        rows = HistoryRows(std::move(q));
    });
    return rows;
}

} // namespace quillmore
