#include "shell/terminationwatcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace quillmore {

#ifdef Q_OS_UNIX

namespace {

// SIGINT last: only watched when asked for.
constexpr int kWatched[] = {SIGTERM, SIGHUP, SIGINT};
std::size_t g_watchedCount = 0;

// Written by the signal handler, read on the event loop.
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[std::size(kWatched)];

void onSignal(int signalNumber)
{
    // Only async-signal-safe calls here: one byte into the pipe.
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (::write(g_pipe[0], &byte, 1) < 0) {
        // A full pipe already holds a request; nothing more to say.
    }
    errno = savedErrno;
}

void closePipe()
{
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace

TerminationWatcher::TerminationWatcher(QObject* parent, Interrupt interrupt) : QObject(parent)
{
    if (g_pipe[0] >= 0)
        return; // another watcher has the signals
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    for (int fd : g_pipe) {
        // The lookup's child processes must not inherit it, and a burst of
        // signals must never block the handler.
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationWatcher::drain);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    g_watchedCount = std::size(kWatched) - (interrupt == Interrupt::Watched ? 0 : 1);
    for (std::size_t i = 0; i < g_watchedCount; ++i)
        ::sigaction(kWatched[i], &action, &g_previous[i]);
}

TerminationWatcher::~TerminationWatcher()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < g_watchedCount; ++i)
        ::sigaction(kWatched[i], &g_previous[i], nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    closePipe();
}

void TerminationWatcher::drain()
{
    unsigned char bytes[16];
    for (;;) {
        const ssize_t got = ::read(g_pipe[1], bytes, sizeof bytes);
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got; ++i)
            emit terminationRequested(bytes[i]);
    }
}

#else

TerminationWatcher::TerminationWatcher(QObject* parent, Interrupt) : QObject(parent) {}

TerminationWatcher::~TerminationWatcher() = default;

void TerminationWatcher::drain() {}

#endif

} // namespace quillmore
