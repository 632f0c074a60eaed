#include "cli/clirequest.h"

#include "cli/ratelimit.h"
#include "lookup/answer.h"
#include "lookup/curlstage.h"
#include "lookup/request.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

#include <csignal>

namespace quillmore::cli {

namespace {

constexpr int kAttempts = 6;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

CliRequest::CliRequest(CurlStage& stage, const LookupConfig& config, int slot, QObject* parent)
    : QObject(parent), m_stage(stage), m_config(config), m_slot(slot)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (m_attempt < kAttempts) {
            runAttempt();
            return;
        }
        m_busy = false;
        emit answered({kCouldNotConnect, 0, {}});
    });
    connect(&m_runner, &ChildRunner::ended, this, &CliRequest::attemptEnded);
    // Ctrl+C reaches every process of the terminal's job. It is meant for the
    // run, which lets the requests under way finish: the transfer tool must
    // not die of it with an answer already paid for.
    m_runner.setChildSetup([] { ::signal(SIGINT, SIG_IGN); });
}

QString CliRequest::answerPath() const
{
    return QDir(m_stage.folder()).filePath(QStringLiteral("answer-%1.txt").arg(m_slot));
}

QString CliRequest::headerPath() const
{
    return QDir(m_stage.folder()).filePath(QStringLiteral("headers-%1.txt").arg(m_slot));
}

void CliRequest::start(const QString& number, const QString& apiKey)
{
    end();
    m_busy = true;
    m_attempt = 0;
    m_input = curlConfigLine(requestAddress(m_config.serviceUrl, apiKey, digitsOnly(number)));
    runAttempt();
}

void CliRequest::runAttempt()
{
    // No answer of an earlier request can be read.
    removeFile(answerPath());
    removeFile(headerPath());
    QStringList arguments = curlArguments(QDir::toNativeSeparators(answerPath()));
    arguments << QStringLiteral("--dump-header") << QDir::toNativeSeparators(headerPath());
    if (m_stage.toolPath().isEmpty()) {
        attemptEnded({ChildRun::End::NotStarted, kStartErrorBase, {}});
        return;
    }
    m_runner.start(m_stage.toolPath(), arguments, curlEnvironment(m_stage), m_input,
                   m_config.childTimeout);
}

void CliRequest::attemptEnded(const ChildRun& run)
{
    // A tool that may not run where it is staged moves to its next way; the
    // attempt does not count. Another slot may have moved it already.
    if (run.notExecutable() && m_stage.fallBack(m_config)) {
        runAttempt();
        return;
    }
    // As in the desktop's request: only a tool that ended by itself with exit
    // status 0 and an HTTP status brought a whole answer; a body cut off or a
    // child that had to be ended is a failed try.
    const int status =
        run.end == ChildRun::End::Exited && run.result == 0 ? httpStatusOf(run.output) : 0;
    if (status == 0 || !fileExists(answerPath())) {
        removeFile(answerPath());
        ++m_attempt;
        m_retry.start(m_config.pause(std::chrono::seconds(1)));
        return;
    }
    CliAnswer answer;
    try {
        answer.text = flattenLines(readFileText(answerPath()));
    } catch (const Failure&) {
        answer.text = kCouldNotConnect;
    }
    answer.httpStatus = status;
    answer.retryAfter = parseHeaders(readAll(headerPath())).retryAfter;
    removeFile(answerPath());
    removeFile(headerPath());
    m_busy = false;
    emit answered(answer);
}

void CliRequest::end()
{
    m_runner.stop();
    m_retry.stop();
    m_busy = false;
}

} // namespace quillmore::cli
