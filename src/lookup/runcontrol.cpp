#include "runcontrol.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace quillmore {

void Wake::fireLater()
{
    if (m_fired || m_scheduled)
        return;
    m_scheduled = true;
    // Even an event that has already happened resumes the waiter only from the
    // event loop, so every wait also lets pending events run.
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [self = shared_from_this()] { self->fireNow(); }, Qt::QueuedConnection);
}

void Wake::fireNow()
{
    m_fired = true;
    resumeWaiter();
}

void Wake::resumeWaiter()
{
    // Taken out first: the waiter is resumed at most once, whoever fired.
    if (std::coroutine_handle<> waiter = std::exchange(m_waiter, {}))
        waiter.resume();
}

void RunControl::abort()
{
    m_aborted = true;
    if (std::shared_ptr<Wake> current = std::exchange(m_current, {}))
        current->fireNow();
}

std::shared_ptr<Wake> RunControl::beginWait()
{
    auto wake = std::make_shared<Wake>();
    if (m_aborted)
        wake->fireNow();
    else
        m_current = wake;
    return wake;
}

// Runs the sleeper's task to its end and then fires the wake; lives on by
// itself when the waiter was aborted in the meantime.
static QCoro::Task<> fireWhenDone(QCoro::Task<> task, std::shared_ptr<Wake> wake)
{
    try {
        co_await task;
    } catch (...) {
        // A sleeper that fails has still ended its wait.
    }
    wake->fireLater();
}

QCoro::Task<> RunControl::sleep(const std::shared_ptr<Sleeper>& sleeper,
                                std::chrono::milliseconds duration)
{
    const std::shared_ptr<Wake> wake = beginWait();
    if (!wake->fired()) {
        if (sleeper) {
            QCoro::Task<> sleeping = sleeper->sleep(duration);
            fireWhenDone(std::move(sleeping), wake);
        } else {
            wake->fireLater();
        }
    }
    co_await wait(wake);
}

QCoro::Task<> RunControl::yield()
{
    const std::shared_ptr<Wake> wake = beginWait();
    wake->fireLater();
    co_await wait(wake);
}

} // namespace quillmore
