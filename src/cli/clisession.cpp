#include "cli/clisession.h"

#include "cli/clirun.h"
#include "cli/earlieranswers.h"
#include "cli/inputnumbers.h"
#include "cli/keysource.h"
#include "cli/numberplan.h"
#include "cli/orderedoutput.h"
#include "cli/outputtarget.h"
#include "cli/progressline.h"
#include "cli/runfiles.h"
#include "cli/runjournal.h"
#include "cli/storedkey.h"
#include "keyring/secretservicekeyring.h"
#include "lookup/curlstage.h"
#include "shell/counttext.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "shell/leftovers.h"
#include "shell/terminationwatcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <unistd.h>

namespace quillmore::cli {

CliSession::CliSession(const CliOptions& options, const LookupConfig& config, QObject* parent)
    : QObject(parent), m_options(options), m_config(config)
{
    m_dialogs.setApplicationTitle(QStringLiteral("quillmore-cli"));
}

CliSession::~CliSession() = default;

void CliSession::start()
{
    if (!readInput() || !plan())
        return;
    getKey();
}

void CliSession::end(int status)
{
    if (std::exchange(m_ended, true))
        return;
    // Told from the event loop, so that a caller connected after start() hears it too.
    QTimer::singleShot(0, this, [this, status] { emit finished(status); });
}

// Read the input: every line that holds a digit is a number to look up. A
// line without one (a header, a note) is never sent: its row says so.
bool CliSession::readInput()
{
    try {
        m_numbers = readInputNumbers(m_options.files);
    } catch (const Failure& failure) {
        writeError(failure.description());
        end(kExitUsage);
        return false;
    }
    return true;
}

bool CliSession::plan()
{
    m_phone = std::make_unique<PhoneNumbers>(m_options.region.isEmpty() ? systemNumberRegion()
                                                                        : m_options.region);
    const NumberPlan plan = planNumbers(m_numbers, *m_phone, m_options.skipInvalid);
    m_noNumber.fill(false, m_numbers.size());
    for (qsizetype i = 0; i < m_numbers.size(); ++i)
        if (digitsOnly(m_numbers.at(i)).isEmpty()) {
            m_noNumber[i] = true;
            ++m_noNumberCount;
        }
    if (m_options.dryRun) {
        QFile out;
        if (out.open(stdout, QIODevice::WriteOnly))
            out.write(dryRunReport(plan, m_numbers.size() - m_noNumberCount, m_options.pauseMin,
                                   m_options.pauseMax, m_options.parallel)
                          .toUtf8());
        end(int(RunEnd::Complete));
        return false;
    }
    if (plan.skipped > 0)
        writeError(countText("%n number(s) that cannot be valid skipped.", plan.skipped));
    if (m_noNumberCount > 0)
        writeError(countText("%n line(s) without a number not sent.", m_noNumberCount));
    return true;
}

// Get the key: the environment and a key file answer at once; the key the
// desktop program stored may have to be asked of the keyring, which answers
// on the event loop.
void CliSession::getKey()
{
    try {
        const QString direct = directKey(m_options.keyFile);
        if (!direct.isEmpty()) {
            keyKnown(direct);
            return;
        }
    } catch (const Failure& failure) {
        writeError(failure.description());
        end(kExitUsage);
        return;
    }
    m_storedKey = std::make_unique<StoredKeyRead>(std::make_unique<SecretServiceKeyring>());
    m_storedKey->start([this](const QString& key) {
        if (key.isEmpty()) {
            writeError(noKeyMessage());
            end(kExitUsage);
            return;
        }
        keyKnown(key);
    });
}

void CliSession::keyKnown(const QString& key)
{
    if (!openJournal() || !openOutput())
        return;
    runLookups(key);
}

// Open the journal, and find what earlier runs already answered for these
// numbers, in any journal they kept.
bool CliSession::openJournal()
{
    m_defaultJournal = m_options.journal.isEmpty();
    const QString path =
        m_defaultJournal ? defaultJournalPath(inputHash(m_numbers)) : m_options.journal;
    m_journal = std::make_unique<RunJournal>(path);
    connect(m_journal.get(), &RunJournal::failed, this, &CliSession::journalFailed);
    try {
        m_journal->open();
    } catch (const Failure& failure) {
        writeError(failure.description());
        end(kExitUsage);
        return false;
    }
    m_earlier = std::make_unique<EarlierAnswers>(*m_journal);
    m_earlier->gather(m_numbers, m_defaultJournal
                                     ? journalsBeside(QFileInfo(path).absolutePath(), path)
                                     : QStringList());
    const QStringList others = m_earlier->otherJournalsUsed();
    if (!m_options.resume) {
        const bool ownKept = QFileInfo(path).size() > 0;
        if (ownKept || !others.isEmpty()) {
            writeError(QStringLiteral("An earlier run left answers for these numbers in %1. Run "
                                      "the same command with --resume to look up only the "
                                      "numbers it has no answer for, or delete the file to start "
                                      "afresh.")
                           .arg(QDir::toNativeSeparators(ownKept ? path : others.first())));
            // The journal was made only to look: an empty one goes again.
            if (!ownKept)
                m_journal->discard();
            end(kExitUsage);
            return false;
        }
        return true;
    }
    if (m_earlier->unrelatedJournals() > 0 && m_earlier->rowsInOtherJournals() == 0 &&
        others.isEmpty() && QFileInfo(path).size() == 0)
        writeError(QStringLiteral("--resume found no earlier answers for these numbers: the "
                                  "journals in %1 are of other inputs. Every number is looked up.")
                       .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath())));
    return true;
}

