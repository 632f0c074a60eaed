#pragma once

#include "lookupconfig.h"

#include <QDir>
#include <QString>

#include <chrono>
#include <coroutine>
#include <memory>

#include <qcoro/qcorotask.h>

namespace quillmore {

// One wait of a coroutine: whoever comes first (the awaited event, or an abort)
// resumes it. Event sources resume it through the event loop, never from inside
// their own signal, so the objects that signalled may be deleted by the
// resumed coroutine.
class Wake : public std::enable_shared_from_this<Wake>
{
public:
    // Resumes the waiter from the event loop.
    void fireLater();
    // Marks the wait as over and resumes the waiter now (used by an abort).
    void fireNow();
    bool fired() const { return m_fired; }

    // Holds the wake by plain pointer: the waiting coroutine keeps it alive, and
    // an awaiter without a destructor stays clear of compilers' trouble with
    // temporaries in co_await expressions.
    struct Awaiter
    {
        Wake* wake;
        bool await_ready() const noexcept { return wake->m_fired; }
        void await_suspend(std::coroutine_handle<> h) noexcept { wake->m_waiter = h; }
        void await_resume() const noexcept {}
    };

private:
    void resumeWaiter();
    bool m_fired = false;
    bool m_scheduled = false;
    std::coroutine_handle<> m_waiter;
};

// The shared state of one run or key test. The coroutine keeps its own
// reference, so it can tell that it was aborted even when the object that
// started it is gone; after an abort it touches nothing else.
class RunControl
{
public:
    bool aborted() const { return m_aborted; }

    // Ends the current wait at once; every wait after this returns at once too.
    void abort();

    // Sets up the next wait. `co_await RunControl::wait(w)` suspends until it fires.
    std::shared_ptr<Wake> beginWait();
    static Wake::Awaiter wait(const std::shared_ptr<Wake>& wake) { return {wake.get()}; }

    // Waits through the sleeper; an abort ends the wait early.
    QCoro::Task<> sleep(const std::shared_ptr<Sleeper>& sleeper,
                        std::chrono::milliseconds duration);
    // Lets the events that are already pending run once.
    QCoro::Task<> yield();

private:
    bool m_aborted = false;
    std::shared_ptr<Wake> m_current;
};

} // namespace quillmore
