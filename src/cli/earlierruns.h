#pragma once

#include "history/storedanswer.h"

#include <QList>
#include <QSet>
#include <QStringList>

#include <vector>

namespace quillmore::cli {

// The answers that runs which did not finish left in the lookup history,
// found by the numbers themselves rather than by the input they came in: a
// run whose list grew by one number, or lost the numbers that cannot be
// valid, still pays for none of them again.
class EarlierRuns
{
public:
    // One earlier answer given to an input position, and whether it is an
    // empty answer (paid for, so not asked again, but no good row).
    struct Row
    {
        qsizetype index;
        qint64 id;
        bool failed;
    };

    // Gives every input position that an earlier answer is for its answer,
    // each answer to the first position of its number without one, oldest
    // answers first. Positions listed in `skip` get none.
    EarlierRuns(const QList<RunAnswer>& unfinished, const QStringList& numbers,
                const QList<bool>& skip);

    const std::vector<Row>& rows() const { return m_rows; }
    // Runs that did not finish, and those of them that hold answers for
    // none of these numbers.
    qsizetype unfinishedRuns() const { return m_runs.size(); }
    qsizetype unrelatedRuns() const { return m_runs.size() - m_related.size(); }

    // After a run in which every number got its row: the unfinished runs
    // all of whose answers are for numbers of this input have nothing the
    // output lacks, and are not offered again.
    QList<qint64> superseded(const QStringList& numbers) const;

private:
    QList<RunAnswer> m_unfinished;
    std::vector<Row> m_rows;
    QSet<qint64> m_runs;
    QSet<qint64> m_related;
};

} // namespace quillmore::cli
