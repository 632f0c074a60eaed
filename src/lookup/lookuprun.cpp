#include "lookup/lookuprun.h"

#include "lookup/answer.h"
#include "lookup/resultrow.h"
#include "numbers/numberlistmodel.h"
#include "shell/dialogs.h"
#include "shell/fileutil.h"
#include "shell/keystore.h"
#include "shell/progresssink.h"

namespace quillmore {

LookupRun::LookupRun(Dialogs& dialogs, const NumberListModel& numbers, const KeyStore& key,
                     LookupConfig config, QObject* parent)
    : QObject(parent), m_dialogs(dialogs), m_numbers(numbers), m_key(key),
      m_config(std::move(config)),
      m_lines(dialogs,
              procedurePath(QStringLiteral("Form1"), QStringLiteral("PushButton17_Click"))),
      m_request(dialogs, m_stage, m_config)
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
    connect(&m_beforeRequest, &QTimer::timeout, this, &LookupRun::sendRequest);
    // The pause ends by going through the event loop once more, so the
    // window's pending events (a stop request among them) run in between.
    connect(&m_pause, &QTimer::timeout, this,
            [this] { m_lines.step(Statement::Yield, [&] { m_afterPause.start(); }); });
    connect(&m_afterPause, &QTimer::timeout, this, &LookupRun::nextNumber);
}

LookupRun::~LookupRun()
{
    // Nothing of the run may outlive it, and nobody is told any more.
    blockSignals(true);
    end();
}

void LookupRun::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void LookupRun::buttonPressed()
{
    if (m_state == State::StopPending)
        return;
    if (m_state == State::Running) {
        m_stopRequested = true;
        setState(State::StopPending);
        return;
    }
    m_lines.reopen();
    m_lines.step(Statement::Caption, [&] { setState(State::Running); });
    m_lines.step(Statement::ClearStop, [&] { m_stopRequested = false; });
    m_lines.step(Statement::Busy, [&] { emit busyChanged(true); });
    m_lines.step(Statement::ClearErrorShown, [&] { m_serviceErrorShown = false; });
    m_lines.step(Statement::Stage, [&] { m_stage.stage(m_config); });
    m_count = 0;
    m_lines.step(Statement::Count, [&] { m_count = m_numbers.count(); });
    m_index = 0;
    nextNumber();
}

void LookupRun::nextNumber()
{
    if (++m_index > m_count) {
        endRun();
        return;
    }
    beginNumber();
}

void LookupRun::beginNumber()
{
    m_number.clear();
    m_lines.step(Statement::TakeNumber, [&] { m_number = m_numbers.at(m_index - 1); });
    m_lines.step(Statement::ProgressValue, [&] {
        // Entries added meanwhile count here, though this run does not look them up.
        const int now = m_numbers.count();
        if (now == 0)
            throw Failure(QStringLiteral("Division by zero"));
        emit progressValue(double(m_index) / now * 100.0);
    });
    m_lines.step(Statement::ProgressText, [&] {
        emit progressText(QStringLiteral("Processing: ") + fileNamePart(m_number));
    });
    m_lines.step(Statement::YieldBeforeRequest, [&] { m_beforeRequest.start(); });
}

void LookupRun::sendRequest()
{
    m_lines.step(Statement::BusyAgain, [&] { emit busyChanged(true); });
    m_lines.step(Statement::Request, [&] { m_request.start(m_number, m_key.key()); });
}

void LookupRun::answerArrived(const QString& answer, int httpStatus)
{
    m_lines.step(Statement::Console, [&] { emit answerReceived(answer); });
    AnswerClass cls = AnswerClass::Answer;
    m_lines.step(Statement::Classify, [&] { cls = classifyAnswer(answer); });
    if (cls != AnswerClass::Answer) {
        // The rows already gathered stay: the user has paid for them.
        m_lines.step(Statement::StopAfterError, [&] { m_stopRequested = true; });
        m_lines.step(Statement::IdleAfterError, [&] { emit busyChanged(false); });
        m_lines.step(Statement::ErrorShown, [&] { m_serviceErrorShown = true; });
        m_lines.step(Statement::ErrorMessage, [&] { m_dialogs.message(answerClassMessage(cls)); });
    } else {
        m_lines.step(Statement::AddRow, [&] {
            emit resultAdded(
                {m_number, resultRow(m_dialogs, m_number, answer, httpStatus), answer, false});
        });
    }
    if (m_stopRequested) {
        endRun();
        return;
    }
    m_lines.step(Statement::Pause, [&] {
        const int seconds = m_config.randomPauseSeconds ? m_config.randomPauseSeconds() : 3;
        m_pause.start(m_config.pause(std::chrono::seconds(seconds)));
    });
}

void LookupRun::endRun()
{
    m_lines.step(Statement::StopAtEnd, [&] { m_stopRequested = true; });
    m_lines.step(Statement::CaptionAtEnd, [&] { setState(State::StopPending); });
    m_lines.step(Statement::RemoveStage, [&] { m_stage.remove(); });
    m_lines.step(Statement::IdleAtEnd, [&] { emit busyChanged(false); });
    m_lines.step(Statement::ProgressAtEnd, [&] {
        emit progressValue(0);
        emit progressText(kProgressRestText);
    });
    if (!m_serviceErrorShown)
        m_lines.step(Statement::Done, [&] { m_dialogs.message(QStringLiteral("Done.")); });
    if (m_lines.isClosed())
        return;
    m_lines.close();
    setState(State::Idle);
    emit finished();
}

void LookupRun::end()
{
    const bool wasRunning = m_state != State::Idle;
    // Steps of a handler still on the stack (below a box the user was shown)
    // do not run once the procedure is closed.
    m_lines.close();
    m_request.end();
    m_beforeRequest.stop();
    m_pause.stop();
    m_afterPause.stop();
    m_stage.remove();
    m_state = State::Idle;
    if (wasRunning) {
        emit stateChanged(m_state);
        emit finished();
    }
}

} // namespace quillmore
