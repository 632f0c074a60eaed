#include "history/historyschema.h"

#include "history/historysql.h"

#include <QStringList>
#include <QVariant>

namespace quillmore::history {

namespace {

// Version 0 is a new, empty file.
//
// Times are milliseconds since 1970 in UTC, so comparing them is comparing
// numbers. An answer's cells are a JSON array. `match_key` is the E.164 form
// or, where there is none, the digits sent: reuse and forgetting look
// answers up by it through answers_by_key.
//
// A session's list (list_rows) is kept apart from its answers: the desktop's
// list loses rows the user removes, and gains rows restored from an earlier
// session, while every answer stays in the history until it ages out or is
// forgotten.
const QStringList kVersion1 = {
    QStringLiteral("CREATE TABLE sessions ("
                   " id INTEGER PRIMARY KEY,"
                   " program TEXT NOT NULL,"
                   " run_key TEXT NOT NULL DEFAULT '',"
                   " started_ms INTEGER NOT NULL,"
                   " last_change_ms INTEGER NOT NULL,"
                   // 0: may be offered for restoring; 1: restored; 2: no longer offered
                   " state INTEGER NOT NULL DEFAULT 0,"
                   " ended INTEGER NOT NULL DEFAULT 0)"),
    QStringLiteral("CREATE INDEX sessions_by_run ON sessions(program, run_key)"),
    QStringLiteral("CREATE TABLE answers ("
                   " id INTEGER PRIMARY KEY,"
                   " session_id INTEGER NOT NULL,"
                   " program TEXT NOT NULL,"
                   " received_ms INTEGER NOT NULL,"
                   " number_typed TEXT NOT NULL,"
                   " number_sent TEXT NOT NULL,"
                   " e164 TEXT NOT NULL,"
                   " match_key TEXT NOT NULL,"
                   " answer TEXT NOT NULL,"
                   " http_status INTEGER NOT NULL,"
                   " cells TEXT NOT NULL,"
                   " row_status TEXT NOT NULL,"
                   " failure INTEGER NOT NULL)"),
    // Holds all that reuse asks of an answer, so reuse never reads the table.
    QStringLiteral("CREATE INDEX answers_by_key ON answers(match_key, failure, received_ms)"),
    QStringLiteral("CREATE INDEX answers_by_time ON answers(received_ms)"),
    QStringLiteral("CREATE TABLE list_rows ("
                   " id INTEGER PRIMARY KEY,"
                   " session_id INTEGER NOT NULL,"
                   " answer_id INTEGER NOT NULL)"),
    QStringLiteral("CREATE INDEX list_rows_by_session ON list_rows(session_id)"),
    QStringLiteral("CREATE INDEX list_rows_by_answer ON list_rows(answer_id)"),
    // The journals of earlier versions already taken in, so that a start
    // killed between the import and the renaming does not take one in twice.
    QStringLiteral("CREATE TABLE imported_files (path TEXT PRIMARY KEY, imported_ms INTEGER)"),
};

// Step n takes a file from version n to n + 1.
const QList<QStringList> kSteps = {kVersion1};

} // namespace

void migrate(const QSqlDatabase& db)
{
    static_assert(kSchemaVersion > 0);
    for (;;) {
        WriteTransaction transaction(db);
        // Read inside the transaction: another program may be migrating too.
        const int version = scalar(db, QStringLiteral("PRAGMA user_version")).toInt();
        if (version == kSchemaVersion)
            return;
        if (version > kSchemaVersion || version < 0)
            throw SqlFault{QStringLiteral("it was written by a newer version of the program "
                                          "(schema %1; this one knows up to %2).")
                               .arg(version)
                               .arg(kSchemaVersion),
                           false};
        for (const QString& statement : kSteps.at(version))
            exec(db, statement);
        exec(db, QStringLiteral("PRAGMA user_version = %1").arg(version + 1));
        transaction.commit();
    }
}

} // namespace quillmore::history
