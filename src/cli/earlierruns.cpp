#include "cli/earlierruns.h"

#include <QHash>

#include <deque>

namespace quillmore::cli {

EarlierRuns::EarlierRuns(const QList<RunAnswer>& unfinished, const QStringList& numbers,
                         const QList<bool>& skip)
    : m_unfinished(unfinished)
{
    QHash<QString, std::deque<const RunAnswer*>> byNumber;
    for (const RunAnswer& answer : m_unfinished) {
        m_runs.insert(answer.session);
        byNumber[answer.typed].push_back(&answer);
    }
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (skip.value(i))
            continue;
        const auto found = byNumber.find(numbers.at(i));
        if (found == byNumber.end() || found->empty())
            continue;
        const RunAnswer* answer = found->front();
        found->pop_front();
        m_related.insert(answer->session);
        m_rows.push_back({i, answer->id, answer->failed});
    }
}

QList<qint64> EarlierRuns::superseded(const QStringList& numbers) const
{
    const QSet<QString> answered(numbers.cbegin(), numbers.cend());
    QSet<qint64> lacking;
    for (const RunAnswer& answer : m_unfinished)
        if (!answered.contains(answer.typed))
            lacking.insert(answer.session);
    QList<qint64> done;
    for (const qint64 run : m_runs)
        if (!lacking.contains(run))
            done.append(run);
    std::sort(done.begin(), done.end());
    return done;
}

} // namespace quillmore::cli
