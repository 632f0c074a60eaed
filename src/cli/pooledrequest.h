#pragma once

#include "lookup/lookupconfig.h"
#include "lookup/lookuprequest.h"

#include <QByteArray>
#include <QTimer>

#include <curl/curl.h>

namespace quillmore::cli {

class CurlPool;

// How a failed try stands: whether the request can have reached the service.
enum class TryFailure {
    NeverReached, // could not resolve, connect or shake hands: up to six tries
    MaybeAnswered // cut off, timed out or closed after the request went out: one more try
};

// `requestSent`: curl counted bytes of the request as sent.
TryFailure tryFailure(CURLcode code, bool requestSent);

inline constexpr int kNeverReachedTries = 6;

// One lookup in this process, on the pool's kept-alive connections: the same
// request as the desktop's child process (POST to requestAddress(), no body,
// the certificate bundle of the program, the proxy variables curl reads), its
// body and status kept in memory. Tries again one second after a failure:
// up to six tries while none reached the service, one more after a try that
// may have been answered (a paid-for answer must not be paid for six times).
// An answer counts only with a complete transfer and an HTTP status.
class PooledRequest : public LookupRequest
{
    Q_OBJECT
public:
    PooledRequest(CurlPool& pool, const LookupConfig& config, QObject* parent = nullptr);
    ~PooledRequest() override;

    void start(const QString& number, const QString& apiKey) override;
    void end() override;
    bool isBusy() const override { return m_busy; }
    QByteArray headers() const override { return m_headers; }

    // Tries sent for the request under way or last told.
    int tries() const { return m_tries; }

private:
    static size_t onBody(char* data, size_t size, size_t count, void* request);
    static size_t onHeader(char* data, size_t size, size_t count, void* request);
    void sendTry();
    void tryEnded(CURLcode result);

    CurlPool& m_pool;
    const LookupConfig& m_config;
    CURL* m_easy = nullptr;
    QTimer m_retry;
    QByteArray m_address;
    QByteArray m_body;
    QByteArray m_headers;
    quint64 m_job = 0; // changes whenever a request starts or ends
    int m_tries = 0;
    bool m_finalTry = false; // a try may have been answered: the next is the last
    bool m_busy = false;
};

} // namespace quillmore::cli
