#include "lookup/keytest.h"

#include "lookup/answer.h"
#include "shell/keystore.h"

namespace quillmore {

KeyTest::KeyTest(const KeyStore& key, LookupConfig config, QObject* parent)
    : QObject(parent), m_key(key), m_config(std::move(config)), m_request(m_stage, m_config)
{
    connect(&m_request, &CurlRequest::progressText, this, &KeyTest::progressText);
    connect(&m_request, &CurlRequest::answered, this, &KeyTest::answerArrived);
    connect(&m_request, &CurlRequest::failed, this, &KeyTest::failed);
}

KeyTest::~KeyTest()
{
    blockSignals(true);
    end();
}

QString keyTestMessage(const QString& answer, int httpStatus)
{
    // Our own texts for "no answer" are not the service's verdict on the key,
    // nor is an error page that is none of the service's own error answers.
    if (answer == kCouldNotConnect)
        return QStringLiteral(
            "Could not reach the lookup service. Check the network connection and try again.");
    const AnswerClass cls = classifyAnswer(answer);
    if (cls != AnswerClass::Answer)
        return answerClassMessage(cls);
    if (isErrorStatus(httpStatus))
        return QStringLiteral("The lookup service answered with an error (HTTP %1). Please try "
                              "again later.")
            .arg(httpStatus);
    if (answer == kEmptyFile)
        return QStringLiteral("The lookup service sent an empty answer. Please try again later.");
    return answerClassMessage(cls);
}

void KeyTest::start()
{
    if (m_running)
        return;
    m_running = true;
    const quint64 job = ++m_job;
    emit busyChanged(true);
    try {
        m_stage.stage(m_config);
    } catch (...) {
        // With nowhere to put the tool, the failure is all there is to tell:
        // a request could only fail, and blame the network.
        emit failed(Failure(describe(std::current_exception())), Step::KeyTestStaging);
        if (m_job != job)
            return;
        emit busyChanged(false);
        finish(Outcome::NotStaged, job);
        return;
    }
    m_request.start(kKeyTestNumber, m_key.key());
}

void KeyTest::answerArrived(const QString& answer, int httpStatus)
{
    const quint64 job = m_job;
    m_stage.remove();
    emit busyChanged(false);
    emit answered(answer, httpStatus);
    finish(Outcome::Answered, job);
}

void KeyTest::finish(Outcome outcome, quint64 job)
{
    if (m_job != job)
        return; // ended by a listener meanwhile, and told so
    ++m_job;
    m_running = false;
    emit finished(outcome);
}

void KeyTest::end()
{
    ++m_job;
    m_request.end();
    m_stage.remove();
    if (std::exchange(m_running, false))
        emit finished(Outcome::Ended);
}

} // namespace quillmore
