#include "cli/clisession.h"

#include "cli/clirun.h"
#include "cli/inputnumbers.h"
#include "cli/keysource.h"
#include "cli/numberplan.h"
#include "cli/orderedoutput.h"
#include "cli/progressline.h"
#include "cli/runfiles.h"
#include "cli/runjournal.h"
#include "cli/stderrdialogs.h"
#include "keyring/secretservicekeyring.h"
#include "lookup/answer.h"
#include "lookup/curlstage.h"
#include "numbers/phonenumbers.h"
#include "shell/errorreport.h"
#include "shell/keystore.h"
#include "shell/leftovers.h"
#include "shell/settingsstore.h"
#include "shell/terminationwatcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include <deque>
#include <memory>
#include <unistd.h>

namespace quillmore::cli {

namespace {

const QString kEmptyAnswerStatus = QStringLiteral("Empty answer");

// An answer the service sent as an error page: nothing was learnt of the
// number, and a resumed run asks for it again.
bool isServiceErrorRow(const QStringList& cells)
{
    return cells.value(5).startsWith(QStringLiteral("Service error (HTTP "));
}

bool isFailedRow(const QStringList& cells)
{
    const QString status = cells.value(5);
    return status == kCouldNotConnect || status == kEmptyAnswerStatus || isServiceErrorRow(cells);
}

// The key the desktop program stored: in the keyring when one answers (it
// moves it there), else in its settings file. Only read: the command line
// never moves or writes the key. A keyring that has not answered in time
// counts as none.
QString storedKey()
{
    struct Wait
    {
        QEventLoop loop;
        std::optional<QString> value;
    };
    auto wait = std::make_shared<Wait>();
    SecretServiceKeyring keyring;
    // A late answer finds the wait gone and does nothing.
    std::weak_ptr<Wait> waiting = wait;
    keyring.read([waiting](const Keyring::Answer& answer) {
        if (auto w = waiting.lock()) {
            if (answer.status == Keyring::Status::Done)
                w->value = answer.value;
            w->loop.quit();
        }
    });
    QTimer::singleShot(std::chrono::seconds(20), &wait->loop, &QEventLoop::quit);
    wait->loop.exec();
    if (wait->value && !wait->value->isEmpty())
        return *wait->value;
    try {
        SettingsStore settings;
        return KeyStore(&settings).key();
    } catch (const Failure&) {
        return {};
    }
}

QString resumeHint(const QString& journal)
{
    return QStringLiteral("The answers so far are kept in %1; run the same command with "
                          "--resume to go on without paying for them again.")
        .arg(QDir::toNativeSeparators(journal));
}

} // namespace

int runSession(const CliOptions& options, const LookupConfig& config)
{
    StderrDialogs dialogs;
    dialogs.setApplicationTitle(QStringLiteral("quillmore-cli"));

    // Everything that can refuse the run does so before anything is sent.
    QStringList numbers;
    QString key;
    try {
        numbers = readInputNumbers(options.files);
    } catch (const Failure& failure) {
        writeError(failure.description());
        return kExitUsage;
    }
    const PhoneNumbers phone(options.region.isEmpty() ? systemNumberRegion() : options.region);
    const NumberPlan plan = planNumbers(numbers, phone, options.skipInvalid);
    if (options.dryRun) {
        QFile out;
        if (out.open(stdout, QIODevice::WriteOnly))
            out.write(dryRunReport(plan, numbers.size(), options.pauseMin, options.pauseMax,
                                   options.parallel)
                          .toUtf8());
        return int(RunEnd::Complete);
    }
    if (plan.skipped > 0)
        writeError(
            plan.skipped == 1
                ? QStringLiteral("1 number that cannot be valid skipped.")
                : QStringLiteral("%1 numbers that cannot be valid skipped.").arg(plan.skipped));
    try {
        key = chooseKey(options.keyFile, storedKey);
    } catch (const Failure& failure) {
        writeError(failure.description());
        return kExitUsage;
    }
    const bool defaultJournal = options.journal.isEmpty();
    const QString journalPath =
        defaultJournal ? defaultJournalPath(inputHash(numbers)) : options.journal;
    if (!options.resume && QFileInfo(journalPath).isFile() && QFileInfo(journalPath).size() > 0) {
        writeError(QStringLiteral("An earlier run of this input left its answers in %1. Run the "
                                  "same command with --resume to look up only the numbers it has "
                                  "no answer for, or delete the file to start afresh.")
                       .arg(QDir::toNativeSeparators(journalPath)));
        return kExitUsage;
    }
    RunJournal journal(journalPath);
    try {
        journal.open();
    } catch (const Failure& failure) {
        writeError(failure.description());
        return kExitUsage;
    }

    // What the journal already has: each answered row goes to the first
    // position of its number that has none yet. A row that could not connect
    // holds no answer; it is asked for again.
    struct Kept
    {
        qint64 offset;
        bool failed;
    };
    QHash<QString, std::deque<Kept>> kept;
    journal.scan([&](qint64 offset, ResultRecord&& record) {
        if (record.answer != kCouldNotConnect && !isServiceErrorRow(record.cells))
            kept[record.number].push_back({offset, isFailedRow(record.cells)});
    });

    std::unique_ptr<QFileDevice> device;
    if (options.output.isEmpty()) {
        auto out = std::make_unique<QFile>();
        if (!out->open(stdout, QIODevice::WriteOnly)) {
            writeError(QStringLiteral("Cannot write to standard output: ") + out->errorString());
            return kExitUsage;
        }
        device = std::move(out);
    } else {
        // Replaced only by a complete file, as the desktop's exports are.
        auto out = std::make_unique<QSaveFile>(options.output);
        if (QFileInfo(options.output).isDir() || !out->open(QIODevice::WriteOnly)) {
            writeError(QStringLiteral("Cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(options.output),
                                QFileInfo(options.output).isDir()
                                    ? QStringLiteral("it is a folder.")
                                    : out->errorString()));
            return kExitUsage;
        }
        device = std::move(out);
    }
    OrderedOutput output(options.format, *device, journal, phone, numbers.size());
    const auto saveFile = [&] { return qobject_cast<QSaveFile*>(device.get()); };

    std::deque<qsizetype> pending;
    qsizetype done = 0;
    qsizetype failedRows = 0;
    bool outputFailed = false;
    const auto addRow = [&](qsizetype index, qint64 offset, const ResultRecord* record) {
        try {
            output.addRow(index, offset, record);
        } catch (const Failure& failure) {
            if (!outputFailed)
                writeError(QStringLiteral("Cannot write the results: ") + failure.description());
            outputFailed = true;
        }
    };
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        auto found = kept.find(numbers.at(i));
        if (found == kept.end() || found->empty()) {
            pending.push_back(i);
            continue;
        }
        const Kept row = found->front();
        found->pop_front();
        failedRows += row.failed ? 1 : 0;
        ++done;
        addRow(i, row.offset, nullptr);
    }
    kept.clear();

