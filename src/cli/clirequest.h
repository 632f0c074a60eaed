#pragma once

#include "lookup/childrunner.h"
#include "lookup/lookupconfig.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace quillmore {
class CurlStage;
}

namespace quillmore::cli {

// What one request brought back: the answer text as the desktop's lookup
// gives it (one line, "empty file" or "Could not connect") and the HTTP
// status with its Retry-After, read from the answer's headers.
struct CliAnswer
{
    QString text;
    int httpStatus = 0; // 0: no answer came
    QString retryAfter;
};

// One of a run's request slots: like the desktop's lookup request (up to six
// tries, a second apart, while no answer file comes), but with its own answer
// and header files in the run's private folder, so that several slots can be
// under way at once.
class CliRequest : public QObject
{
    Q_OBJECT
public:
    CliRequest(CurlStage& stage, const LookupConfig& config, int slot, QObject* parent = nullptr);

    void start(const QString& number, const QString& apiKey);
    // Ends the child and the retry timer; no answer follows.
    void end();
    bool isBusy() const { return m_busy; }

signals:
    void answered(const quillmore::cli::CliAnswer& answer);

private:
    void runAttempt();
    void attemptEnded(const ChildRun& run);
    QString answerPath() const;
    QString headerPath() const;

    CurlStage& m_stage;
    const LookupConfig& m_config;
    const int m_slot;
    ChildRunner m_runner;
    QTimer m_retry;
    QByteArray m_input;
    int m_attempt = 0;
    bool m_busy = false;
};

} // namespace quillmore::cli
