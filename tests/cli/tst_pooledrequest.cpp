// The command-line program's request in process, against the local stand-in
// service: kept-alive connections, what counts as an answer, the tries after
// each kind of failure, and a proxy named by the environment.

#include "cli/curlpool.h"
#include "cli/pooledrequest.h"
#include "cli/ratelimit.h"
#include "lookup/answer.h"
#include "support/fakeservice.h"

#include <QSet>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillmore;
using namespace quillmore::cli;
using namespace quillmore::test;
using namespace std::chrono_literals;

namespace {

struct Told
{
    QString answer;
    int status = -1;
};

// Waits for the one answer of a request it starts.
Told ask(PooledRequest& request, const QString& number, const QString& key = "test-key")
{
    QSignalSpy spy(&request, &LookupRequest::answered);
    request.start(number, key);
    if (!spy.wait(30000) || spy.size() != 1)
        return {};
    return {spy.at(0).at(0).toString(), spy.at(0).at(1).toInt()};
}

// A forward proxy that only tunnels (CONNECT), as an office's proxy for
// HTTPS does; notes every target it was asked for.
class ConnectProxy : public QObject
{
public:
    QStringList targets;

    bool listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = m_server.nextPendingConnection())
                tunnel(client);
        });
        return m_server.listen(QHostAddress::LocalHost);
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    void tunnel(QTcpSocket* client)
    {
        auto* upstream = new QTcpSocket(client);
        auto head = std::make_shared<QByteArray>();
        connect(client, &QTcpSocket::readyRead, client, [=, this] {
            if (upstream->state() == QAbstractSocket::ConnectedState && head->isEmpty()) {
                upstream->write(client->readAll());
                return;
            }
            *head += client->readAll();
            const qsizetype end = head->indexOf("\r\n\r\n");
            if (end < 0 || upstream->state() != QAbstractSocket::UnconnectedState)
                return;
            const QList<QByteArray> words = head->left(head->indexOf("\r\n")).split(' ');
            if (words.size() < 2 || words.at(0) != "CONNECT") {
                client->write("HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n");
                client->disconnectFromHost();
                return;
            }
            const QString target = QString::fromLatin1(words.at(1));
            targets << target;
            head->remove(0, end + 4);
            const qsizetype colon = target.lastIndexOf(u':');
            upstream->connectToHost(target.left(colon), target.mid(colon + 1).toUShort());
        });
        connect(upstream, &QTcpSocket::connected, client, [=] {
            client->write("HTTP/1.1 200 Connection established\r\n\r\n");
            if (!head->isEmpty())
                upstream->write(*head);
            head->clear();
        });
        connect(upstream, &QTcpSocket::readyRead, client,
                [=] { client->write(upstream->readAll()); });
        connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        connect(client, &QTcpSocket::disconnected, client, [=] {
            upstream->disconnectFromHost();
            client->deleteLater();
        });
    }

    QTcpServer m_server;
};

// Sets an environment variable for one scope, and puts back what was there.
class ScopedVariable
{
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

class TestPooledRequest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        QVERIFY(m_service.start(m_work.path(), 1));
        // The proxy test sets its own; one from the machine must not interfere.
        for (const char* name : {"https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
            qunsetenv(name);
        m_config.serviceUrl = m_service.baseUrl();
        m_config.childTimeout = 1500ms;
        m_config.pauseLength = [this](std::chrono::milliseconds asked) {
            m_pauses << asked;
            return 0ms;
        };
        m_pool = std::make_unique<CurlPool>(m_service.caPem());
    }

    void init() { m_pauses.clear(); }

    void keptAliveConnectionCarriesTheRequests()
    {
        PooledRequest request(*m_pool, m_config);
        const qsizetype before = m_service.requests().size();
        const QStringList numbers = {"(413) 592-3823", "2000000001", "2000000002", "5030000001",
                                     "2000000003"};
        for (const QString& number : numbers) {
            const Told told = ask(request, number, QStringLiteral("key with space"));
            QVERIFY2(told.status == 200 || told.status == 503, qPrintable(number));
            QCOMPARE(request.tries(), 1);
        }
        const QList<LoggedRequest> seen = m_service.requests().mid(before);
        QCOMPARE(seen.size(), numbers.size());
        QSet<int> connections;
        for (const LoggedRequest& r : seen) {
            QCOMPARE(r.method, QStringLiteral("POST"));
            // The key as the child process sends it: what cannot stand in a query is encoded.
            QCOMPARE(r.apiKey, QStringLiteral("key%20with%20space"));
            connections << r.connection;
        }
        QCOMPARE(seen.at(0).phone, QStringLiteral("4135923823"));
        // An error page does not cost the connection either.
        QCOMPARE(connections.size(), 1);
        QVERIFY(m_pauses.isEmpty());
    }

    void answersAndFailures_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("says"); // the answer contains it
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("tries");
        QTest::addColumn<int>("seen"); // requests the service saw
        const QString none = kCouldNotConnect;
        QTest::newRow("answer") << "4135923823" << true << "\"line_type\":\"Landline\"" << 200 << 1
                                << 1;
        QTest::newRow("error page")
            << "5020000001" << true << "<html> <head><title>502 Bad Gateway</title></head> <body>"
            << 502 << 1 << 1;
        QTest::newRow("empty body") << "2040000001" << true << kEmptyFile << 200 << 1 << 1;
        QTest::newRow("UTF-16 body")
            << "5550000005" << true << "\"phone_number\":\"5550000005\"" << 200 << 1 << 1;
        // May have been answered, and paid for: one more try, not six.
        QTest::newRow("cut-off body") << "5550000007" << true << none << 0 << 2 << 2;
        QTest::newRow("dropped") << "5550000003" << true << none << 0 << 2 << 2;
        QTest::newRow("hang past the time limit") << "5550000002" << true << none << 0 << 2 << 2;
        // Never reached the service: six tries.
        QTest::newRow("refused connection") << "4135923823" << false << none << 0 << 6 << 0;
    }