bool CliSession::openOutput()
{
    try {
        m_target = std::make_unique<OutputTarget>(m_options.output, m_options.files);
    } catch (const Failure& failure) {
        writeError(failure.description());
        end(kExitUsage);
        return false;
    }
    m_output = std::make_unique<OrderedOutput>(m_options.format, m_target->device(), *m_journal,
                                               *m_phone, m_numbers.size());
    std::vector<EarlierAnswers::Row> earlier;
    try {
        earlier = m_earlier->assign(m_numbers, m_noNumber);
    } catch (const Failure& failure) {
        writeError(failure.description());
        end(kExitUsage);
        return false;
    }
    QList<bool> answered(m_numbers.size(), false);
    for (const EarlierAnswers::Row& row : earlier) {
        answered[row.index] = true;
        addRow(row.index, row.offset, nullptr);
        m_failedRows += row.failed ? 1 : 0;
        ++m_done;
    }
    for (qsizetype i = 0; i < m_numbers.size(); ++i) {
        if (m_noNumber.at(i)) {
            ResultRecord record;
            record.number = m_numbers.at(i);
            record.cells = QStringList{record.number, {}, {}, {}, {}, kNoNumberStatus};
            record.status = RowStatus::NotSent;
            record.notSent = NotSentReason::NoNumber;
            addRow(i, -1, &record);
            ++m_done;
        } else if (!answered.at(i)) {
            m_pending.push_back(i);
        }
    }
    return true;
}

void CliSession::addRow(qsizetype index, qint64 offset, const ResultRecord* record)
{
    try {
        m_output->addRow(index, offset, record);
    } catch (const Failure& failure) {
        if (!m_outputFailed)
            writeError(QStringLiteral("Cannot write the results: ") + failure.description());
        m_outputFailed = true;
    }
}

// Run: the numbers without a row go out, up to --parallel at once.
bool CliSession::runLookups(const QString& key)
{
    // Private folders a killed run left behind go before a new one is made.
    for (const QString& parent : {temporaryFolder(m_config), cacheFolder(m_config)})
        removeLeftoverFolders(parent, kStagingFolderPrefix);

    const ProgressMode mode = m_options.quiet                ? ProgressMode::Quiet
                              : ::isatty(STDERR_FILENO) != 0 ? ProgressMode::Terminal
                                                             : ProgressMode::Lines;
    m_progress = std::make_unique<ProgressLine>(mode, m_numbers.size(), m_done);
    m_dialogs.beforeMessage = [this] { m_progress->makeRoom(); };

    m_run = std::make_unique<CliRun>(
        m_dialogs, m_config,
        CliRun::Settings{m_options.parallel, m_options.pauseMin, m_options.pauseMax, key,
                         m_options.rate, m_options.maxFailures},
        m_numbers, std::move(m_pending));
    m_run->notice = [this](const QString& text) { m_dialogs.message(text); };
    m_run->rowReady = [this](qsizetype index, const ResultRecord& record) {
        rowArrived(index, record);
    };
    auto* watcher = new TerminationWatcher(m_run.get(), TerminationWatcher::Interrupt::Watched);
    connect(watcher, &TerminationWatcher::terminationRequested, this, &CliSession::interrupted);
    connect(m_run.get(), &CliRun::finished, this, &CliSession::runEnded, Qt::QueuedConnection);
    try {
        m_run->start();
    } catch (const Failure& failure) {
        writeError(QStringLiteral("Cannot prepare the transfer tool: ") + failure.description());
        end(kExitUsage);
        return false;
    }
    return true;
}

