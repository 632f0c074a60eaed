#include "lookuprun.h"

#include "answer.h"
#include "errorreport.h"
#include "fileutil.h"
#include "jsvalue.h"
#include "lookupview.h"
#include "request.h"
#include "resultrow.h"

namespace quillmore {

static const QString kStopCaption = QStringLiteral("Stop");

LookupRun::LookupRun(LookupRunView& view, LookupConfig config, QObject* parent)
    : QObject(parent), m_view(view), m_config(std::move(config))
{
}

LookupRun::~LookupRun()
{
    endAborted(false);
}

QString LookupRun::stagingFolder() const
{
    return m_state ? m_state->stage.folder : QString();
}

void LookupRun::buttonPressed()
{
    if (isStopPending())
        return;
    if (m_view.startCaption() == kStopCaption) {
        requestStop();
        return;
    }
    // A caption changed behind the run's back must not start a second one.
    if (m_running)
        return;
    m_running = true;
    m_stopPending = false;
    m_state = std::make_shared<StagedWork>();
    m_state->config = m_config;
    run(m_state);
}

void LookupRun::requestStop()
{
    m_stopRequested = true;
    m_view.setStartCaption(m_savedStartCaption);
    if (m_running)
        m_stopPending = true;
}

void LookupRun::abort()
{
    endAborted(true);
}

void LookupRun::endAborted(bool notify)
{
    if (!m_state)
        return;
    const std::shared_ptr<StagedWork> state = std::exchange(m_state, nullptr);
    state->abort();
    m_running = false;
    m_stopPending = false;
    if (notify)
        emit finished();
}

QCoro::Task<> LookupRun::run(std::shared_ptr<StagedWork> state)
{
    // After an abort this object and the view may be gone: only `state` is touched then.
    const std::shared_ptr<RunControl> control = state->control;
    GuardedProcedure lines(m_view.dialogs(), procedurePath(QStringLiteral("Form1"),
                                                           QStringLiteral("PushButton17_Click")));
    // A report box lets the window close: no step runs after an abort.
    const auto at = [&](int line, auto&& statement) {
        if (!control->aborted())
            lines.stepAt(line, statement);
    };
    bool serviceErrorShown = false;
    int count = 0;

    at(100, [&] { m_savedStartCaption = m_view.startCaption(); });
    at(102, [&] { m_view.setStartCaption(kStopCaption); });
    at(104, [&] { m_stopRequested = false; });
    at(106, [&] { m_view.setBusy(true); });
    at(108, [&] { serviceErrorShown = false; });
    at(110, [&] { stageCurl(state->stage, state->config); });
    at(112, [&] { count = m_view.numberCount(); });
    if (control->aborted())
        co_return;

    for (int i = 1; i <= count; ++i) {
        QString number;
        at(114, [&] { number = m_view.numberAt(i - 1); });
        at(116, [&] {
            // Entries added meanwhile count here, though this run does not look them up.
            const int now = m_view.numberCount();
            if (now == 0)
                throw Failure(QStringLiteral("Division by zero"));
            m_view.progress().setProgressValue(double(i) / now * 100.0);
        });
        at(118, [&] {
            m_view.progress().setProgressText(QStringLiteral("Processing: ") +
                                              fileNamePart(number));
        });
        if (control->aborted())
            co_return;
        co_await control->yield();
        if (control->aborted())
            co_return;
        at(120, [&] { m_view.setBusy(true); });

        QString answer;
        QString apiKey;
        at(122, [&] { apiKey = m_view.apiKey(); });
        if (!control->aborted())
            co_await lines.stepAsyncAt(122, [&]() -> QCoro::Task<> {
                const CurlRequest request{m_view.dialogs(), m_view.progress(), state->config,
                                          control};
                answer = co_await readCurl(state->stage, number, apiKey, request);
            });
        if (control->aborted())
            co_return;
        at(124, [&] { m_view.appendConsole(answer); });

        AnswerClass cls = AnswerClass::Answer;
        at(126, [&] { cls = classifyAnswer(answer); });
        if (cls != AnswerClass::Answer) {
            at(128, [&] { m_stopRequested = true; });
            at(130, [&] { m_view.clearResults(); });
            at(132, [&] { m_view.setBusy(false); });
            at(134, [&] { serviceErrorShown = true; });
            at(136, [&] { m_view.dialogs().message(answerClassMessage(cls)); });
        } else {
            at(138, [&] { m_view.appendResultRow(resultRow(m_view.dialogs(), answer)); });
        }
        if (control->aborted())
            co_return;

        if (m_stopRequested)
            break;
        int seconds = 3;
        at(142, [&] { seconds = state->config.randomPauseSeconds(); });
        co_await control->sleep(state->config.sleeper, std::chrono::seconds(seconds));
        if (control->aborted())
            co_return;
        co_await control->yield();
        if (control->aborted())
            co_return;
    }

    at(146, [&] { m_stopRequested = true; });
    at(148, [&] { m_view.setStartCaption(m_savedStartCaption); });
    at(150, [&] { removeCurl(state->stage); });
    at(152, [&] { m_view.setBusy(false); });
    at(154, [&] {
        m_view.progress().setProgressValue(0);
        m_view.progress().setProgressText(kProgressRestText);
    });
    if (!serviceErrorShown)
        at(156, [&] { m_view.dialogs().message(QStringLiteral("Done.")); });
    if (control->aborted())
        co_return;
    m_state.reset();
    m_running = false;
    m_stopPending = false;
    emit finished();
}

} // namespace quillmore
