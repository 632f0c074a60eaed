#pragma once

#include "lookup/curlstage.h"
#include "lookup/lookupconfig.h"
#include "lookup/request.h"
#include "shell/errorreport.h"

#include <QObject>
#include <QString>

namespace quillmore {

class Dialogs;
class KeyStore;

inline const QString kKeyTestNumber = QStringLiteral("4135923823");

// The key window's "Test API Key": the lookup job over one sample number with
// the stored key, and one message saying what the service made of it. Nothing
// of the answer is kept. Owns its staging folder and request; end() (also the
// destructor) stops both at once.
class KeyTest : public QObject
{
    Q_OBJECT
public:
    KeyTest(Dialogs& dialogs, const KeyStore& key, LookupConfig config, QObject* parent = nullptr);
    ~KeyTest() override;

    // The button's click; ignored while a test is running.
    void buttonPressed();
    bool isRunning() const { return m_running; }

    // Ends a running test at once; finished() follows when one was running.
    void end();

signals:
    void busyChanged(bool busy);
    void progressText(const QString& text);
    void finished();

private:
    enum class Statement { Busy, Stage, Request, RemoveStage, Classify, Idle, Message };
    void answerArrived(const QString& answer, int httpStatus);
    // Ends the test; shows `message` unless it is empty.
    void finish(const QString& message);

    Dialogs& m_dialogs;
    const KeyStore& m_key;
    LookupConfig m_config;
    GuardedProcedure m_lines;
    CurlStage m_stage;
    CurlRequest m_request;
    bool m_running = false;
};

// What the key test tells the user of an answer and the HTTP status it came with.
QString keyTestMessage(const QString& answer, int httpStatus);

} // namespace quillmore
