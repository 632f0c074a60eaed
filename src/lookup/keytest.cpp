#include "lookup/keytest.h"

#include "lookup/answer.h"
#include "shell/dialogs.h"
#include "shell/keystore.h"

namespace quillmore {

KeyTest::KeyTest(Dialogs& dialogs, const KeyStore& key, LookupConfig config, QObject* parent)
    : QObject(parent), m_dialogs(dialogs), m_key(key), m_config(std::move(config)),
      m_lines(dialogs, procedurePath(QStringLiteral("Form2"), QStringLiteral("PushButton4_Click"))),
      m_request(dialogs, m_stage, m_config)
{
    connect(&m_request, &CurlRequest::progressText, this, &KeyTest::progressText);
    connect(&m_request, &CurlRequest::answered, this, &KeyTest::answerArrived);
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

void KeyTest::buttonPressed()
{
    if (m_running)
        return;
    m_running = true;
    m_lines.reopen();
    m_lines.step(Statement::Busy, [&] { emit busyChanged(true); });
    // With nowhere to put the tool, the report of that step is all there is
    // to tell: a request could only fail, and blame the network.
    if (!m_lines.step(Statement::Stage, [&] { m_stage.stage(m_config); })) {
        finish({});
        return;
    }
    m_lines.step(Statement::Request, [&] { m_request.start(kKeyTestNumber, m_key.key()); });
}

void KeyTest::answerArrived(const QString& answer, int httpStatus)
{
    m_lines.step(Statement::RemoveStage, [&] { m_stage.remove(); });
    QString message;
    m_lines.step(Statement::Classify, [&] { message = keyTestMessage(answer, httpStatus); });
    finish(message);
}

void KeyTest::finish(const QString& message)
{
    m_lines.step(Statement::Idle, [&] { emit busyChanged(false); });
    if (!message.isEmpty())
        m_lines.step(Statement::Message, [&] { m_dialogs.message(message); });
    if (m_lines.isClosed())
        return;
    m_lines.close();
    m_running = false;
    emit finished();
}

void KeyTest::end()
{
    m_lines.close();
    m_request.end();
    m_stage.remove();
    if (std::exchange(m_running, false))
        emit finished();
}

} // namespace quillmore
