#include "history/desktopsession.h"

#include "history/answerrecord.h"
#include "history/historystore.h"
#include "shell/counttext.h"
#include "shell/fileutil.h"

#include <QSet>

namespace quillmore {

DesktopSession::DesktopSession(HistoryStore* store, qint64 session, const PhoneNumbers& numbers)
    : m_store(store), m_session(session), m_numbers(numbers)
{
}

// Without a session of its own nothing may be written: rows would join no
// list, and another start's sessions would look like earlier ones.
bool DesktopSession::usable() const
{
    return m_store && m_session > 0;
}

void DesktopSession::rowArrived(quint64 rowId, const ResultRecord& record, const QDateTime& now)
{
    if (!usable())
        return;
    StoredAnswer answer = storedAnswerOf(record, m_numbers);
    answer.session = m_session;
    answer.program = kDesktopProgram;
    answer.received = now;
    const qint64 id = m_store->store(answer);
    if (id > 0)
        m_answerIds.insert(rowId, id);
}

void DesktopSession::refusalArrived(const QString& number, const QString& answer, int httpStatus,
                                    const QDateTime& now)
{
    if (!usable())
        return;
    StoredAnswer a;
    a.session = m_session;
    a.program = kDesktopProgram;
    a.received = now;
    a.typed = number;
    a.sent = digitsOnly(number);
    a.e164 = m_numbers.classify(number).e164;
    a.answer = answer;
    a.httpStatus = httpStatus;
    // Only the number cell: the refusal is no row, and must never read as one.
    a.cells = QStringList{number, {}, {}, {}, {}, {}};
    a.failure = true;
    m_store->storeRefusal(a);
}

void DesktopSession::rowRemoved(quint64 rowId)
{
    // A row that could not be stored is in no list.
    const qint64 answerId = m_answerIds.take(rowId);
    if (usable() && answerId > 0)
        m_store->removeFromList(m_session, answerId);
}

void DesktopSession::listCleared()
{
    m_answerIds.clear();
    if (usable())
        m_store->clearList(m_session);
}

bool DesktopSession::canRestore()
{
    if (!m_offered) {
        m_offered.emplace();
        if (usable())
            *m_offered = m_store->sessionsToRestore(kDesktopProgram, m_session);
    }
    return !m_offered->isEmpty();
}

DesktopSession::Rows DesktopSession::takeLatestSession()
{
    Rows taken;
    if (!canRestore())
        return taken;
    taken.session = m_offered->takeFirst().id;
    const QList<StoredAnswer> answers = m_store->sessionRows(taken.session);
    taken.answerIds.reserve(answers.size());
    taken.rows.reserve(answers.size());
    for (const StoredAnswer& answer : answers) {
        taken.answerIds << answer.id;
        taken.rows << recordOf(answer);
    }
    return taken;
}

void DesktopSession::markRestored(const Rows& restored)
{
    if (usable() && restored.session > 0)
        m_store->markRestored(restored.session);
}

DesktopSession::Rows DesktopSession::earlierAnswers(const QStringList& entries,
                                                    const QList<NumberClass>& classes, int days,
                                                    const QDateTime& now)
{
    Rows found;
    if (!m_store || days < 1)
        return found;
    QStringList keys(entries.size());
    QSet<QString> unique;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString e164 = i < classes.size() ? classes.at(i).e164 : QString();
        keys[i] = e164.isEmpty() ? digitsOnly(entries.at(i)) : e164;
        if (!keys[i].isEmpty())
            unique.insert(keys[i]);
    }
    const QHash<QString, ReusableAnswer> reusable =
        m_store->reusable(QStringList(unique.cbegin(), unique.cend()), days, now);
    if (reusable.isEmpty())
        return found;
    QList<qint64> ids;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const auto match = reusable.constFind(keys.at(i));
        if (match == reusable.cend())
            continue;
        found.entries << int(i);
        ids << match->id;
    }
    // Each answer read once, however many entries share it.
    const QSet<qint64> uniqueIds(ids.cbegin(), ids.cend());
    const QList<StoredAnswer> answers =
        m_store->answers(QList<qint64>(uniqueIds.cbegin(), uniqueIds.cend()));
    QHash<qint64, const StoredAnswer*> byId;
    for (const StoredAnswer& answer : answers)
        byId.insert(answer.id, &answer);
    QList<int> entriesFound;
    for (qsizetype n = 0; n < ids.size(); ++n) {
        const StoredAnswer* answer = byId.value(ids.at(n));
        // Gone meanwhile (another program forgot or pruned it): looked up anew.
        if (!answer)
            continue;
        ResultRecord record = recordOf(*answer);
        record.number = entries.at(found.entries.at(n));
        record.reusedFrom = answer->received;
        found.rows << record;
        found.answerIds << answer->id;
        entriesFound << found.entries.at(n);
    }
    found.entries = entriesFound;
    return found;
}

void DesktopSession::rowsJoined(quint64 firstRowId, const QList<qint64>& answerIds)
{
    if (!usable())
        return;
    for (qsizetype i = 0; i < answerIds.size(); ++i)
        m_answerIds.insert(firstRowId + quint64(i), answerIds.at(i));
    m_store->addToList(m_session, answerIds);
}

QString earlierAnswersText(qsizetype answered, qsizetype left)
{
    return countText("%n number(s) answered from earlier lookups; %1 left to look up.", answered)
        .arg(left);
}

} // namespace quillmore
