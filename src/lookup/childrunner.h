#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <memory>

class QProcess;

namespace quillmore {

// Added to the system's error number when a program cannot be started.
inline constexpr int kStartErrorBase = -2147221504;

struct ChildRun
{
    // Crashed: ended by a signal not of this runner's sending.
    enum class End { Exited, NotStarted, TimedOut, Crashed };
    End end = End::Exited;
    // The child's exit code; for a program that could not be started the system's
    // error number plus kStartErrorBase, a negative number. Meaningless for a
    // child that crashed or timed out.
    int result = 0;
    // The start of what the child wrote to its standard output (curl's
    // --write-out); the rest is read and dropped, so a chatty child costs nothing.
    QByteArray output;
    // Started but refused for lack of permission to run the file (a temporary
    // folder mounted noexec, say): another copy elsewhere may run.
    bool notExecutable() const;
};

} // namespace quillmore

Q_DECLARE_METATYPE(quillmore::ChildRun)

namespace quillmore {

// One child process at a time, waited for without blocking the event loop.
// While it runs the progress text counts "Please wait.. 1", "Please wait.. 2",
// ... every 100 ms; afterwards it is "Progress Bar". A program that cannot be
// started leaves the text alone. A child still running after the time limit is
// killed. Owns the process and both timers: stop() or the destructor ends all
// of them, and nothing of a stopped child is reported afterwards. On Unix the
// child runs in a process group of its own, out of reach of signals sent to
// the program's group; on Linux it also ends when the program dies.
class ChildRunner : public QObject
{
    Q_OBJECT
public:
    explicit ChildRunner(QObject* parent = nullptr);
    ~ChildRunner() override;

    // Starts `program` with exactly these arguments (no shell, nothing split
    // again) and writes `input` to its standard input. Its standard output
    // comes back in ChildRun::output, through a pipe nobody else can read.
    // ended() follows, always from the event loop.
    void start(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment, const QByteArray& input,
               std::chrono::milliseconds timeout);
    void stop();
    bool isRunning() const { return m_process != nullptr; }

signals:
    void progressText(const QString& text);
    void ended(const ChildRun& run);

private:
    void finish(ChildRun run);

    std::unique_ptr<QProcess> m_process;
    QByteArray m_output;
    QTimer m_ticker;
    QTimer m_limit;
    quint64 m_attempt = 0;
    int m_pass = 0;
    bool m_timedOut = false;
};

} // namespace quillmore
