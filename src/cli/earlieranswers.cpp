#include "cli/earlieranswers.h"

#include "cli/runjournal.h"
#include "shell/errorreport.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace quillmore::cli {

namespace {

// A row that could not connect or met an error page holds no answer: the
// number is asked for again. An empty answer was paid for and stays.
bool keepsAnswer(const ResultRecord& record)
{
    return record.status != RowStatus::CouldNotConnect &&
           record.status != RowStatus::ServiceError;
}

} // namespace

QStringList journalsBeside(const QString& folder, const QString& own)
{
    QStringList found;
    const QString ownPath = QFileInfo(own).absoluteFilePath();
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.journal")},
                                                            QDir::Files, QDir::Name);
    for (const QFileInfo& file : files)
        if (file.absoluteFilePath() != ownPath)
            found << file.absoluteFilePath();
    return found;
}

EarlierAnswers::EarlierAnswers(RunJournal& own) : m_own(own) {}

EarlierAnswers::~EarlierAnswers() = default;

void EarlierAnswers::gather(const QStringList& numbers, const QStringList& others)
{
    const QSet<QString> wanted(numbers.cbegin(), numbers.cend());
    m_own.scan([&](qint64 offset, ResultRecord&& record) {
        if (keepsAnswer(record))
            m_kept[record.number].push_back({-1, offset, record.isFailure()});
    });
    for (const QString& path : others) {
        auto journal = std::make_unique<RunJournal>(path);
        try {
            journal->open();
        } catch (const Failure&) {
            // Another run is using it, or it is no journal: not ours to take from.
            continue;
        }
        const int at = int(m_others.size());
        QStringList held;
        bool related = false;
        journal->scan([&](qint64 offset, ResultRecord&& record) {
            if (!keepsAnswer(record))
                return;
            held << record.number;
            if (!wanted.contains(record.number))
                return;
            related = true;
            m_kept[record.number].push_back({at, offset, record.isFailure()});
        });
        if (!related) {
            ++m_unrelated;
            continue;
        }
        m_others.push_back({std::move(journal), std::move(held)});
    }
}

QStringList EarlierAnswers::otherJournalsUsed() const
{
    QStringList paths;
    for (const Other& other : m_others)
        paths << other.journal->path();
    return paths;
}

std::vector<EarlierAnswers::Row> EarlierAnswers::assign(const QStringList& numbers,
                                                        const QList<bool>& skip)
{
    std::vector<Row> rows;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (skip.value(i))
            continue;
        auto found = m_kept.find(numbers.at(i));
        if (found == m_kept.end() || found->empty())
            continue;
        // The run's own rows come first: they need no copy.
        auto pick = std::find_if(found->begin(), found->end(),
                                 [](const Kept& kept) { return kept.journal < 0; });
        if (pick == found->end())
            pick = found->begin();
        const Kept kept = *pick;
        found->erase(pick);
        qint64 offset = kept.offset;
        if (kept.journal >= 0) {
            const std::optional<ResultRecord> record =
                m_others.at(size_t(kept.journal)).journal->readAt(kept.offset);
            if (!record)
                continue;
            offset = m_own.append(*record);
            ++m_fromOthers;
        } else {
            ++m_fromOwn;
        }
        rows.push_back({i, offset, kept.failed});
    }
    m_kept.clear();
    return rows;
}

void EarlierAnswers::discardSuperseded(const QStringList& numbers)
{
    const QSet<QString> answered(numbers.cbegin(), numbers.cend());
    for (Other& other : m_others) {
        const bool covered = std::all_of(other.numbers.cbegin(), other.numbers.cend(),
                                         [&](const QString& n) { return answered.contains(n); });
        if (covered)
            other.journal->discard();
    }
}

} // namespace quillmore::cli
