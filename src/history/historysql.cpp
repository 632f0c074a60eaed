#include "history/historysql.h"

#include <QVariant>

namespace quillmore::history {

SqlFault faultOf(const QSqlError& error)
{
    const int code = error.nativeErrorCode().toInt();
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    return {text, code == kSqliteCorrupt || code == kSqliteNotADatabase};
}

QSqlQuery prepare(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.prepare(sql))
        throw faultOf(query.lastError());
    return query;
}

void exec(QSqlQuery& query)
{
    if (!query.exec())
        throw faultOf(query.lastError());
}

QSqlQuery exec(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw faultOf(query.lastError());
    return query;
}

QVariant scalar(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query = exec(db, sql);
    return query.next() ? query.value(0) : QVariant();
}

WriteTransaction::WriteTransaction(const QSqlDatabase& db) : m_db(db)
{
    exec(m_db, QStringLiteral("BEGIN IMMEDIATE"));
    m_open = true;
}

WriteTransaction::~WriteTransaction()
{
    if (m_open) {
        QSqlQuery rollback(m_db);
        rollback.exec(QStringLiteral("ROLLBACK"));
    }
}

void WriteTransaction::commit()
{
    exec(m_db, QStringLiteral("COMMIT"));
    m_open = false;
}

} // namespace quillmore::history
