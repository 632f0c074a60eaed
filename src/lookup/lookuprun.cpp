#include "lookup/lookuprun.h"

#include "lookup/resultrow.h"
#include "lookup/takeanswer.h"
#include "numbers/numberlistmodel.h"
#include "shell/fileutil.h"
#include "shell/keystore.h"
#include "shell/progresssink.h"

namespace quillmore {

LookupRun::LookupRun(const NumberListModel& numbers, const KeyStore& key, LookupConfig config,
                     QObject* parent)
    : QObject(parent), m_numbers(numbers), m_key(key), m_config(std::move(config)),
      m_request(m_stage, m_config)
{
    for (QTimer* timer : {&m_beforeRequest, &m_pause, &m_afterPause})
        timer->setSingleShot(true);
    m_beforeRequest.setInterval(0);
    m_afterPause.setInterval(0);
    // A coarse timer may fire up to 5 % early; the service's rate limit is
    // counted in whole seconds, so a 3 s pause must never be shorter.
    m_pause.setTimerType(Qt::PreciseTimer);
    connect(&m_request, &CurlRequest::progressText, this, &LookupRun::progressText);
    connect(&m_request, &CurlRequest::answered, this, &LookupRun::answerArrived);
    connect(&m_request, &CurlRequest::failed, this, &LookupRun::failed);
    connect(&m_beforeRequest, &QTimer::timeout, this, &LookupRun::sendRequest);
    // The pause ends by going through the event loop once more, so the
    // window's pending events (a stop request among them) run in between.
    connect(&m_pause, &QTimer::timeout, &m_afterPause, qOverload<>(&QTimer::start));
    connect(&m_afterPause, &QTimer::timeout, this, &LookupRun::nextNumber);
}

LookupRun::~LookupRun()
{
    // Nothing of the run may outlive it, and nobody is told any more.
    blockSignals(true);
    end();
}

template <typename F> bool LookupRun::attempt(Step step, F&& work)
{
    const quint64 job = m_job;
    try {
        std::forward<F>(work)();
    } catch (...) {
        if (m_job == job)
            emit failed(Failure(describe(std::current_exception())), step);
    }
    return m_job == job;
}

void LookupRun::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void LookupRun::stop()
{
    if (m_state != State::Running)
        return;
    m_stopRequested = true;
    setState(State::StopPending);
}

void LookupRun::start()
{
    if (m_state != State::Idle)
        return;
    ++m_job;
    m_stopRequested = false;
    m_phase = Phase::Staging;
    setState(State::Running);
    emit busyChanged(true);
    // Without a staged tool every request gives "Could not connect": the
    // run still goes through the list, so each number gets its row.
    if (!attempt(Step::RunStaging, [&] { m_stage.stage(m_config); }))
        return;
    m_count = m_numbers.count();
    m_index = 0;
    nextNumber();
}

void LookupRun::nextNumber()
{
    if (++m_index > m_count) {
        finish(m_stopRequested ? Outcome::Stopped : Outcome::Completed);
        return;
    }
    m_phase = Phase::Requesting;
    m_number = m_numbers.at(m_index - 1);
    const bool goesOn = attempt(Step::RunProgress, [&] {
        // Entries added meanwhile count here, though this run does not look them up.
        const int now = m_numbers.count();
        if (now == 0)
            throw Failure(QStringLiteral("Division by zero"));
        emit progressValue(double(m_index) / now * 100.0);
    });
    if (!goesOn)
        return;
    emit progressText(QStringLiteral("Processing: ") + fileNamePart(m_number));
    m_beforeRequest.start();
}

void LookupRun::sendRequest()
{
    emit busyChanged(true);
    m_request.start(m_number, m_key.key());
}

void LookupRun::answerArrived(const QString& answer, int httpStatus)
{
    const quint64 job = m_job;
    if (!attempt(Step::RunConsole, [&] { emit answerReceived(answer); }))
        return;
    TakenAnswer taken;
    bool read = false;
    if (!attempt(Step::RunRow, [&] {
            taken = takeAnswer(m_number, answer, httpStatus);
            read = true;
        }))
        return;
    if (read && taken.cls != AnswerClass::Answer) {
        // The rows already gathered stay: the user has paid for them.
        m_stopRequested = true;
        emit busyChanged(false);
        emit refusalReceived(m_number, answer, httpStatus);
        if (m_job != job)
            return;
        emit serviceRefused(taken.cls);
        if (m_job == job)
            finish(Outcome::Refused);
        return;
    }
    const bool goesOn = attempt(Step::RunRow, [&] {
        if (!read)
            return;
        for (const Failure& failure : taken.unread) {
            emit failed(failure, Step::ValueRead);
            if (m_job != job)
                return;
        }
        emit rowReady(taken.record);
    });
    if (!goesOn)
        return;
    if (m_stopRequested) {
        finish(Outcome::Stopped);
        return;
    }
    pause();
}

void LookupRun::pause()
{
    m_phase = Phase::Pausing;
    bool started = false;
    const bool goesOn = attempt(Step::RunPause, [&] {
        const int seconds = m_config.randomPauseSeconds ? m_config.randomPauseSeconds() : 3;
        m_pause.start(m_config.pause(std::chrono::seconds(seconds)));
        started = true;
    });
    // A pause that could not be set must not leave the run waiting forever.
    if (goesOn && !started)
        m_afterPause.start();
}

void LookupRun::finish(Outcome outcome)
{
    const quint64 job = m_job;
    m_phase = Phase::Ending;
    m_stopRequested = true;
    setState(State::StopPending);
    m_stage.remove();
    emit busyChanged(false);
    emit progressValue(0);
    emit progressText(kProgressRestText);
    if (m_job != job)
        return; // ended by a listener meanwhile, and told so
    ++m_job;
    m_phase = Phase::Idle;
    setState(State::Idle);
    emit finished(outcome);
}

void LookupRun::end()
{
    const bool wasRunning = m_state != State::Idle;
    ++m_job;
    m_request.end();
    m_beforeRequest.stop();
    m_pause.stop();
    m_afterPause.stop();
    m_stage.remove();
    m_phase = Phase::Idle;
    m_state = State::Idle;
    if (wasRunning) {
        emit stateChanged(m_state);
        emit finished(Outcome::Ended);
    }
}

} // namespace quillmore
