#include "support/fakeservice.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using quillmore::test::FakeService;
using quillmore::test::LoggedRequest;

namespace {

const QString kCurl = QStringLiteral("/usr/bin/curl");
constexpr int kCurlCouldNotConnect = 7;
constexpr int kCurlPartialFile = 18;
constexpr int kCurlTimedOut = 28;
constexpr int kCurlPeerCertificate = 60;

struct Reply
{
    int exitCode = -1;
    int status = 0; // 0 when no HTTP answer came
    bool saved = false;
    QByteArray body;
};

// Runs curl the way the program does ("-X POST <address> --output <file>"), plus the
// status code on standard output. Without a CA path curl falls back to the system store.
Reply fetch(const QString& url, const QString& caPath, const QString& outputPath,
            const QStringList& extra = {}, const QString& method = QStringLiteral("POST"))
{
    QFile::remove(outputPath);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE", "SSL_CERT_DIR"})
        env.remove(QString::fromLatin1(name));
    if (!caPath.isEmpty())
        env.insert(QStringLiteral("CURL_CA_BUNDLE"), caPath);
    QProcess curl;
    curl.setProcessEnvironment(env);
    curl.start(kCurl, QStringList{QStringLiteral("-q"), QStringLiteral("-sS"), QStringLiteral("-X"),
                                  method, url, QStringLiteral("--output"), outputPath,
                                  QStringLiteral("--write-out"), QStringLiteral("%{http_code}")} +
                          extra);
    Reply reply;
    if (!curl.waitForFinished(30000)) {
        curl.kill();
        curl.waitForFinished();
        return reply;
    }
    reply.exitCode = curl.exitCode();
    reply.status = curl.readAllStandardOutput().toInt();
    QFile file(outputPath);
    reply.saved = file.exists();
    if (file.open(QIODevice::ReadOnly))
        reply.body = file.readAll();
    return reply;
}

QJsonObject parseObject(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "not JSON:" << error.errorString() << body.left(200);
    return doc.object();
}

// The value as it stands in the compact answer text.
QByteArray compactText(const QJsonValue& value)
{
    if (value.isNull())
        return "null";
    if (value.isBool())
        return value.toBool() ? "true" : "false";
    return '"' + value.toString().toUtf8() + '"';
}

} // namespace

class TestFakeService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sampleAnswers_data();
    void sampleAnswers();
    void sampleSetCoversTheCases();
    void certificateIsVerified();
    void errorAnswers_data();
    void errorAnswers();
    void emptyAndDroppedAnswers();
    void encodingsAndSize();
    void slowAndHangingAnswers();
    void otherPathsAndMethods();
    void requestLog();
    void restartAndIsolation();

private:
    Reply post(const QString& query, const QStringList& extra = {})
    {
        return fetch(m_service.baseUrl() + QStringLiteral("/3.1/phone?") + query,
                     m_service.caPath(), m_answerPath, extra);
    }

    QTemporaryDir m_dir;
    FakeService m_service;
    QString m_answerPath;
};

void TestFakeService::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QFile::exists(kCurl));
    m_answerPath = m_dir.filePath(QStringLiteral("message.txt"));
    QVERIFY(m_service.start(m_dir.path()));
    QVERIFY(m_service.port() > 0);
    QCOMPARE(m_service.baseUrl(), QStringLiteral("https://127.0.0.1:%1").arg(m_service.port()));
    QVERIFY(m_service.caPem().startsWith("-----BEGIN CERTIFICATE-----"));
}

void TestFakeService::sampleAnswers_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("phone");
    for (const char* number :
         {"4135923823", "3342228605", "5032353968", "6033802932", "7605467993", "2125229333"})
        QTest::newRow(number) << QStringLiteral("api_key=K&phone=") + QLatin1String(number)
                              << QString::fromLatin1(number);
    QTest::newRow("other number") << QStringLiteral("api_key=K&phone=9785550123")
                                  << QStringLiteral("9785550123");
    QTest::newRow("utf8 key") << QStringLiteral("api_key=utf8&phone=9785550123")
                              << QStringLiteral("9785550123");
    QTest::newRow("utf8 number") << QStringLiteral("api_key=K&phone=5550000006")
                                 << QStringLiteral("5550000006");
}

