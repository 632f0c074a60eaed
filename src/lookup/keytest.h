#pragma once

#include "lookup/curlstage.h"
#include "lookup/lookupconfig.h"
#include "lookup/request.h"
#include "shell/errorreport.h"

#include <QObject>
#include <QString>

namespace quillmore {

class KeyStore;

inline const QString kKeyTestNumber = QStringLiteral("4135923823");

// The key window's "Test API Key": the lookup job over one sample number with
// the stored key. It tells the answer through answered() and shows nothing;
// nothing of the answer is kept. Owns its staging folder and request; end()
// (also the destructor) stops both at once, and nothing of an ended test
// happens afterwards, even when a listener of its own signals ended it.
class KeyTest : public QObject
{
    Q_OBJECT
public:
    // Answered: answered() came; NotStaged: there was nowhere to put the
    // tool (failed() came), so nothing was asked; Ended: end() cut it off.
    enum class Outcome { Answered, NotStaged, Ended };
    Q_ENUM(Outcome)

    KeyTest(const KeyStore& key, LookupConfig config, QObject* parent = nullptr);
    ~KeyTest() override;

    // Starts a test; ignored while one is running.
    void start();
    bool isRunning() const { return m_running; }

    // Ends a running test at once; finished(Ended) follows when one was running.
    void end();

signals:
    void busyChanged(bool busy);
    void progressText(const QString& text);
    void failed(const Failure& failure, Step step);
    // The service's answer to the sample number (or "Could not connect"),
    // once the test is no longer busy.
    void answered(const QString& answer, int httpStatus);
    void finished(KeyTest::Outcome outcome);

private:
    void answerArrived(const QString& answer, int httpStatus);
    // Ends the test `job` unless a listener ended it first.
    void finish(Outcome outcome, quint64 job);

    const KeyStore& m_key;
    LookupConfig m_config;
    CurlStage m_stage;
    CurlRequest m_request;
    quint64 m_job = 0; // changes whenever a test starts or is ended
    bool m_running = false;
};

// What the key test tells the user of an answer and the HTTP status it came with.
QString keyTestMessage(const QString& answer, int httpStatus);

} // namespace quillmore
