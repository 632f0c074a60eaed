#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

namespace quillmore::history {

// A statement SQLite refused, with what the store needs to decide on it.
struct SqlFault
{
    QString text;
    // The file is not a database, or a damaged one: it can only be set aside.
    bool damaged = false;
};

// SQLite's own result codes, as Qt SQL passes them on.
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

SqlFault faultOf(const QSqlError& error);

// Each throws SqlFault when SQLite refuses.
QSqlQuery prepare(const QSqlDatabase& db, const QString& sql);
void exec(QSqlQuery& query);
QSqlQuery exec(const QSqlDatabase& db, const QString& sql);
// The first column of the first row of `sql`.
QVariant scalar(const QSqlDatabase& db, const QString& sql);

// BEGIN IMMEDIATE, so a writer waits for another at the start, where the busy
// timeout applies, rather than failing when it first writes. Rolls back
// unless committed.
class WriteTransaction
{
public:
    explicit WriteTransaction(const QSqlDatabase& db);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    void commit();

private:
    QSqlDatabase m_db;
    bool m_open = false;
};

} // namespace quillmore::history
