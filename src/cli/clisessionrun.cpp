#include "cli/clisession.h"

#include "cli/clirun.h"
#include "cli/earlierruns.h"
#include "cli/orderedoutput.h"
#include "cli/outputtarget.h"
#include "cli/progressline.h"
#include "cli/runhistory.h"
#include "lookup/curlstage.h"
#include "shell/errorreport.h"
#include "shell/leftovers.h"
#include "shell/terminationwatcher.h"

#include <QDir>

#include <unistd.h>

// The session's run and its end: the lookups, an interruption, writing the
// output and the exit status.
namespace quillmore::cli {

// Run: the numbers without a row go out, up to --parallel at once.
bool CliSession::runLookups(const QString& key)
{
    // Private folders a killed run left behind go before a new one is made.
    for (const QString& parent : {temporaryFolder(m_config), cacheFolder(m_config)})
        removeLeftoverFolders(parent, kStagingFolderPrefix);

    const ProgressMode mode = m_options.quiet                ? ProgressMode::Quiet
                              : ::isatty(STDERR_FILENO) != 0 ? ProgressMode::Terminal
                                                             : ProgressMode::Lines;
    m_progress = std::make_unique<ProgressLine>(mode, m_plan.rowCount(), m_done);
    m_dialogs.beforeMessage = [this] { m_progress->makeRoom(); };

    m_run = std::make_unique<CliRun>(m_dialogs, m_config,
                                     CliRun::Settings{m_options.parallel, m_options.pauseMin,
                                                      m_options.pauseMax, key, m_options.rate,
                                                      m_options.maxFailures},
                                     m_plan.units, std::move(m_pending));
    m_run->notice = [this](const QString& text) { m_dialogs.message(text); };
    m_run->rowReady = [this](qsizetype unit, const ResultRecord& record, int httpStatus) {
        unitArrived(unit, record, httpStatus);
    };
    m_run->attemptFailed = [this](qsizetype unit, const QString& text, int httpStatus) {
        m_history->keepRefusal(m_runId, m_plan.units.at(unit), text, httpStatus);
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
void CliSession::unitArrived(qsizetype unit, const ResultRecord& record, int httpStatus)
{
    ++m_sent;
    m_sentUnits[size_t(unit)] = true;
    const qint64 id = m_history->keep(m_runId, m_plan.units.at(unit), record, httpStatus);
    const qsizetype rows = addUnit(unit, id, &record);
    m_failedRows += record.isFailure() ? rows : 0;
    m_progress->setDone(m_done);
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
            // A lookup is paid in this run by the first row of a number it sent.
            reportRunSummary(*m_output, m_summary, m_options.quiet, m_options.summaryFile,
                             [this](qsizetype row) {
                                 const qsizetype unit = m_plan.unitOfRow.at(row);
                                 return unit >= 0 && m_sentUnits.at(size_t(unit)) &&
                                        m_plan.firstRowOf(unit) == row;
                             });
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
    const bool complete = isComplete();
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
    const bool complete = isComplete();
    if (m_failedRows > 0 || !complete) {
        // Rows missing without a failed one are those the history lost.
        m_dialogs.message((m_failedRows == 0
                               ? QString()
                               : QStringLiteral("%1 of %2 rows are \"Could not connect\", "
                                                "\"Empty answer\" or a service error. ")
                                     .arg(m_failedRows)
                                     .arg(m_plan.rowCount())) +
                          resumeHint());
        return int(RunEnd::FailedRows);
    }
    // Every number has its row: nothing is left to resume, of this run nor
    // of the earlier ones whose answers are all in this output.
    m_history->endRuns(QList<qint64>{m_runId} + m_earlier->superseded(m_plan.units));
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
