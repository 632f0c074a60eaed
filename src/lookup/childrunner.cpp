#include "childrunner.h"

#include "progresssink.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cerrno>

namespace quillmore {

int normalizeWindowStyle(int windowStyle)
{
    return (windowStyle < 0 || windowStyle > 6) ? 6 : windowStyle;
}

static int startErrorNumber(const QString& program)
{
    return (program.isEmpty() || !QFileInfo::exists(program)) ? ENOENT : EACCES;
}

// An abort must be over when it returns: a killed child is gone within
// moments, so this short blocking wait never holds up the window.
static void endAtOnce(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(1000);
}

static QString waitText(int pass)
{
    return QStringLiteral("Please wait.. ") + QString::number(pass);
}

QCoro::Task<ChildRun> runAndWait(const QString& commandLine, int windowStyle,
                                 ProgressSink& progress, const ChildOptions& options)
{
    (void)normalizeWindowStyle(windowStyle);
    // Everything the caller lent is copied before the first suspension.
    const QStringList words = QProcess::splitCommand(commandLine);
    const QProcessEnvironment environment = options.environment;
    const std::chrono::milliseconds timeout = options.timeout;
    const std::shared_ptr<RunControl> control =
        options.control ? options.control : std::make_shared<RunControl>();
    ChildRun run;
    if (control->aborted()) {
        run.end = ChildRun::End::Aborted;
        co_return run;
    }

    const QString program = words.value(0);

    // What the child's signals tell; they only record and wake, the coroutine acts.
    struct Watch
    {
        std::shared_ptr<Wake> wake;
        bool started = false;
        bool failed = false;
        bool ended = false;
    } watch;

    QProcess process;
    process.setProgram(program);
    process.setArguments(words.mid(1));
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    QObject::connect(&process, &QProcess::started, [&watch] {
        watch.started = true;
        watch.wake->fireLater();
    });
    QObject::connect(&process, &QProcess::errorOccurred, [&watch](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && !watch.started) {
            watch.failed = true;
            watch.wake->fireLater();
        }
    });
    QObject::connect(&process, &QProcess::finished, [&watch] {
        watch.ended = true;
        watch.wake->fireLater();
    });

    watch.wake = control->beginWait();
    process.start();
    co_await RunControl::wait(watch.wake);
    if (control->aborted()) {
        endAtOnce(process);
        run.end = ChildRun::End::Aborted;
        co_return run;
    }
    if (watch.failed) {
        run.end = ChildRun::End::NotStarted;
        run.result = startErrorNumber(program) + kStartErrorBase;
        co_return run;
    }

    int pass = 1;
    progress.setProgressText(waitText(pass));
    QTimer ticker;
    ticker.setInterval(std::chrono::milliseconds(100));
    ticker.callOnTimeout([&] { progress.setProgressText(waitText(++pass)); });
    QTimer limit;
    limit.setSingleShot(true);
    limit.callOnTimeout([&watch] { watch.wake->fireLater(); });

    watch.wake = control->beginWait();
    if (!watch.ended) {
        ticker.start();
        if (timeout.count() > 0)
            limit.start(timeout);
        co_await RunControl::wait(watch.wake);
        ticker.stop();
        limit.stop();
    }
    if (control->aborted()) {
        endAtOnce(process);
        run.end = ChildRun::End::Aborted;
        co_return run;
    }
    if (!watch.ended) {
        // Timed out: wait for the killed child to be gone, so that nothing writes
        // its answer file any more once the caller removes it.
        process.kill();
        watch.wake = control->beginWait();
        if (!watch.ended)
            co_await RunControl::wait(watch.wake);
        if (control->aborted()) {
            run.end = ChildRun::End::Aborted;
            co_return run;
        }
        run.end = ChildRun::End::TimedOut;
    }
    progress.setProgressText(kProgressRestText);
    run.result = process.exitCode();
    co_return run;
}

} // namespace quillmore
