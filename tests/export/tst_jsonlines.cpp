#include "export/jsonlinesexport.h"
#include "export/jsontext.h"
#include "shell/errorreport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;

namespace {

const QStringList kCaptions{"Phone Number", "Type", "Name", "Location", "Provider", "Status"};

ResultRecord record(const QString& answer)
{
    return ResultRecord{QStringLiteral("(413) 592-3823"),
                        {"4135923823", "Mobile", "Ann", "Springfield", "Carrier", "Active"},
                        answer,
                        true};
}

const PhoneNumbers kUs(QStringLiteral("US"));

const QByteArray kPrefix("{\"number\":\"(413) 592-3823\",\"e164\":\"+14135923823\",\"valid\":true,"
                         "\"row\":{\"Phone Number\":\"4135923823\","
                         "\"Type\":\"Mobile\",\"Name\":\"Ann\",\"Location\":\"Springfield\","
                         "\"Provider\":\"Carrier\",\"Status\":\"Active\"},\"answer\":");

} // namespace

class JsonLinesTest : public QObject
{
    Q_OBJECT

private slots:
    void answerForms_data();
    void answerForms();
    void jsonContainers_data();
    void jsonContainers();
    void everyLineParsesAndKeepsText();
    void numberAsTheLibraryReadsIt_data();
    void numberAsTheLibraryReadsIt();
    void oneLinePerRecordInOrder();
    void savesFile();
    void reusedRowSaysWhenItsAnswerCame_data();
    void reusedRowSaysWhenItsAnswerCame();
};

void JsonLinesTest::answerForms_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QByteArray>("embedded");
    // Kept as sent: the service's key order, not Qt's sorted one.
    QTest::newRow("JSON object, verbatim")
        << R"({"z":1, "a":{"n":12345678901234567890}})"
        << QByteArray(R"({"z":1, "a":{"n":12345678901234567890}})");
    QTest::newRow("JSON array") << "[1,2]" << QByteArray("[1,2]");
    QTest::newRow("JSON with line breaks between tokens") << "{\"a\":\r\n1}\n"
                                                          << QByteArray("{\"a\":  1}");
    QTest::newRow("not JSON") << "Could not connect" << QByteArray("\"Could not connect\"");
    QTest::newRow("torn JSON is text") << R"({"a":"b)" << QByteArray(R"("{\"a\":\"b")");
    QTest::newRow("a bare JSON number is text") << "42" << QByteArray("\"42\"");
    QTest::newRow("no answer") << "" << QByteArray("null");
}

void JsonLinesTest::answerForms()
{
    QFETCH(QString, answer);
    QFETCH(QByteArray, embedded);
    QCOMPARE(jsonLine(kCaptions, record(answer), kUs), kPrefix + embedded + "}\n");
}

void JsonLinesTest::reusedRowSaysWhenItsAnswerCame_data()
{
    QTest::addColumn<QDateTime>("received");
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("looked up anew: no member") << QDateTime() << QByteArray("{}}\n");
    QTest::newRow("UTC") << QDateTime(QDate(2026, 11, 30), QTime(10, 12), Qt::UTC)
                         << QByteArray("{},\"reused_from\":\"2026-11-30T10:12:00Z\"}\n");
    // The history keeps milliseconds and a clock may hand back local time:
    // the file says UTC, to the second.
    QTest::newRow("another offset, milliseconds")
        << QDateTime(QDate(2026, 12, 1), QTime(1, 12, 59, 999), Qt::OffsetFromUTC, 15 * 3600)
        << QByteArray("{},\"reused_from\":\"2026-11-30T10:12:59Z\"}\n");
}

void JsonLinesTest::reusedRowSaysWhenItsAnswerCame()
{
    QFETCH(QDateTime, received);
    QFETCH(QByteArray, tail);
    ResultRecord reused = record(QStringLiteral("{}"));
    reused.reusedFrom = received;
    const QByteArray line = jsonLine(kCaptions, reused, kUs);
    QCOMPARE(line, kPrefix + tail);
    QVERIFY(!QJsonDocument::fromJson(line).isNull());
}

