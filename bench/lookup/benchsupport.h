#pragma once

// What the lookup benchmarks share: the clocks they read, the bare curl run
// that every figure is compared with, and a chain of asynchronous steps so
// that everything is measured from the one event loop, as the program runs.

#include "lookup/curlstage.h"
#include "lookup/request.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

#include <sys/resource.h>
#include <unistd.h>

namespace quillmore::bench {

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

inline double seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// Processor seconds, user and system, of this process or of its ended children.
inline double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor seconds of a running process, from /proc; -1 when it is not there.
inline double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which may itself hold blanks: state is 3rd,
    // utime the 14th and stime the 15th of the whole line.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// The child of this process whose command line holds `word` (the stand-in
// service runs as one); 0 when there is none.
inline qint64 childWithCommand(const QByteArray& word)
{
    const QString tasks = QStringLiteral("/proc/self/task");
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks + QLatin1Char('/') + task + QStringLiteral("/children"));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& pid : children.readAll().simplified().split(' ')) {
            QFile command(QStringLiteral("/proc/%1/cmdline").arg(QString::fromLatin1(pid)));
            if (command.open(QIODevice::ReadOnly) && command.readAll().contains(word))
                return pid.toLongLong();
        }
    }
    return 0;
}

// A line of /proc/self/status in MB, such as "VmRSS" or "VmHWM".
inline double statusMegabytes(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).simplified().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

inline QString machine()
{
    return QStringLiteral("%1, %2 cores, %3")
        .arg(QSysInfo::prettyProductName())
        .arg(QThread::idealThreadCount())
        .arg(QSysInfo::currentCpuArchitecture());
}

// The very child a request starts — the staged tool, the same arguments, the
// same config line on standard input and the same environment — with nothing
// of the program around it: started, fed and waited for in one go.
class BareCurl
{
public:
    explicit BareCurl(const CurlStage& stage)
        : m_program(stage.toolPath()),
          m_arguments(curlArguments(QDir::toNativeSeparators(stage.responsePath()))),
          m_response(stage.responsePath())
    {
        // As the request sets it up: the bundle, and no configuration of the user's.
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("CURL_CA_BUNDLE"), stage.bundlePath());
        for (const char* name : {"CURL_HOME", "XDG_CONFIG_HOME", "HOME"})
            m_environment.insert(QString::fromLatin1(name), stage.folder());
    }

    // Wall seconds of one run; the answer file is removed afterwards, untimed.
    double run(const QByteArray& configLine, bool* answered = nullptr) const
    {
        QProcess curl;
        curl.setProgram(m_program);
        curl.setArguments(m_arguments);
        curl.setProcessEnvironment(m_environment);
        curl.setStandardOutputFile(QProcess::nullDevice());
        curl.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer clock;
        clock.start();
        curl.start();
        curl.waitForStarted(30000);
        curl.write(configLine);
        curl.closeWriteChannel();
        curl.waitForFinished(30000);
        const double wall = double(clock.nsecsElapsed()) / 1e9;
        if (answered)
            *answered = QFile::exists(m_response);
        QFile::remove(m_response);
        return wall;
    }

private:
    QString m_program;
    QStringList m_arguments;
    QString m_response;
    QProcessEnvironment m_environment;
};

// Steps that each call `done` when they have finished, run one after the
// other from the event loop; the application quits after the last.
using Step = std::function<void(std::function<void()> done)>;

class Steps
{
public:
    explicit Steps(QList<Step> steps) : m_steps(std::move(steps)) {}
    Steps(const Steps&) = delete;
    Steps& operator=(const Steps&) = delete;

    void next()
    {
        if (m_steps.isEmpty()) {
            QCoreApplication::quit();
            return;
        }
        Step step = m_steps.takeFirst();
        QTimer::singleShot(0, [this, step] { step([this] { next(); }); });
    }

private:
    QList<Step> m_steps;
};

} // namespace quillmore::bench
