#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <curl/curl.h>

#include <functional>
#include <memory>
#include <unordered_map>

class QSocketNotifier;

namespace quillmore::cli {

// libcurl's multi interface on Qt's event loop: one notifier per socket that
// curl watches and one single-shot timer for its time-outs, so every transfer
// of the run shares the cache of kept-alive connections (and HTTP/2 streams)
// without a thread of ours. The transfers belong to their owners; the pool
// only drives them and tells each one's end once, after curl is done with it.
class CurlPool : public QObject
{
    Q_OBJECT
public:
    // `bundle`: the PEM certificate bundle every transfer verifies against.
    // Throws Failure when libcurl cannot be set up.
    explicit CurlPool(QByteArray bundle, QObject* parent = nullptr);
    ~CurlPool() override;

    const QByteArray& bundle() const { return m_bundle; }

    // Starts the transfer; `done` gets its result unless it is removed first.
    // Throws Failure when curl refuses it.
    void add(CURL* easy, std::function<void(CURLcode)> done);
    // Stops the transfer at once; nothing of it is told. Harmless when it
    // is not under way.
    void remove(CURL* easy);

private:
    struct Watch;
    static int onSocket(CURL* easy, curl_socket_t socket, int what, void* pool, void* watch);
    static int onTimer(CURLM* multi, long timeoutMs, void* pool);
    void watch(curl_socket_t socket, int what);
    void act(curl_socket_t socket, int events);
    void tellFinished();

    QByteArray m_bundle;
    CURLM* m_multi = nullptr;
    QTimer m_timer;
    std::unordered_map<curl_socket_t, std::unique_ptr<Watch>> m_watches;
    std::unordered_map<CURL*, std::function<void(CURLcode)>> m_transfers;
};

} // namespace quillmore::cli