// Readers of the answer take the first occurrence of a key's name anywhere in the text,
// case-insensitively; each name the program reads must first occur as that very key, in
// the object it belongs to, with its value right after the colon.
void TestFakeService::sampleAnswers()
{
    QFETCH(QString, query);
    QFETCH(QString, phone);
    const Reply reply = post(query);
    QCOMPARE(reply.exitCode, 0);
    QCOMPARE(reply.status, 200);
    const QJsonObject answer = parseObject(reply.body);
    QCOMPARE(answer.value(QLatin1String("phone_number")).toString(), phone);

    for (const char* key :
         {"id", "phone_number", "is_valid", "country_calling_code", "line_type", "carrier",
          "is_prepaid", "is_commercial", "belongs_to", "current_addresses", "historical_addresses",
          "associated_people", "alternate_phones", "error", "warnings"})
        QVERIFY2(answer.contains(QLatin1String(key)), key);
    const QJsonObject owner = answer.value(QLatin1String("belongs_to")).toObject();
    for (const char* key : {"id", "name", "firstname", "middlename", "lastname", "age_range",
                            "gender", "type", "link_to_phone_start_date"})
        QVERIFY2(owner.contains(QLatin1String(key)), key);
    const QJsonArray addresses = answer.value(QLatin1String("current_addresses")).toArray();
    QVERIFY(!addresses.isEmpty());
    const QJsonObject address = addresses.first().toObject();
    for (const char* key : {"id", "location_type", "street_line_1", "street_line_2", "city",
                            "postal_code", "zip4", "state_code", "country_code", "lat_long",
                            "is_active", "delivery_point", "link_to_person_start_date"})
        QVERIFY2(address.contains(QLatin1String(key)), key);
    QVERIFY(answer.value(QLatin1String("error")).isNull());

    const QList<std::pair<const char*, QJsonValue>> read = {
        {"phone_number", answer.value(QLatin1String("phone_number"))},
        {"line_type", answer.value(QLatin1String("line_type"))},
        {"carrier", answer.value(QLatin1String("carrier"))},
        {"name", owner.value(QLatin1String("name"))},
        {"street_line_1", address.value(QLatin1String("street_line_1"))},
        {"street_line_2", address.value(QLatin1String("street_line_2"))},
        {"city", address.value(QLatin1String("city"))},
        {"zip4", address.value(QLatin1String("zip4"))},
        {"state_code", address.value(QLatin1String("state_code"))},
        {"country_code", address.value(QLatin1String("country_code"))},
        {"is_active", address.value(QLatin1String("is_active"))},
    };
    const QByteArray lower = reply.body.toLower();
    for (const auto& [key, value] : read) {
        const QByteArray name(key);
        const qsizetype at = lower.indexOf(name);
        QVERIFY2(at > 0, key);
        const QByteArray expected = '"' + name + "\":" + compactText(value) + ',';
        QCOMPARE(reply.body.mid(at - 1, expected.size()), expected);
    }
}

