#pragma once

#include "cli/ratepacer.h"
#include "lookup/lookupconfig.h"
#include "lookup/lookuprequest.h"

#include <QElapsedTimer>

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace quillmore {
class Dialogs;
struct ResultRecord;
} // namespace quillmore

namespace quillmore::cli {

class CurlPool;
class ProgressLine;

// What one request brought back: the answer text as the desktop's lookup
// gives it (one line, "empty file" or "Could not connect") and the HTTP
// status with its Retry-After, read from the answer's headers.
struct CliAnswer
{
    QString text;
    int httpStatus = 0; // 0: no answer came
    QString retryAfter;
};

// How a run ended, as the exit status says it.
enum class RunEnd { Complete = 0, Refused = 2, FailedRows = 3, Interrupted = 130 };

// Looks up the numbers of a run that have no row yet, up to `parallel` at
// once, each slot pausing between its answer and its next request. A row is
// handed to `rowReady` with its input position. A service error (quota,
// invalid key, withdrawn API) stops new requests at once; the requests under
// way finish and their rows are kept. An HTTP 429 is no row: the whole queue
// waits (Retry-After, else a backoff) and the same number is asked again;
// after 8 refusals in a row the run ends as refused. With a rate, requests
// go no faster than it allows across all slots; after `maxFailures` numbers
// in a row that could not connect, the service looks unreachable and no new
// request goes.
class CliRun : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        int parallel = 1;
        double pauseMin = 3;
        double pauseMax = 6;
        QString apiKey;
        double rate = 0;      // requests a second across all slots; 0: no limit
        int maxFailures = 20; // 0: never stop for failures
    };

    CliRun(Dialogs& dialogs, const LookupConfig& config, Settings settings,
           const QStringList& numbers, std::deque<qsizetype> pending, QObject* parent = nullptr);
    ~CliRun() override;

    // With the answer's HTTP status, which the history keeps beside the row.
    std::function<void(qsizetype index, const ResultRecord& record, int httpStatus)> rowReady;
    // An attempt the service answered without a row: a refusal (quota, key,
    // withdrawn API) or too many requests (HTTP 429). Told once each, with
    // the answer text as it came, so the history keeps what was paid for.
    std::function<void(qsizetype index, const QString& answerText, int httpStatus)> attemptFailed;
    std::function<void(const QString& text)> notice; // a line for standard error
    // Makes each slot's request; without it, requests in this process on
    // kept-alive connections.
    std::function<std::unique_ptr<LookupRequest>(int slot)> makeRequest;

    // Makes the slots' requests and starts. Throws Failure when nothing can be sent.
    void start();
    // Ctrl+C or SIGTERM: no new request; those under way finish.
    void interrupt();
    // A second Ctrl+C: every child ends now.
    void abort();

    bool wasInterrupted() const { return m_interrupted; }
    bool wasRefused() const { return m_refused; }
    bool lookedUnreachable() const { return m_unreachable; }
    qsizetype inFlight() const;

signals:
    void finished();

private:
    struct Slot
    {
        std::unique_ptr<LookupRequest> request;
        QTimer pause;
        qsizetype index = -1;
        bool unreadable = false; // the answer came, but its file could not be read
    };

    void addSlot(std::unique_ptr<LookupRequest> request);
    void fill();
    bool mayStartNow();
    void answered(Slot& slot, const CliAnswer& answer);
    void countUnreachable(const CliAnswer& answer);
    void tooManyRequests(Slot& slot, const CliAnswer& answer);
    void stopNew();
    void endIfIdle();
    std::chrono::milliseconds drawPause() const;

    Dialogs& m_dialogs;
    const LookupConfig& m_config;
    Settings m_settings;
    const QStringList& m_numbers;
    std::deque<qsizetype> m_pending;
    std::unique_ptr<CurlPool> m_pool; // outlives the slots' requests
    std::vector<std::unique_ptr<Slot>> m_slots;
    QTimer m_hold; // the whole queue waits after a refusal
    RatePacer m_pacer;
    QElapsedTimer m_clock;
    QTimer m_paced; // the next request waits for the rate
    int m_refusalsInRow = 0;
    int m_unreachableInRow = 0;
    bool m_unreachable = false;
    bool m_stopping = false;
    bool m_interrupted = false;
    bool m_refused = false;
    bool m_ended = false;
};

} // namespace quillmore::cli
