#include "cli/curlpool.h"

#include "shell/errorreport.h"

#include <QSocketNotifier>

namespace quillmore::cli {

struct CurlPool::Watch
{
    std::unique_ptr<QSocketNotifier> read;
    std::unique_ptr<QSocketNotifier> write;
};

namespace {

void initialiseCurl()
{
    // Once for the program; libcurl wants it before any other call.
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK)
        throw Failure(QString::fromUtf8(curl_easy_strerror(result)));
}

// A notifier may be told to go from inside its own signal: it is switched
// off at once and deleted once the signal is over.
void retire(std::unique_ptr<QSocketNotifier>& notifier)
{
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier.release()->deleteLater();
}

} // namespace

CurlPool::CurlPool(QByteArray bundle, QObject* parent)
    : QObject(parent), m_bundle(std::move(bundle))
{
    initialiseCurl();
    m_multi = curl_multi_init();
    if (!m_multi)
        throw Failure(QStringLiteral("libcurl cannot start its transfers."));
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlPool::onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlPool::onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlPool::~CurlPool()
{
    for (auto& [easy, done] : m_transfers)
        curl_multi_remove_handle(m_multi, easy);
    m_transfers.clear();
    // The connections close now; their notifiers go with the pool, not later.
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, nullptr);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, nullptr);
    curl_multi_cleanup(m_multi);
    m_watches.clear();
}

void CurlPool::add(CURL* easy, std::function<void(CURLcode)> done)
{
    remove(easy);
    const CURLMcode result = curl_multi_add_handle(m_multi, easy);
    if (result != CURLM_OK)
        throw Failure(QString::fromUtf8(curl_multi_strerror(result)));
    m_transfers[easy] = std::move(done);
}

void CurlPool::remove(CURL* easy)
{
    if (m_transfers.erase(easy) > 0)
        curl_multi_remove_handle(m_multi, easy);
}

int CurlPool::onSocket(CURL*, curl_socket_t socket, int what, void* pool, void*)
{
    static_cast<CurlPool*>(pool)->watch(socket, what);
    return 0;
}

int CurlPool::onTimer(CURLM*, long timeoutMs, void* pool)
{
    auto* self = static_cast<CurlPool*>(pool);
    // -1: no time-out wanted. 0 is run from the event loop too, never from
    // inside curl's own call.
    if (timeoutMs < 0)
        self->m_timer.stop();
    else
        self->m_timer.start(int(std::min<long>(timeoutMs, 24L * 3600 * 1000)));
    return 0;
}

void CurlPool::watch(curl_socket_t socket, int what)
{
    auto found = m_watches.find(socket);
    if (what == CURL_POLL_REMOVE) {
        if (found != m_watches.end()) {
            retire(found->second->read);
            retire(found->second->write);
            m_watches.erase(found);
        }
        return;
    }
    if (found == m_watches.end())
        found = m_watches.emplace(socket, std::make_unique<Watch>()).first;
    Watch& w = *found->second;
    const auto need = [&](std::unique_ptr<QSocketNotifier>& notifier, QSocketNotifier::Type type,
                          bool wanted, int event) {
        if (!wanted) {
            retire(notifier);
            return;
        }
        if (notifier)
            return;
        notifier = std::make_unique<QSocketNotifier>(qintptr(socket), type);
        connect(notifier.get(), &QSocketNotifier::activated, this,
                [this, socket, event] { act(socket, event); });
    };
    need(w.read, QSocketNotifier::Read, what == CURL_POLL_IN || what == CURL_POLL_INOUT,
         CURL_CSELECT_IN);
    need(w.write, QSocketNotifier::Write, what == CURL_POLL_OUT || what == CURL_POLL_INOUT,
         CURL_CSELECT_OUT);
}

void CurlPool::act(curl_socket_t socket, int events)
{
    int running = 0;
    curl_multi_socket_action(m_multi, socket, events, &running);
    tellFinished();
}

void CurlPool::tellFinished()
{
    // One message at a time: a transfer told of its end may start or stop
    // others, and stopping one takes its pending message with it.
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL* easy = message->easy_handle;
        const CURLcode result = message->data.result;
        const auto found = m_transfers.find(easy);
        if (found == m_transfers.end())
            continue;
        std::function<void(CURLcode)> done = std::move(found->second);
        m_transfers.erase(found);
        curl_multi_remove_handle(m_multi, easy);
        done(result);
    }
}

} // namespace quillmore::cli