void TestFakeService::sampleSetCoversTheCases()
{
    QSet<QString> names, lineTypes, carriers, cities;
    QSet<bool> activity;
    int secondLineNull = 0, countryNull = 0;
    for (const char* number :
         {"4135923823", "3342228605", "5032353968", "6033802932", "7605467993", "2125229333"}) {
        const Reply reply = post(QStringLiteral("api_key=K&phone=") + QLatin1String(number));
        QCOMPARE(reply.status, 200);
        const QJsonObject answer = parseObject(reply.body);
        const QJsonObject address =
            answer.value(QLatin1String("current_addresses")).toArray().first().toObject();
        names << answer.value(QLatin1String("belongs_to"))
                     .toObject()
                     .value(QLatin1String("name"))
                     .toString();
        lineTypes << answer.value(QLatin1String("line_type")).toString();
        carriers << answer.value(QLatin1String("carrier")).toString();
        cities << address.value(QLatin1String("city")).toString();
        activity << address.value(QLatin1String("is_active")).toBool();
        secondLineNull += address.value(QLatin1String("street_line_2")).isNull();
        countryNull += address.value(QLatin1String("country_code")).isNull();
    }
    QCOMPARE(names.size(), 6);
    QCOMPARE(lineTypes, (QSet<QString>{"Landline", "Mobile", "NonFixedVOIP"}));
    QVERIFY(carriers.size() >= 5);
    QCOMPARE(cities.size(), 6);
    QCOMPARE(activity.size(), 2);
    QVERIFY(secondLineNull >= 1);
    QVERIFY(countryNull >= 1);

    // Other numbers get an answer of their own that does not change between requests.
    const Reply first = post(QStringLiteral("api_key=K&phone=9785550123"));
    const Reply again = post(QStringLiteral("api_key=other&phone=9785550123"));
    const Reply other = post(QStringLiteral("api_key=K&phone=9785550124"));
    QCOMPARE(first.body, again.body);
    QVERIFY(first.body != other.body);

    const QJsonObject utf8 = parseObject(post(QStringLiteral("api_key=utf8&phone=1")).body);
    QCOMPARE(
        utf8.value(QLatin1String("belongs_to")).toObject().value(QLatin1String("name")).toString(),
        QString::fromUtf8("J\xc3\xbcrgen M\xc3\xbcller"));
    QCOMPARE(utf8.value(QLatin1String("current_addresses"))
                 .toArray()
                 .first()
                 .toObject()
                 .value(QLatin1String("city"))
                 .toString(),
             QString::fromUtf8("Malm\xc3\xb6"));

    // A phone value without digits is no number: the answer says so instead of inventing one.
    const QJsonObject invalid = parseObject(post(QStringLiteral("api_key=K&phone=")).body);
    QCOMPARE(invalid.value(QLatin1String("is_valid")).toBool(true), false);
}

void TestFakeService::certificateIsVerified()
{
    const QString url =
        m_service.baseUrl() + QStringLiteral("/3.1/phone?api_key=K&phone=4135923823");
    const Reply without = fetch(url, QString(), m_answerPath);
    QCOMPARE(without.exitCode, kCurlPeerCertificate);
    QVERIFY(!without.saved);

    const Reply byName = fetch(
        QStringLiteral("https://localhost:%1/3.1/phone?api_key=K&phone=1").arg(m_service.port()),
        m_service.caPath(), m_answerPath);
    QCOMPARE(byName.exitCode, 0);
    QCOMPARE(byName.status, 200);
}

void TestFakeService::errorAnswers_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("text");
    const struct
    {
        const char* key;
        const char* phone;
        int status;
        const char* text;
    } cases[] = {
        {"quota-html", "4030000001", 403, "<h1>403 Developer Over Rate</h1>"},
        {"quota-text", "4030000002", 403, "You have exceeded your quota limit"},
        {"gone", "4100000001", 410, "410 Gone"},
        {"invalid", "4010000001", 403, "API key is invalid"},
        {"norecord", "4010000002", 403, "Authorization record not found"},
        {"unavailable", "5030000001", 503, "The service is temporarily unavailable."},
        {"badgateway", "5020000001", 502, "<h1>502 Bad Gateway</h1>"},
        {"notfound", "4040000001", 404, "<title>404 Not Found</title>"},
    };
    for (const auto& c : cases) {
        QTest::addRow("key %s", c.key) << QStringLiteral("api_key=%1&phone=4135923823").arg(c.key)
                                       << c.status << QByteArray(c.text);
        QTest::addRow("number %s", c.phone)
            << QStringLiteral("api_key=K&phone=%1").arg(c.phone) << c.status << QByteArray(c.text);
    }
    QTest::newRow("key before number")
        << QStringLiteral("api_key=gone&phone=4030000001") << 410 << QByteArray("410 Gone");
}

void TestFakeService::errorAnswers()
{
    QFETCH(QString, query);
    QFETCH(int, status);
    QFETCH(QByteArray, text);
    const Reply reply = post(query);
    QCOMPARE(reply.exitCode, 0); // curl writes error pages like any other answer
    QCOMPARE(reply.status, status);
    QVERIFY2(reply.body.contains(text), reply.body.constData());
    QVERIFY(!reply.body.contains("phone_number"));
}

