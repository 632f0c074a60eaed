#include "cli/clisession.h"

#include "cli/clirun.h"
#include "cli/earlierruns.h"
#include "cli/inputnumbers.h"
#include "cli/keysource.h"
#include "cli/numberplan.h"
#include "cli/orderedoutput.h"
#include "cli/outputtarget.h"
#include "cli/progressline.h"
#include "cli/runhistory.h"
#include "cli/runsummary.h"
#include "cli/storedkey.h"
#include "history/historysettings.h"
#include "keyring/secretservicekeyring.h"
#include "lookup/curlstage.h"
#include "shell/counttext.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "shell/leftovers.h"
#include "shell/settingsstore.h"
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
    if (!openHistory() || !openOutput())
        return;
    runLookups(key);
}

// Open the history, and find what runs that did not finish already answered
// for these numbers. A history that cannot be used stops nothing: told once,
// the rows still reach the output.
bool CliSession::openHistory()
{
    m_history = std::make_unique<RunHistory>(*m_phone);
    m_history->told = [this](const QString& text) { historyFailed(text); };
    const SettingsStore settings;
    m_history->open(historyDays(settings));
    if (!m_history->openNotice().isEmpty())
        m_dialogs.message(m_history->openNotice());
    m_earlier =
        std::make_unique<EarlierRuns>(m_history->unfinishedAnswers(), m_numbers, m_noNumber);
    if (!m_options.resume && !m_earlier->rows().empty()) {
        writeError(QStringLiteral("An earlier run that did not finish left answers for these "
                                  "numbers in the lookup history %1. Run the same command with "
                                  "--resume to look up only the numbers it has no answer for.")
                       .arg(QDir::toNativeSeparators(m_history->fileName())));
        end(kExitUsage);
        return false;
    }
    if (m_options.resume && m_earlier->rows().empty() && m_earlier->unfinishedRuns() > 0)
        writeError(QStringLiteral("--resume found no earlier answers for these numbers: the runs "
                                  "that did not finish in the lookup history %1 are of other "
                                  "numbers. Every number is looked up.")
                       .arg(QDir::toNativeSeparators(m_history->fileName())));
    m_runId = m_history->startRun(inputHash(m_numbers));
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
    m_output = std::make_unique<OrderedOutput>(m_options.format, m_target->device(), *m_history,
                                               m_numbers, *m_phone);
    m_output->hold();
    m_summary.resumed = qsizetype(m_earlier->rows().size());
    for (const EarlierRuns::Row& row : m_earlier->rows()) {
        addRow(row.index, row.id, nullptr);
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
            addRow(i, 0, &record);
            ++m_done;
        } else if (!m_output->hasRow(i)) {
            m_pending.push_back(i);
        }
    }
    reuseAnswers();
    try {
        m_output->release();
    } catch (const Failure& failure) {
        writeError(QStringLiteral("Cannot write the results: ") + failure.description());
        m_outputFailed = true;
    }
    return true;
}

// Reuse: a number the service answered within --reuse days is not sent; its
// row is rebuilt from that answer. Without --reuse nothing is, so that no
// result is older than the user asked for.
void CliSession::reuseAnswers()
{
    if (m_options.reuseDays <= 0)
        return;
    QStringList keys;
    keys.reserve(qsizetype(m_pending.size()));
    for (const qsizetype i : m_pending)
        keys.append(m_history->keyOf(m_numbers.at(i)));
    const QHash<QString, ReusableAnswer> found = m_history->reusable(keys, m_options.reuseDays);
    std::deque<qsizetype> still;
    qsizetype reused = 0;
    QList<qint64> adopted;
    for (qsizetype k = 0; k < keys.size(); ++k) {
        const qsizetype index = m_pending.at(size_t(k));
        const auto answer = found.constFind(keys.at(k));
        if (answer == found.cend()) {
            still.push_back(index);
            continue;
        }
        addRow(index, answer->id, nullptr);
        adopted.append(answer->id);
        ++reused;
        ++m_done;
    }
    m_history->adopt(m_runId, adopted);
    m_pending = std::move(still);
    m_summary.reused = reused;
    writeError(
        countText("%n answer(s) reused (up to %1 days old)", reused).arg(m_options.reuseDays));
}

void CliSession::addRow(qsizetype index, qint64 id, const ResultRecord* record)
{
    try {
        m_output->addRow(index, id, record);
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

    m_run = std::make_unique<CliRun>(m_dialogs, m_config,
                                     CliRun::Settings{m_options.parallel, m_options.pauseMin,
                                                      m_options.pauseMax, key, m_options.rate,
                                                      m_options.maxFailures},
                                     m_numbers, std::move(m_pending));
    m_run->notice = [this](const QString& text) { m_dialogs.message(text); };
    m_run->rowReady = [this](qsizetype index, const ResultRecord& record, int httpStatus) {
        rowArrived(index, record, httpStatus);
    };
    m_run->attemptFailed = [this](qsizetype index, const QString& text, int httpStatus) {
        m_history->keepRefusal(m_runId, m_numbers.at(index), text, httpStatus);
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
// and nothing is ended or removed after it.
void CliSession::historyFailed(const QString& text)
{
    if (!std::exchange(m_historyFailed, true))
        m_dialogs.message(text);
}

// Kept as it arrives, before it is written: a run killed after this loses
// nothing the service was paid for.
void CliSession::rowArrived(qsizetype index, const ResultRecord& record, int httpStatus)
{
    ++m_sent;
    const qint64 id = m_history->keep(m_runId, m_numbers.at(index), record, httpStatus);
    addRow(index, id, &record);
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
    m_history->sync();
    const bool written = writeOutput();
    m_progress->finish();
    // A second interruption ends at once: no reading back for figures.
    if (m_interrupts < 2) {
        try {
            reportRunSummary(*m_output, m_summary, m_options.quiet, m_options.summaryFile);
        } catch (const Failure& failure) {
            writeError(failure.description());
        }
    }
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
        m_dialogs.message(QStringLiteral("The lookup history %1 cannot give back %2 rows; they "
                                         "are left out of the results.")
                              .arg(QDir::toNativeSeparators(m_history->fileName()))
                              .arg(m_output->unreadableRows()));
    bool complete = true;
    for (qsizetype i = 0; i < m_numbers.size() && complete; ++i)
        complete = m_output->hasRow(i);
    if (m_failedRows > 0 || !complete) {
        // Rows missing without a failed one are those the history lost.
        m_dialogs.message((m_failedRows == 0
                               ? QString()
                               : QStringLiteral("%1 of %2 rows are \"Could not connect\", "
                                                "\"Empty answer\" or a service error. ")
                                     .arg(m_failedRows)
                                     .arg(m_numbers.size())) +
                          resumeHint());
        return int(RunEnd::FailedRows);
    }
    // Every number has its row: nothing is left to resume, of this run nor
    // of the earlier ones whose answers are all in this output.
    m_history->endRuns(QList<qint64>{m_runId} + m_earlier->superseded(m_numbers));
    m_history->sync();
    return int(RunEnd::Complete);
}

QString CliSession::resumeHint() const
{
    const QString history = QDir::toNativeSeparators(m_history->fileName());
    if (m_historyFailed)
        return QStringLiteral("Not every answer of this run could be kept in the lookup history "
                              "%1, so --resume may ask for some of them again.")
            .arg(history);
    return QStringLiteral("The answers so far are kept in the lookup history %1; run the same "
                          "command with --resume to go on without paying for them again.")
        .arg(history);
}

} // namespace quillmore::cli
