#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <vector>

namespace quillmore::cli {

class RunJournal;

// The answers earlier runs kept, found by the numbers themselves rather than
// by the input they came in: a run whose list grew by one number, or lost the
// numbers that cannot be valid, still pays for none of them again. The run's
// own journal is read in place; an answer found in another journal is copied
// into the run's own, so that every row the output reads back is in one file.
class EarlierAnswers
{
public:
    // One earlier row given to an input position: where it is in the run's
    // journal, and whether it holds no usable answer (an empty answer).
    struct Row
    {
        qsizetype index;
        qint64 offset;
        bool failed;
    };

    explicit EarlierAnswers(RunJournal& own);
    ~EarlierAnswers();

    // Reads the run's journal and every one of `others` that no other run is
    // using. Only journals that hold rows for `numbers` are kept open.
    void gather(const QStringList& numbers, const QStringList& others);

    // The journals other than the run's own that hold rows for these numbers.
    QStringList otherJournalsUsed() const;
    qsizetype rowsInOtherJournals() const { return m_fromOthers; }
    // Rows the run's own journal holds for these numbers.
    qsizetype rowsInOwnJournal() const { return m_fromOwn; }
    // Journals looked at that hold nothing for these numbers.
    qsizetype unrelatedJournals() const { return m_unrelated; }

    // Gives every input position that an earlier row answers its row, each
    // row to the first position of its number without one, copying rows of
    // other journals into the run's own. Positions listed in `skip` get none.
    // Throws Failure when the run's journal cannot take a copy.
    std::vector<Row> assign(const QStringList& numbers, const QList<bool>& skip);

    // After a run in which every number got its row: the other journals all
    // of whose answers were for numbers of this input have nothing left that
    // the output lacks, and go.
    void discardSuperseded(const QStringList& numbers);

private:
    struct Kept
    {
        int journal; // -1: the run's own
        qint64 offset;
        bool failed;
    };
    struct Other
    {
        std::unique_ptr<RunJournal> journal;
        QStringList numbers; // every number it holds a row for
    };

    RunJournal& m_own;
    std::vector<Other> m_others;
    QHash<QString, std::deque<Kept>> m_kept;
    qsizetype m_fromOwn = 0;
    qsizetype m_fromOthers = 0;
    qsizetype m_unrelated = 0;
};

// The journal files in `folder` other than `own`.
QStringList journalsBeside(const QString& folder, const QString& own);

} // namespace quillmore::cli