void TestFakeService::emptyAndDroppedAnswers()
{
    for (const QString& query : {QStringLiteral("api_key=empty&phone=4135923823"),
                                 QStringLiteral("api_key=K&phone=2040000001")}) {
        const Reply empty = post(query);
        QCOMPARE(empty.exitCode, 0);
        QCOMPARE(empty.status, 200);
        QVERIFY(empty.saved);
        QCOMPARE(QFileInfo(m_answerPath).size(), 0);
    }
    for (const QString& query : {QStringLiteral("api_key=drop&phone=4135923823"),
                                 QStringLiteral("api_key=K&phone=5550000003")}) {
        const Reply dropped = post(query);
        QVERIFY(dropped.exitCode != 0);
        QCOMPARE(dropped.status, 0);
        QVERIFY(dropped.body.isEmpty());
    }
    // A body cut off mid-way: curl keeps what came and says so in its exit status.
    for (const QString& query : {QStringLiteral("api_key=cutoff&phone=4135923823"),
                                 QStringLiteral("api_key=K&phone=5550000007")}) {
        const Reply cut = post(query);
        QCOMPARE(cut.exitCode, kCurlPartialFile);
        QCOMPARE(cut.status, 200);
        QCOMPARE(cut.body.size(), 125);
        QVERIFY(cut.body.startsWith("{\"id\":\"Phone."));
    }
}

void TestFakeService::encodingsAndSize()
{
    const Reply utf16 = post(QStringLiteral("api_key=utf16&phone=4135923823"));
    QCOMPARE(utf16.status, 200);
    QVERIFY(utf16.body.startsWith(QByteArrayView("\xff\xfe{\0", 4)));
    QCOMPARE(utf16.body.size() % 2, 0);
    const QString decoded = QString::fromUtf16(
        reinterpret_cast<const char16_t*>(utf16.body.constData() + 2), (utf16.body.size() - 2) / 2);
    QCOMPARE(parseObject(decoded.toUtf8()).value(QLatin1String("phone_number")).toString(),
             QStringLiteral("4135923823"));
    QVERIFY(post(QStringLiteral("api_key=K&phone=5550000005")).body.startsWith("\xff\xfe"));

    for (const QString& query : {QStringLiteral("api_key=big&phone=4135923823"),
                                 QStringLiteral("api_key=K&phone=5550000004")}) {
        const Reply big = post(query);
        QCOMPARE(big.exitCode, 0);
        QCOMPARE(big.body.size(), 10 * 1024 * 1024);
        QVERIFY(big.body.startsWith("{\"id\":\"Phone."));
        const QJsonObject answer = parseObject(big.body);
        QVERIFY(answer.contains(QLatin1String("line_type")));
        QVERIFY(answer.value(QLatin1String("padding")).toArray().size() > 1000);
    }
}

// Only the order of events is relied on, never a duration: the slow answer cannot come
// before its delay, and the hanging one never comes.
void TestFakeService::slowAndHangingAnswers()
{
    const QStringList briefly = {QStringLiteral("--max-time"), QStringLiteral("1")};
    QCOMPARE(post(QStringLiteral("api_key=slow&phone=4135923823"), briefly).exitCode,
             kCurlTimedOut);
    QCOMPARE(post(QStringLiteral("api_key=K&phone=5550000002"), briefly).exitCode, kCurlTimedOut);
    QCOMPARE(post(QStringLiteral("api_key=hang&phone=4135923823"), briefly).exitCode,
             kCurlTimedOut);

    const Reply slow = post(QStringLiteral("api_key=K&phone=5550000001"));
    QCOMPARE(slow.exitCode, 0);
    QCOMPARE(slow.status, 200);
    QCOMPARE(parseObject(slow.body).value(QLatin1String("phone_number")).toString(),
             QStringLiteral("5550000001"));
}

void TestFakeService::otherPathsAndMethods()
{
    const QString base = m_service.baseUrl();
    const QString phone = base + QStringLiteral("/3.1/phone?api_key=K&phone=4135923823");
    QCOMPARE(fetch(phone, m_service.caPath(), m_answerPath, {}, QStringLiteral("GET")).status, 404);
    QCOMPARE(fetch(phone, m_service.caPath(), m_answerPath, {}, QStringLiteral("PUT")).status, 404);
    QCOMPARE(fetch(base + QStringLiteral("/3.0/phone?api_key=K&phone=4135923823"),
                   m_service.caPath(), m_answerPath)
                 .status,
             404);
    QCOMPARE(fetch(base + QStringLiteral("/"), m_service.caPath(), m_answerPath).status, 404);
}

