#include "cli/pooledrequest.h"

#include "cli/curlpool.h"
#include "lookup/answer.h"
#include "lookup/request.h"
#include "shell/fileutil.h"

namespace quillmore::cli {

TryFailure tryFailure(CURLcode code, bool requestSent)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
        return TryFailure::NeverReached;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
        return TryFailure::MaybeAnswered;
    default:
        // A time-out, say: the service can only have answered a request
        // that went out.
        return requestSent ? TryFailure::MaybeAnswered : TryFailure::NeverReached;
    }
}

PooledRequest::PooledRequest(CurlPool& pool, const LookupConfig& config, QObject* parent)
    : LookupRequest(parent), m_pool(pool), m_config(config), m_easy(curl_easy_init())
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &PooledRequest::sendTry);
}

PooledRequest::~PooledRequest()
{
    end();
    if (m_easy)
        curl_easy_cleanup(m_easy);
}

size_t PooledRequest::onBody(char* data, size_t size, size_t count, void* request)
{
    static_cast<PooledRequest*>(request)->m_body.append(data, qsizetype(size * count));
    return size * count;
}

size_t PooledRequest::onHeader(char* data, size_t size, size_t count, void* request)
{
    static_cast<PooledRequest*>(request)->m_headers.append(data, qsizetype(size * count));
    return size * count;
}

void PooledRequest::start(const QString& number, const QString& apiKey)
{
    end();
    m_busy = true;
    m_tries = 0;
    m_finalTry = false;
    m_headers.clear();
    m_address = requestAddress(m_config.serviceUrl, apiKey, phoneQueryValue(number)).toUtf8();
    sendTry();
}

void PooledRequest::sendTry()
{
    const quint64 job = m_job;
    ++m_tries;
    m_body.clear();
    m_headers.clear();
    try {
        if (!m_easy)
            throw Failure(QStringLiteral("libcurl cannot make a transfer."));
        curl_easy_reset(m_easy);
        static const QByteArray agent =
            QByteArray("curl/") + curl_version_info(CURLVERSION_NOW)->version;
        curl_blob bundle{const_cast<char*>(m_pool.bundle().constData()),
                         size_t(m_pool.bundle().size()), CURL_BLOB_NOCOPY};
        curl_easy_setopt(m_easy, CURLOPT_URL, m_address.constData());
        curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST, "POST");
        curl_easy_setopt(m_easy, CURLOPT_USERAGENT, agent.constData());
        curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "https,http");
        // The program's bundle and nothing else, as the child process has it.
        curl_easy_setopt(m_easy, CURLOPT_CAINFO_BLOB, &bundle);
        curl_easy_setopt(m_easy, CURLOPT_CAPATH, nullptr);
        curl_easy_setopt(m_easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
        // A slot does not wait for a connection under way to turn out able
        // to multiplex: against an HTTP/1.1 service that wait cost a quarter
        // of the run's time at --parallel 8. Later transfers still share an
        // HTTP/2 connection once there is one.
        curl_easy_setopt(m_easy, CURLOPT_PIPEWAIT, 0L);
        curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_easy, CURLOPT_TIMEOUT_MS, long(m_config.childTimeout.count()));
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &PooledRequest::onBody);
        curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &PooledRequest::onHeader);
        curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
        m_pool.add(m_easy, [this](CURLcode result) { tryEnded(result); });
    } catch (...) {
        emit failed(Failure(describe(std::current_exception())), Step::RequestStart);
        if (m_job == job)
            tryEnded(CURLE_FAILED_INIT);
    }
}

void PooledRequest::tryEnded(CURLcode result)
{
    long status = 0;
    long sent = 0;
    if (m_easy) {
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(m_easy, CURLINFO_REQUEST_SIZE, &sent);
    }
    if (result == CURLE_OK && status >= 100 && status <= 599) {
        m_busy = false;
        const QString answer = answerFromBody(m_body);
        m_body.clear();
        emit answered(answer, int(status));
        return;
    }
    // Half an answer is no answer, and neither are its headers.
    m_body.clear();
    m_headers.clear();
    if (m_finalTry || m_tries >= kNeverReachedTries) {
        m_busy = false;
        emit answered(kCouldNotConnect, 0);
        return;
    }
    m_finalTry = tryFailure(result, sent > 0) == TryFailure::MaybeAnswered;
    m_retry.start(m_config.pause(std::chrono::seconds(1)));
}

void PooledRequest::end()
{
    ++m_job;
    m_retry.stop();
    if (m_easy)
        m_pool.remove(m_easy);
    m_busy = false;
}

} // namespace quillmore::cli