    // Private folders a killed run left behind go before a new one is made.
    for (const QString& parent : {temporaryFolder(config), cacheFolder(config)})
        removeLeftoverFolders(parent, kStagingFolderPrefix);

    const ProgressMode mode = options.quiet                  ? ProgressMode::Quiet
                              : ::isatty(STDERR_FILENO) != 0 ? ProgressMode::Terminal
                                                             : ProgressMode::Lines;
    ProgressLine progress(mode, numbers.size(), done);
    dialogs.beforeMessage = [&] { progress.makeRoom(); };

    CliRun run(dialogs, config,
               {options.parallel, options.pauseMin, options.pauseMax, key, options.rate,
                options.maxFailures},
               numbers, std::move(pending));
    bool journalFailed = false;
    run.notice = [&](const QString& text) { dialogs.message(text); };
    run.rowReady = [&](qsizetype index, const ResultRecord& record) {
        qint64 offset = -1;
        try {
            offset = journal.append(record);
        } catch (const Failure& failure) {
            // The row still reaches the output; only a resume would miss it.
            if (!journalFailed)
                dialogs.message(failure.description());
            journalFailed = true;
        }
        addRow(index, offset, &record);
        failedRows += isFailedRow(record.cells) ? 1 : 0;
        progress.setDone(++done);
        if (outputFailed)
            run.interrupt();
    };

    TerminationWatcher watcher(nullptr, TerminationWatcher::Interrupt::Watched);
    int interrupts = 0;
    QObject::connect(&watcher, &TerminationWatcher::terminationRequested, &run, [&](int) {
        if (++interrupts == 1) {
            const qsizetype underWay = run.inFlight();
            dialogs.message(
                underWay == 0
                    ? QStringLiteral("Interrupted: no new request.")
                    : QStringLiteral("Interrupted: no new request; waiting for the %1 under way. "
                                     "Press Ctrl+C again to end at once.")
                          .arg(underWay));
            run.interrupt();
        } else {
            run.abort();
        }
    });
    QObject::connect(&run, &CliRun::finished, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    try {
        run.start();
    } catch (const Failure& failure) {
        writeError(QStringLiteral("Cannot prepare the transfer tool: ") + failure.description());
        return kExitUsage;
    }
    QCoreApplication::exec();
    journal.sync();

    if (interrupts >= 2) {
        if (QSaveFile* file = saveFile())
            file->cancelWriting();
        return int(RunEnd::Interrupted);
    }
    try {
        output.finish();
        if (QSaveFile* file = saveFile(); file && !file->commit())
            throw Failure(file->errorString());
    } catch (const Failure& failure) {
        if (!outputFailed)
            writeError(QStringLiteral("Cannot write the results: ") + failure.description());
        outputFailed = true;
    }
    progress.finish();

    bool complete = true;
    for (qsizetype i = 0; i < numbers.size() && complete; ++i)
        complete = output.hasRow(i);
    if (outputFailed) {
        dialogs.message(resumeHint(journal.path()));
        return kExitUsage;
    }
    if (run.wasInterrupted() || run.wasRefused()) {
        dialogs.message(resumeHint(journal.path()));
        return int(run.wasInterrupted() ? RunEnd::Interrupted : RunEnd::Refused);
    }
    if (failedRows > 0 || !complete) {
        dialogs.message(QStringLiteral("%1 of %2 rows are \"Could not connect\", \"Empty "
                                       "answer\" or a service error. ")
                            .arg(failedRows)
                            .arg(numbers.size()) +
                        resumeHint(journal.path()));
        return int(RunEnd::FailedRows);
    }
    // Every number has its row: nothing is left to resume.
    if (defaultJournal && !journalFailed)
        journal.discard();
    return int(RunEnd::Complete);
}

} // namespace quillmore::cli