void JsonLinesTest::jsonContainers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isJson");
    QTest::newRow("every kind of value")
        << R"( {"a":[true,false,null,-0.5e+3,0,12,"\u00e9\"\\\/\b\f\n\r\t"],"b":{}} )" << true;
    QTest::newRow("empty array") << "[]" << true;
    QTest::newRow("500 levels") << QString(500, u'[') + QString(500, u']') << true;
    QTest::newRow("600 levels") << QString(600, u'[') + QString(600, u']') << false;
    QTest::newRow("trailing comma") << "[1,]" << false;
    QTest::newRow("leading zero") << "[01]" << false;
    QTest::newRow("bare minus") << "[-]" << false;
    QTest::newRow("unterminated string") << R"(["a)" << false;
    QTest::newRow("raw control character in string") << "[\"a\nb\"]" << false;
    QTest::newRow("bad escape") << R"(["\x"])" << false;
    QTest::newRow("short unicode escape") << R"(["\u12"])" << false;
    QTest::newRow("single quotes") << "['a']" << false;
    QTest::newRow("unquoted key") << "{a:1}" << false;
    QTest::newRow("two documents") << "{} {}" << false;
    QTest::newRow("misspelt literal") << "[nul]" << false;
    QTest::newRow("no-break space around") << QString::fromUtf8("\u00a0[]") << false;
}

void JsonLinesTest::jsonContainers()
{
    QFETCH(QString, text);
    QFETCH(bool, isJson);
    QCOMPARE(isJsonContainer(text), isJson);
    // Qt's own reader agrees wherever it is strict.
    if (isJson)
        QVERIFY(!QJsonDocument::fromJson(text.toUtf8()).isNull());
}

void JsonLinesTest::everyLineParsesAndKeepsText()
{
    ResultRecord tricky{QString::fromUtf8("\"a\\b\"\t\x01 Zoë"),
                        {QString::fromUtf8("Orléans\r\n"), QStringLiteral("x")},
                        QStringLiteral("empty file"),
                        false};
    const QByteArray line = jsonLine({"Name", "Second", "Third"}, tricky, kUs);
    QVERIFY(line.endsWith('\n'));
    QCOMPARE(line.count('\n'), 1);
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(object.value("number").toString(), tricky.number);
    const QJsonObject row = object.value("row").toObject();
    QCOMPARE(row.value("Name").toString(), tricky.cells.at(0));
    QCOMPARE(row.value("Second").toString(), QStringLiteral("x"));
    QCOMPARE(row.value("Third").toString(), QString());
    QCOMPARE(object.value("answer").toString(), QStringLiteral("empty file"));
}

void JsonLinesTest::numberAsTheLibraryReadsIt_data()
{
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QByteArray>("fields");
    QTest::newRow("valid") << "US"
                           << "+1 (413) 592 3823"
                           << QByteArray(R"("e164":"+14135923823","valid":true)");
    QTest::newRow("valid in the region given")
        << "GB"
        << "020 7946 0958" << QByteArray(R"("e164":"+442079460958","valid":true)");
    QTest::newRow("cannot be valid") << "US"
                                     << "111" << QByteArray(R"("e164":null,"valid":false)");
    QTest::newRow("letters") << "US"
                             << "1-800-FLOWERS" << QByteArray(R"("e164":null,"valid":false)");
    QTest::newRow("no digits") << "US"
                               << "" << QByteArray(R"("e164":null,"valid":null)");
}

void JsonLinesTest::numberAsTheLibraryReadsIt()
{
    QFETCH(QString, region);
    QFETCH(QString, number);
    QFETCH(QByteArray, fields);
    ResultRecord row = record(QStringLiteral("{}"));
    row.number = number;
    const QByteArray line = jsonLine(kCaptions, row, PhoneNumbers(region));
    // Beside the number, before the row; the numbers here need no escapes.
    const QByteArray expected = "{\"number\":\"" + number.toUtf8() + "\"," + fields + ",\"row\":{";
    QVERIFY2(line.startsWith(expected), line.constData());
    QVERIFY(!QJsonDocument::fromJson(line).isNull());
}

void JsonLinesTest::oneLinePerRecordInOrder()
{
    ResultRecord second = record(QString());
    second.number = QStringLiteral("2");
    const QByteArray bytes = resultsJsonLinesBytes(kCaptions, {record("x"), second}, kUs);
    QCOMPARE(bytes, jsonLine(kCaptions, record("x"), kUs) + jsonLine(kCaptions, second, kUs));
    QCOMPARE(resultsJsonLinesBytes(kCaptions, {}, kUs), QByteArray());
}

void JsonLinesTest::savesFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.jsonl"));
    saveResultsAsJsonLines(kCaptions, {record("[]")}, kUs, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), jsonLine(kCaptions, record("[]"), kUs));

    QVERIFY_THROWS_EXCEPTION(
        Failure, saveResultsAsJsonLines(kCaptions, {}, kUs, path + QStringLiteral("/x")));
}

QTEST_GUILESS_MAIN(JsonLinesTest)
#include "tst_jsonlines.moc"