// The rows still reach the output; only a resume would miss them. Told once,
// and the journal is then kept whatever the run's end.
void CliSession::journalFailed(const Failure& failure)
{
    if (!std::exchange(m_journalFailed, true))
        m_dialogs.message(failure.description());
}

void CliSession::rowArrived(qsizetype index, const ResultRecord& record)
{
    ++m_sent;
    qint64 offset = -1;
    try {
        offset = m_journal->append(record);
    } catch (const Failure& failure) {
        journalFailed(failure);
    }
    addRow(index, offset, &record);
    m_failedRows += record.isFailure() ? 1 : 0;
    m_progress->setDone(++m_done);
    if (m_outputFailed)
        m_run->interrupt();
}

void CliSession::interrupted()
{
    if (++m_interrupts > 1) {
        m_run->abort();
        return;
    }
    const qsizetype underWay = m_run->inFlight();
    m_dialogs.message(underWay == 0
                          ? QStringLiteral("Interrupted: no new request.")
                          : QStringLiteral("Interrupted: no new request; waiting for the %1 under "
                                           "way. Press Ctrl+C again to end at once.")
                                .arg(underWay));
    m_run->interrupt();
}

void CliSession::runEnded()
{
    try {
        m_journal->sync();
    } catch (const Failure& failure) {
        journalFailed(failure);
    }
    const bool written = writeOutput();
    m_progress->finish();
    end(exitStatus(written));
}

// Write: a complete run replaces the output file; one that did not finish
// leaves it as it was and puts its rows beside it.
bool CliSession::writeOutput()
{
    if (m_interrupts >= 2) {
        m_target->cancel();
        return false;
    }
    bool complete = true;
    for (qsizetype i = 0; i < m_numbers.size() && complete; ++i)
        complete = m_output->hasRow(i);
    try {
        if (complete || !m_target->isFile()) {
            m_output->finish();
            // After a failed write the file lacks rows: the old one stays.
            if (m_outputFailed) {
                m_target->cancel();
                return false;
            }
            m_target->commit();
            return true;
        }
        m_target->cancel();
        OutputTarget partial(m_target->partialPath(), {});
        m_output->writeAllTo(partial.device());
        partial.commit();
        m_dialogs.message(QStringLiteral("The run did not finish, so %1 was left as it was; the "
                                         "rows so far are in %2.")
                              .arg(QDir::toNativeSeparators(m_target->path()),
                                   QDir::toNativeSeparators(m_target->partialPath())));
        return true;
    } catch (const Failure& failure) {
        if (!m_outputFailed)
            writeError(QStringLiteral("Cannot write the results: ") + failure.description());
        m_outputFailed = true;
        return false;
    }
}

int CliSession::exitStatus(bool written)
{
    if (m_interrupts >= 2)
        return int(RunEnd::Interrupted);
    if (m_outputFailed || !written) {
        m_dialogs.message(resumeHint());
        return m_sent > 0 ? kExitOutputFailed : kExitUsage;
    }
    if (m_run->wasInterrupted() || m_run->wasRefused()) {
        m_dialogs.message(resumeHint());
        return int(m_run->wasInterrupted() ? RunEnd::Interrupted : RunEnd::Refused);
    }
    if (m_output->unreadableRows() > 0)
        journalFailed(Failure(QStringLiteral("The run's journal %1 cannot be read back; rows "
                                             "left out of the results: %2.")
                                  .arg(QDir::toNativeSeparators(m_journal->path()))
                                  .arg(m_output->unreadableRows())));
    bool complete = true;
    for (qsizetype i = 0; i < m_numbers.size() && complete; ++i)
        complete = m_output->hasRow(i);
    if (m_failedRows > 0 || !complete) {
        // Rows missing without a failed one are those the journal lost.
        m_dialogs.message((m_failedRows == 0
                               ? QString()
                               : QStringLiteral("%1 of %2 rows are \"Could not connect\", "
                                                "\"Empty answer\" or a service error. ")
                                     .arg(m_failedRows)
                                     .arg(m_numbers.size())) +
                          resumeHint());
        return int(RunEnd::FailedRows);
    }
    // Every number has its row: nothing is left to resume.
    if (m_defaultJournal && !m_journalFailed) {
        m_earlier->discardSuperseded(m_numbers);
        m_journal->discard();
    }
    return int(RunEnd::Complete);
}

QString CliSession::resumeHint() const
{
    return QStringLiteral("The answers so far are kept in %1; run the same command with "
                          "--resume to go on without paying for them again.")
        .arg(QDir::toNativeSeparators(m_journal->path()));
}

} // namespace quillmore::cli
