#include "keytest.h"

#include "answer.h"
#include "errorreport.h"
#include "lookupview.h"
#include "request.h"
#include "resultrow.h"
#include "runcontrol.h"

namespace quillmore {

KeyTest::KeyTest(KeyTestView& view, LookupConfig config, QObject* parent)
    : QObject(parent), m_view(view), m_config(std::move(config))
{
}

KeyTest::~KeyTest()
{
    endAborted(false);
}

QString KeyTest::stagingFolder() const
{
    return m_state ? m_state->stage.folder : QString();
}

void KeyTest::buttonPressed()
{
    if (m_state)
        return;
    m_state = std::make_shared<StagedWork>();
    m_state->config = m_config;
    run(m_state);
}

void KeyTest::abort()
{
    endAborted(true);
}

void KeyTest::endAborted(bool notify)
{
    if (!m_state)
        return;
    const std::shared_ptr<StagedWork> state = std::exchange(m_state, nullptr);
    state->abort();
    if (notify)
        emit finished();
}

QCoro::Task<> KeyTest::run(std::shared_ptr<StagedWork> state)
{
    // After an abort this object and the view may be gone: only `state` is touched then.
    const std::shared_ptr<RunControl> control = state->control;
    GuardedProcedure lines(m_view.dialogs(), procedurePath(QStringLiteral("Form2"),
                                                           QStringLiteral("PushButton4_Click")));
    const auto at = [&](int line, auto&& statement) {
        if (!control->aborted())
            lines.stepAt(line, statement);
    };

    at(100, [&] { m_view.setBusy(true); });
    at(102, [&] { stageCurl(state->stage, state->config); });
    QString answer;
    QString apiKey;
    at(104, [&] { apiKey = m_view.apiKey(); });
    if (!control->aborted())
        co_await lines.stepAsyncAt(104, [&]() -> QCoro::Task<> {
            const CurlRequest request{m_view.dialogs(), m_view.progress(), state->config, control};
            answer = co_await readCurl(state->stage, kKeyTestNumber, apiKey, request);
        });
    at(106, [&] { removeCurl(state->stage); });
    AnswerClass cls = AnswerClass::Answer;
    at(108, [&] { cls = classifyAnswer(answer); });
    at(110, [&] { m_view.setBusy(false); });
    at(110, [&] { m_view.dialogs().message(answerClassMessage(cls)); });
    if (control->aborted())
        co_return;
    m_state.reset();
    emit finished();
}

} // namespace quillmore
