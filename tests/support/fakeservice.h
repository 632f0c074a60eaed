#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

class QProcess;

namespace quillmore::test {

// One request as the stand-in service saw it. apiKey and phone are taken from the raw
// query without any decoding; they are null strings when the query has no such field and
// empty (non-null) strings when it has the field without a value.
struct LoggedRequest
{
    QString method, path, query, apiKey, phone;
    double arrivalMonotonic = 0; // seconds on the service's monotonic clock
    int connection = 0;          // the connection it came on, counted from 1
};

// The local stand-in for the phone-intelligence service (tools/fake-service/server.py),
// run as a child process over HTTPS with a throw-away certificate authority.
// Everything it writes goes to <workDir>/fake-service/.
class FakeService
{
public:
    FakeService();
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    // Makes the CA in workDir unless it is already there, starts the service on a free
    // port and waits for it to listen (at most 15 s). Returns false, with a qWarning
    // giving the reason, when anything fails. A running service is stopped first.
    bool start(const QString& workDir, int slowSeconds = 2);
    void stop();

    QString baseUrl() const; // "https://127.0.0.1:<port>"
    QByteArray caPem() const;
    QString caPath() const;
    // The requests seen since start(), in arrival order.
    QList<LoggedRequest> requests() const;
    int port() const;

private:
    std::unique_ptr<QProcess> m_process;
    QString m_dir;
    int m_port = 0;
};

// "https://127.0.0.1:<port>" for a port that refuses connections for the rest of the
// test process: the port stays bound, without listening, so nothing else can take it.
QString unusedLoopbackUrl();

} // namespace quillmore::test
