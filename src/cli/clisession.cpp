#include "cli/clisession.h"

#include "cli/clirun.h"
#include "cli/earlierruns.h"
#include "cli/inputnumbers.h"
#include "cli/keysource.h"
#include "cli/orderedoutput.h"
#include "cli/outputtarget.h"
#include "cli/progressline.h"
#include "cli/rowlayout.h"
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

// Read the input: a list's lines, or a table with its phone column.
bool CliSession::readInput()
{
    try {
        m_input = readRunInput(m_options);
    } catch (const Failure& failure) {
        writeError(failure.description());
        end(kExitUsage);
        return false;
    }
    for (const QString& notice : m_input.notices)
        writeError(notice);
    return true;
}

// Plan: what each row becomes before anything is paid for. A list's line
// without a digit (a header, a note) is never sent: its row says so. A
// table sends only the numbers the library finds valid, each once.
bool CliSession::plan()
{
    const QString region = m_options.region.isEmpty() ? systemNumberRegion() : m_options.region;
    m_phone = std::make_unique<PhoneNumbers>(region);
    if (m_input.isTable()) {
        m_tablePlan = planTable(*m_input.table, m_input.phoneColumn, m_input.countryColumn, region);
        m_plan = planTableRun(m_tablePlan);
        m_layout = std::make_unique<TableLayout>(*m_input.table, m_tablePlan, m_input.phoneColumn);
    } else {
        m_plan = planList(m_input.numbers, *m_phone, m_options.skipInvalid);
        m_layout = std::make_unique<ListLayout>(m_input.numbers, *m_phone);
    }
    m_sentUnits.assign(size_t(m_plan.units.size()), false);
    if (m_options.dryRun) {
        QFile out;
        if (out.open(stdout, QIODevice::WriteOnly))
            out.write(
                dryRunReport(m_plan, m_options.pauseMin, m_options.pauseMax, m_options.parallel)
                    .toUtf8());
        end(int(RunEnd::Complete));
        return false;
    }
    if (m_plan.table) {
        if (m_plan.withoutNumber > 0)
            writeError(countText("%n row(s) without a number not sent.", m_plan.withoutNumber));
        if (m_plan.cannotBeValid > 0)
            writeError(countText("%n row(s) that cannot be a valid number not sent.",
                                 m_plan.cannotBeValid));
        return true;
    }
    if (m_plan.skipped > 0)
        writeError(countText("%n number(s) that cannot be valid skipped.", m_plan.skipped));
    if (m_plan.tooLong > 0)
        writeError(countText("%n entry(s) too long to be a number not sent.", m_plan.tooLong));
    if (m_plan.withoutNumber > 0)
        writeError(countText("%n line(s) without a number not sent.", m_plan.withoutNumber));
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
    // A list's units are its rows; those never sent take no earlier answer.
    QList<bool> notSent;
    if (!m_plan.table)
        for (const qsizetype unit : m_plan.unitOfRow)
            notSent << (unit < 0);
    m_earlier =
        std::make_unique<EarlierRuns>(m_history->unfinishedAnswers(), m_plan.units, notSent);
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
    m_runId = m_history->startRun(inputHash(m_plan.units));
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
                                               *m_layout);
    m_output->hold();
    m_summary.resumed = qsizetype(m_earlier->rows().size());
    for (const EarlierRuns::Row& row : m_earlier->rows()) {
        const qsizetype rows = addUnit(row.index, row.id, nullptr);
        m_failedRows += row.failed ? rows : 0;
    }
    for (qsizetype row = 0; row < m_plan.rowCount(); ++row) {
        if (m_plan.unitOfRow.at(row) >= 0)
            continue;
        const ResultRecord record = m_plan.notSentRow(row, m_layout->rowNumber(row));
        addRow(row, 0, &record);
        ++m_done;
    }
    for (qsizetype unit = 0; unit < m_plan.units.size(); ++unit)
        if ((m_plan.table || m_plan.unitOfRow.at(unit) >= 0) &&
            !m_output->hasRow(m_plan.firstRowOf(unit)))
            m_pending.push_back(unit);
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
    // The keys were found when the numbers were judged: no number is judged twice.
    QStringList keys;
    keys.reserve(qsizetype(m_pending.size()));
    for (const qsizetype unit : m_pending)
        keys.append(m_plan.keys.at(unit));
    const QHash<QString, ReusableAnswer> found = m_history->reusable(keys, m_options.reuseDays);
    std::deque<qsizetype> still;
    qsizetype reused = 0;
    QList<qint64> adopted;
    for (qsizetype k = 0; k < keys.size(); ++k) {
        const qsizetype unit = m_pending.at(size_t(k));
        const auto answer = found.constFind(keys.at(k));
        if (answer == found.cend()) {
            still.push_back(unit);
            continue;
        }
        addUnit(unit, answer->id, nullptr);
        adopted.append(answer->id);
        ++reused;
    }
    m_history->adopt(m_runId, adopted);
    m_pending = std::move(still);
    m_summary.reused = reused;
    writeError(
        countText("%n answer(s) reused (up to %1 days old)", reused).arg(m_options.reuseDays));
}

qsizetype CliSession::addUnit(qsizetype unit, qint64 id, const ResultRecord* record)
{
    const QList<qsizetype> rows = m_plan.rowsOf(unit);
    for (const qsizetype row : rows)
        addRow(row, id, record);
    m_done += rows.size();
    return rows.size();
}

bool CliSession::isComplete() const
{
    for (qsizetype row = 0; row < m_plan.rowCount(); ++row)
        if (!m_output->hasRow(row))
            return false;
    return true;
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

} // namespace quillmore::cli
