#include "lookup/childrunner.h"

#include "shell/progresssink.h"

#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cerrno>
#include <utility>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace quillmore {

bool ChildRun::notExecutable() const
{
    return end == End::NotStarted && result == EACCES + kStartErrorBase;
}

static int startErrorNumber(const QString& program)
{
    return (program.isEmpty() || !QFileInfo::exists(program)) ? ENOENT : EACCES;
}

// Far more than the three digits of an HTTP status.
static constexpr qsizetype kOutputLimit = 256;

static QString waitText(int pass)
{
    return QStringLiteral("Please wait.. ") + QString::number(pass);
}

ChildRunner::ChildRunner(QObject* parent) : QObject(parent)
{
    m_ticker.setInterval(std::chrono::milliseconds(100));
    connect(&m_ticker, &QTimer::timeout, this, [this] { emit progressText(waitText(++m_pass)); });
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        m_ticker.stop();
        if (m_process)
            m_process->kill();
    });
}

ChildRunner::~ChildRunner()
{
    stop();
}

void ChildRunner::start(const QString& program, const QStringList& arguments,
                        const QProcessEnvironment& environment, const QByteArray& input,
                        std::chrono::milliseconds timeout)
{
    stop();
    const quint64 attempt = ++m_attempt;
    m_pass = 0;
    m_timedOut = false;
    m_output.clear();
    m_process = std::make_unique<QProcess>();
    QProcess* process = m_process.get();
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardErrorFile(QProcess::nullDevice());
    if (!environment.isEmpty())
        process->setProcessEnvironment(environment);
#ifdef Q_OS_UNIX
    // A signal to the whole process group (Ctrl+C, `timeout`, a closed
    // terminal, a service manager's stop) is meant for the program, which
    // lets a request under way finish: the child must not die of it with an
    // answer already paid for. In a group of its own it does not get it, so
    // ending it is the program's business (stop(), the destructor), and if
    // the program itself dies, the child goes with it.
    [[maybe_unused]] const pid_t parent = ::getpid();
    process->setChildProcessModifier([parent] {
        ::setpgid(0, 0);
#ifdef Q_OS_LINUX
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127); // the program died before the line above took hold
#endif
    });
#endif

    // The process's signals are acted on from the event loop, never inside
    // their emission, so a handler further up may end or restart the child.
    // A signal of an earlier child is recognised by its attempt number.
    const auto later = [this, attempt](auto&& work) {
        QMetaObject::invokeMethod(
            this,
            [this, attempt, work = std::move(work)] {
                if (attempt == m_attempt && m_process)
                    work();
            },
            Qt::QueuedConnection);
    };
    connect(process, &QProcess::started, this, [this, process, input, later, timeout] {
        // Written while the child starts reading; it never waits for more.
        process->write(input);
        process->closeWriteChannel();
        later([this, timeout] {
            emit progressText(waitText(++m_pass));
            m_ticker.start();
            if (timeout.count() > 0)
                m_limit.start(timeout);
        });
    });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, program, later](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart || process->state() != QProcess::NotRunning)
                    return;
                later([this, program] {
                    const int result = startErrorNumber(program) + kStartErrorBase;
                    finish({ChildRun::End::NotStarted, result, {}});
                });
            });
    const auto keepOutput = [this, process] {
        const QByteArray chunk = process->readAllStandardOutput();
        m_output += chunk.left(std::max<qsizetype>(0, kOutputLimit - m_output.size()));
    };
    connect(process, &QProcess::readyReadStandardOutput, this, keepOutput);
    connect(process, &QProcess::finished, this, [this, process, later, keepOutput] {
        keepOutput();
        const int code = process->exitCode();
        const bool crashed = process->exitStatus() == QProcess::CrashExit;
        later([this, code, crashed] {
            emit progressText(kProgressRestText);
            const ChildRun::End end = m_timedOut ? ChildRun::End::TimedOut
                                      : crashed  ? ChildRun::End::Crashed
                                                 : ChildRun::End::Exited;
            finish({end, code, std::exchange(m_output, {})});
        });
    });
    process->start();
}

void ChildRunner::finish(ChildRun run)
{
    m_ticker.stop();
    m_limit.stop();
    // Deleted from the event loop: this may run inside a handler the process called.
    if (m_process)
        m_process.release()->deleteLater();
    ++m_attempt;
    emit ended(run);
}

void ChildRunner::stop()
{
    ++m_attempt;
    m_ticker.stop();
    m_limit.stop();
    if (!m_process)
        return;
    std::unique_ptr<QProcess> process = std::move(m_process);
    process->disconnect(this);
    // A killed child is gone within moments, so this short wait never holds
    // up the window, and once stop() returns nothing writes the answer file.
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(1000);
    }
    process.release()->deleteLater();
}

} // namespace quillmore
