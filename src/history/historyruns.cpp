// What the command line's resume reads of the runs that did not end.
#include "history/historystore.h"

#include "history/historysql.h"
#include "shell/resultrecord.h"

#include <QSqlDatabase>
#include <QVariant>

namespace quillmore {

using namespace history;

QList<RunAnswer> HistoryStore::unfinishedAnswers(const QString& program)
{
    QList<RunAnswer> found;
    guard(false, [&] {
        // Through each run's list, which is indexed by run, rather than the
        // answers, which are not: a start reads nothing of a large history
        // when no run is left unfinished. A reused answer belongs to the run
        // that adopted it, whichever session first stored it.
        QSqlQuery q = prepare(QSqlDatabase::database(m_connection, false),
                              QStringLiteral("SELECT a.id, s.id, a.number_typed, a.failure"
                                             " FROM sessions s JOIN list_rows l ON"
                                             " l.session_id = s.id JOIN answers a ON"
                                             " a.id = l.answer_id WHERE s.program = ? AND"
                                             " s.ended = 0 AND"
                                             " (a.failure = 0 OR a.row_status = ?)"
                                             " ORDER BY a.id"));
        q.setForwardOnly(true);
        q.addBindValue(text(program));
        q.addBindValue(kEmptyAnswerStatus);
        exec(q);
        while (q.next())
            found.append({q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toString(),
                          q.value(3).toInt() != 0});
    });
    return found;
}

} // namespace quillmore