    void answersAndFailures()
    {
        QFETCH(QString, number);
        QFETCH(bool, reachable);
        QFETCH(QString, says);
        QFETCH(int, status);
        QFETCH(int, tries);
        QFETCH(int, seen);
        LookupConfig config = m_config;
        if (!reachable)
            config.serviceUrl = unusedLoopbackUrl();
        PooledRequest request(*m_pool, config);
        const qsizetype before = m_service.requests().size();
        const Told told = ask(request, number);
        QVERIFY2(told.answer.contains(says), qPrintable(told.answer.left(300)));
        QVERIFY(!told.answer.contains(u'\n') && !told.answer.contains(u'\r'));
        if (says == kCouldNotConnect || says == kEmptyFile)
            QCOMPARE(told.answer, says);
        QCOMPARE(told.status, status);
        QCOMPARE(request.tries(), tries);
        QCOMPARE(m_service.requests().size() - before, qsizetype(seen));
        // A second between tries, and none after the last.
        QCOMPARE(m_pauses, QList<std::chrono::milliseconds>(tries - 1, 1000ms));
        QVERIFY(!request.isBusy());
        if (told.status == 0)
            QVERIFY(request.headers().isEmpty());
    }

    void tooManyRequestsComesWithItsRetryAfter()
    {
        PooledRequest request(*m_pool, m_config);
        const Told told = ask(request, QStringLiteral("4290000001"));
        QCOMPARE(told.status, 429);
        QCOMPARE(request.tries(), 1);
        QCOMPARE(parseHeaders(request.headers()).retryAfter, QStringLiteral("1"));
        // The next answer's headers replace it.
        QCOMPARE(ask(request, QStringLiteral("2000000010")).status, 200);
        QCOMPARE(parseHeaders(request.headers()).retryAfter, QString());
    }

    void endedRequestTellsNothing()
    {
        PooledRequest request(*m_pool, m_config);
        QSignalSpy spy(&request, &LookupRequest::answered);
        const qsizetype before = m_service.requests().size();
        request.start(QStringLiteral("5550000002"), QStringLiteral("test-key"));
        QTRY_VERIFY_WITH_TIMEOUT(m_service.requests().size() > before, 10000);
        request.end();
        QVERIFY(!request.isBusy());
        // The same request starts again at once; only the new number's answer comes.
        const Told told = ask(request, QStringLiteral("4135923823"));
        QCOMPARE(told.status, 200);
        QVERIFY(told.answer.contains(QStringLiteral("\"phone_number\":\"4135923823\"")));
        QCOMPARE(spy.size(), 1);
        QVERIFY(m_pauses.isEmpty());
    }

    void proxyFromTheEnvironment()
    {
        ConnectProxy proxy;
        QVERIFY(proxy.listen());
        const ScopedVariable noProxy("no_proxy", QByteArray());
        const ScopedVariable noProxyUpper("NO_PROXY", QByteArray());
        const ScopedVariable httpsProxy("https_proxy",
                                        "http://127.0.0.1:" + QByteArray::number(proxy.port()));
        // A pool of its own: connections made before the variable are direct.
        CurlPool pool(m_service.caPem());
        PooledRequest request(pool, m_config);
        const Told told = ask(request, QStringLiteral("4135923823"));
        QCOMPARE(told.status, 200);
        QVERIFY(told.answer.contains(QStringLiteral("\"carrier\":\"Verizon New England\"")));
        QCOMPARE(proxy.targets, QStringList{QStringLiteral("127.0.0.1:%1").arg(m_service.port())});
    }

private:
    QTemporaryDir m_work;
    FakeService m_service;
    LookupConfig m_config;
    QList<std::chrono::milliseconds> m_pauses;
    std::unique_ptr<CurlPool> m_pool;
};

QTEST_GUILESS_MAIN(TestPooledRequest)
#include "tst_pooledrequest.moc"