void TestFakeService::requestLog()
{
    const qsizetype before = m_service.requests().size();
    QCOMPARE(post(QStringLiteral("api_key=a%20b+c&phone=4135923823")).status, 200);
    QCOMPARE(post(QStringLiteral("phone=")).status, 200);
    QCOMPARE(fetch(m_service.baseUrl() + QStringLiteral("/elsewhere"), m_service.caPath(),
                   m_answerPath, {}, QStringLiteral("GET"))
                 .status,
             404);

    const QList<LoggedRequest> all = m_service.requests();
    QCOMPARE(all.size(), before + 3);
    const LoggedRequest& keyed = all.at(before);
    QCOMPARE(keyed.method, QStringLiteral("POST"));
    QCOMPARE(keyed.path, QStringLiteral("/3.1/phone"));
    QCOMPARE(keyed.query, QStringLiteral("api_key=a%20b+c&phone=4135923823"));
    QCOMPARE(keyed.apiKey, QStringLiteral("a%20b+c")); // as sent, not decoded
    QCOMPARE(keyed.phone, QStringLiteral("4135923823"));

    const LoggedRequest& keyless = all.at(before + 1);
    QVERIFY(keyless.apiKey.isNull());
    QVERIFY(!keyless.phone.isNull());
    QVERIFY(keyless.phone.isEmpty());

    QCOMPARE(all.at(before + 2).method, QStringLiteral("GET"));
    QCOMPARE(all.at(before + 2).path, QStringLiteral("/elsewhere"));

    for (qsizetype i = 0; i < all.size(); ++i) {
        QVERIFY(all.at(i).arrivalMonotonic > 0);
        if (i > 0)
            QVERIFY(all.at(i).arrivalMonotonic >= all.at(i - 1).arrivalMonotonic);
    }
}

void TestFakeService::restartAndIsolation()
{
    const QString oldUrl = m_service.baseUrl();
    const QByteArray oldCa = m_service.caPem();
    m_service.stop();
    QCOMPARE(fetch(oldUrl + QStringLiteral("/3.1/phone?api_key=K&phone=1"), m_service.caPath(),
                   m_answerPath)
                 .exitCode,
             kCurlCouldNotConnect);

    // A second start in the same folder keeps the CA and begins a fresh log.
    QVERIFY(m_service.start(m_dir.path()));
    QCOMPARE(m_service.caPem(), oldCa);
    QVERIFY(m_service.requests().isEmpty());
    QCOMPARE(post(QStringLiteral("api_key=K&phone=4135923823")).status, 200);
    QCOMPARE(m_service.requests().size(), 1);

    // Another folder gets a CA of its own, which the first one's certificate does not satisfy.
    QTemporaryDir otherDir;
    FakeService other;
    QVERIFY(other.start(otherDir.path(), 0));
    QVERIFY(other.caPem() != oldCa);
    QCOMPARE(fetch(other.baseUrl() + QStringLiteral("/3.1/phone?api_key=slow&phone=1"),
                   m_service.caPath(), m_answerPath)
                 .exitCode,
             kCurlPeerCertificate);
    QCOMPARE(fetch(other.baseUrl() + QStringLiteral("/3.1/phone?api_key=slow&phone=1"),
                   other.caPath(), m_answerPath)
                 .status,
             200);

    const QString nowhere = quillmore::test::unusedLoopbackUrl();
    QVERIFY(nowhere.startsWith(QStringLiteral("https://127.0.0.1:")));
    QCOMPARE(fetch(nowhere + QStringLiteral("/3.1/phone?api_key=K&phone=1"), m_service.caPath(),
                   m_answerPath)
                 .exitCode,
             kCurlCouldNotConnect);
}

QTEST_GUILESS_MAIN(TestFakeService)
#include "tst_fakeservice.moc"
