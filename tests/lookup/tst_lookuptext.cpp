// The lookup engine's text rules: request, answer decoding, value reader,
// classification and result rows.

#include "lookup/answer.h"
#include "lookup/childrunner.h"
#include "lookup/jsvalue.h"
#include "lookup/request.h"
#include "lookup/resultrow.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "support/lookupfakes.h"

#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;
using quillmore::test::RecordingDialogs;

class TestLookupText : public QObject
{
    Q_OBJECT

private slots:
    void valueReader_data();
    void valueReader();
    void valueReaderReportsMissingEndMark();
    void valueReaderOnLargeText();
    void classification_data();
    void classification();
    void classificationMessages();
    void requestAndCommandLine();
    void failedTriesThatMayHaveBeenAnswered_data();
    void failedTriesThatMayHaveBeenAnswered();
    void digits_data();
    void digits();
    void flattening();
    void decoding();
    void readingAnswerFiles();
    void locationAndStatus();
    void rowOfFailedRequest();
    void rowStatusReadBackFromCells();
    void pauseSeconds();
};

void TestLookupText::valueReader_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QString row =
        QStringLiteral(R"({"phone_number":"4135923823","line_type":"Landline","carrier":"X"})");
    QTest::newRow("string") << row << "phone_number"
                            << "4135923823";
    QTest::newRow("key in capitals") << row << "LINE_TYPE"
                                     << "Landline";
    QTest::newRow("null") << R"({"street_line_2":null,"x":1})"
                          << "street_line_2"
                          << "null";
    QTest::newRow("boolean") << R"({"is_active":true,"x":1})"
                             << "is_active"
                             << "true";
    QTest::newRow("blank after colon") << R"({"city": "Ashland", "x": 1})"
                                       << "city"
                                       << " Ashland";
    QTest::newRow("cut at own comma") << R"({"name":"Smith, John","x":1})"
                                      << "name"
                                      << "Smith";
    QTest::newRow("colon removed") << R"({"street_line_1":"Apt 5: Rear","x":1})"
                                   << "street_line_1"
                                   << "Apt 5 Rear";
    QTest::newRow("found inside longer key") << R"({"firstname":"Ann","name":"Ann Lee","x":1})"
                                             << "name"
                                             << "Ann";
    QTest::newRow("brace stays") << R"([{"country_code":"US"},{"x":1}])"
                                 << "country_code"
                                 << "US}";
    QTest::newRow("object") << R"({"loc":{"lat":47.6,"x":1}})"
                            << "loc"
                            << "{lat47.6";
    QTest::newRow("could not connect") << "Could not connect"
                                       << "name"
                                       << "";
    QTest::newRow("empty text") << ""
                                << "name"
                                << "";
    QTest::newRow("missing key") << R"({"a":1,"b":2})"
                                 << "zip4"
                                 << "";
    QTest::newRow("quote-space end mark") << R"({"name":"Ann" })"
                                          << "name"
                                          << "Ann";
    QTest::newRow("end mark right after the colon") << R"({"n":,"x":1})"
                                                    << "n"
                                                    << "";
    QTest::newRow("non-ASCII value") << QStringLiteral(R"({"name":"Jürgen Müller","x":1})")
                                     << "NAME" << QStringLiteral("Jürgen Müller");
}

void TestLookupText::valueReader()
{
    QFETCH(QString, body);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QList<Failure> failures;
    QCOMPARE(getJSValue(body, key, &failures), expected);
    QCOMPARE(jsValueCore(body, key), expected);
    QVERIFY(failures.isEmpty());
}

void TestLookupText::valueReaderReportsMissingEndMark()
{
    const QString body =
        QStringLiteral(R"({"phone_number":"4135923823","line_type":"Landline","carrier":"X"})");
    QVERIFY_THROWS_EXCEPTION(Failure, jsValueCore(body, QStringLiteral("carrier")));
    // A comma directly after the key's name gives a negative length too.
    QVERIFY_THROWS_EXCEPTION(Failure,
                             jsValueCore(QStringLiteral("{key,x}"), QStringLiteral("key")));

    QList<Failure> failures;
    QCOMPARE(getJSValue(body, QStringLiteral("carrier"), &failures), QString());
    QCOMPARE(failures.size(), 1);
    // Reported, whoever reads the value, under the value reader's own procedure.
    RecordingDialogs dialogs;
    reportFailure(dialogs, procedurePath(QStringLiteral("Form1"), QStringLiteral("X")),
                  Step::ValueRead, failures.constFirst());
    QCOMPARE(dialogs.messages.size(), 1);
    const RecordingDialogs::Shown& report = dialogs.messages.constFirst();
    QCOMPARE(report.title, QStringLiteral("Application Error"));
    QCOMPARE(report.icon, Dialogs::Icon::Warning);
    QVERIFY(report.text.startsWith(
        QStringLiteral("Invalid procedure call or argument\r\n"
                       "in Vantrel2021/08/31.CurlFunctions.GetJSValue at line ")));
    QVERIFY(report.text.endsWith(QStringLiteral("\r\rPlease email screenshot of this message to ") +
                                 supportEmail()));
}

void TestLookupText::valueReaderOnLargeText()
{
    // The first occurrence wins even far into a long text, in any letter case.
    QString body(3'000'000, QLatin1Char('x'));
    body += QStringLiteral(R"("Zip4":"1234","zip4":"9999",)");
    QCOMPARE(jsValueCore(body, QStringLiteral("ZIP4")), QStringLiteral("1234"));
    QCOMPARE(findIgnoringCase(body, QStringLiteral("carrier")), qsizetype(-1));
    QCOMPARE(findIgnoringCase(QStringLiteral("abCARrier"), QStringLiteral("carrier")),
             qsizetype(2));
    // Non-ASCII key names are compared by Unicode case folding.
    QCOMPARE(findIgnoringCase(QStringLiteral("xxÄBC"), QStringLiteral("äbc")), qsizetype(2));
}

void TestLookupText::classification_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("expected");
    const int quota = int(AnswerClass::QuotaExceeded);
    const int gone = int(AnswerClass::ApiWithdrawn);
    const int rejected = int(AnswerClass::KeyRejected);
    const int normal = int(AnswerClass::Answer);
    QTest::newRow("quota page") << "<html> <h1>403 Developer Over Rate</h1> </html>" << quota;
    QTest::newRow("quota sentence")
        << R"({"message":"You have exceeded your quota limit."})" << quota;
    QTest::newRow("quota sentence lower case")
        << R"({"message":"you have exceeded your quota limit."})" << normal;
    QTest::newRow("gone") << "<title>410 Gone</title>" << gone;
    QTest::newRow("invalid key") << R"({"message":"API key is invalid"})" << rejected;
    QTest::newRow("no record") << "Authorization record not found" << rejected;
    QTest::newRow("gone before invalid") << "API key is invalid; 410 Gone" << gone;
    QTest::newRow("quota before gone") << "410 Gone You have exceeded your quota limit" << quota;
    QTest::newRow("quota before invalid")
        << "API key is invalid <h1>403 Developer Over Rate</h1>" << quota;
    QTest::newRow("case matters") << "api key is invalid" << normal;
    QTest::newRow("could not connect") << "Could not connect" << normal;
    QTest::newRow("empty file") << "empty file" << normal;
    QTest::newRow("normal") << R"({"phone_number":"4135923823"})" << normal;
}

void TestLookupText::classification()
{
    QFETCH(QString, answer);
    QFETCH(int, expected);
    QCOMPARE(int(classifyAnswer(answer)), expected);
}

void TestLookupText::classificationMessages()
{
    QCOMPARE(answerClassMessage(AnswerClass::QuotaExceeded),
             QStringLiteral("Daily (24-hour) limit has been exceeded. Please try again later."));
    QCOMPARE(answerClassMessage(AnswerClass::ApiWithdrawn),
             QStringLiteral("API has changed.\r\nPlease email screenshot of this message to ") +
                 supportEmail());
    QVERIFY(!supportEmail().isEmpty());
    QCOMPARE(answerClassMessage(AnswerClass::KeyRejected), QStringLiteral("Invalid API Key."));
    QCOMPARE(answerClassMessage(AnswerClass::Answer), QStringLiteral("API Key is working."));
}

void TestLookupText::requestAndCommandLine()
{
    const QString address = requestAddress(QStringLiteral("BASE"), QStringLiteral("KEY"),
                                           digitsOnly(QStringLiteral("413-592-3823")));
    QCOMPARE(address, QStringLiteral("BASE/3.1/phone?api_key=KEY&phone=4135923823"));
    // The address is not an argument: curl reads it from standard input.
    QCOMPARE(curlArguments(QStringLiteral("/tmp/my dir/message.txt")),
             (QStringList{"-X", "POST", "-K", "-", "--output", "/tmp/my dir/message.txt",
                          "--write-out", "%{http_code}"}));
    // Connecting gets half the time a try may take: curl, not the time
    // limit, ends a try that never connected, and says so.
    QCOMPARE(connectTimeoutArguments(std::chrono::seconds(30)),
             (QStringList{"--connect-timeout", "15"}));
    QCOMPARE(connectTimeoutArguments(std::chrono::milliseconds(3000)),
             (QStringList{"--connect-timeout", "1.500"}));
    QCOMPARE(connectTimeoutArguments(std::chrono::milliseconds(0)), QStringList());
    // What --write-out gave: a status, or none ("000" when no answer came).
    QCOMPARE(httpStatusOf("503"), 503);
    for (const QByteArray& none :
         {QByteArray("000"), QByteArray(), QByteArray("20"), QByteArray("2000"), QByteArray("abc")})
        QCOMPARE(httpStatusOf(none), 0);
    QCOMPARE(curlConfigLine(address),
             QByteArrayLiteral("url = \"BASE/3.1/phone?api_key=KEY&phone=4135923823\"\n"));

    // The key goes in as typed, but for what cannot stand in a query value,
    // which is percent-encoded as UTF-8.
    QCOMPARE(requestAddress(QStringLiteral("https://h:1"), QStringLiteral("aB9-._~!$'()*,;=:@/?"),
                            QString()),
             QStringLiteral("https://h:1/3.1/phone?api_key=aB9-._~!$'()*,;=:@/?&phone="));
    QCOMPARE(
        requestAddress(QStringLiteral("https://h:1"), QStringLiteral(" a b\t\"\x7f"), QString()),
        QStringLiteral("https://h:1/3.1/phone?api_key=%20a%20b%09%22%7F&phone="));
    QCOMPARE(
        requestAddress(QStringLiteral("h"), QStringLiteral("%&+#\\[]{}<>|^`"), QString()),
        QStringLiteral("h/3.1/phone?api_key=%25%26%2B%23%5C%5B%5D%7B%7D%3C%3E%7C%5E%60&phone="));
    // No-break space, line separator, ideographic space, C1 controls, a
    // letter with an accent and one outside the Basic Multilingual Plane.
    const QString unicode = QStringLiteral("\u00a0\u2028\u3000\u0085\u009f\u00e9\U0001F600");
    QCOMPARE(requestAddress(QStringLiteral("h"), unicode, QString()),
             QStringLiteral("h/3.1/phone?api_key=%C2%A0%E2%80%A8%E3%80%80%C2%85%C2%9F%C3%A9"
                            "%F0%9F%98%80&phone="));

    // The config line cannot be ended early nor carry a second option.
    QCOMPARE(curlConfigLine(QStringLiteral("a\"b\\c\nd\re\tf")),
             QByteArrayLiteral("url = \"a\\\"b\\\\c\\nd\\re\\tf\"\n"));
}

void TestLookupText::failedTriesThatMayHaveBeenAnswered_data()
{
    QTest::addColumn<ChildRun::End>("end");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("mayHaveBeenAnswered");
    using End = ChildRun::End;
    QTest::newRow("tool not started") << End::NotStarted << kStartErrorBase + 2 << false;
    QTest::newRow("proxy not found") << End::Exited << 5 << false;
    QTest::newRow("host not found") << End::Exited << 6 << false;
    QTest::newRow("connection refused") << End::Exited << 7 << false;
    QTest::newRow("not connected in time") << End::Exited << 28 << false;
    QTest::newRow("handshake failed") << End::Exited << 35 << false;
    QTest::newRow("certificate refused") << End::Exited << 60 << false;
    QTest::newRow("exited 0 without an answer") << End::Exited << 0 << true;
    QTest::newRow("cut off") << End::Exited << 18 << true;
    QTest::newRow("empty reply") << End::Exited << 52 << true;
    QTest::newRow("receiving failed") << End::Exited << 56 << true;
    QTest::newRow("HTTP/2 stream failed") << End::Exited << 92 << true;
    QTest::newRow("ended at the time limit") << End::TimedOut << 9 << true;
    // A signal's number is no exit status: 7 here is SIGBUS, not "could not connect".
    QTest::newRow("crashed") << End::Crashed << 7 << true;
}

void TestLookupText::failedTriesThatMayHaveBeenAnswered()
{
    QFETCH(ChildRun::End, end);
    QFETCH(int, result);
    QTEST(mayHaveBeenAnswered({end, result, {}}), "mayHaveBeenAnswered");
}

void TestLookupText::digits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("brackets") << "(413) 592-3823"
                              << "4135923823";
    QTest::newRow("plus and spaces") << "+1 413 592 3823"
                                     << "14135923823";
    QTest::newRow("dots and letters") << "  413.592.3823 ext A "
                                      << "4135923823";
    QTest::newRow("no digit") << "call me"
                              << "";
    QTest::newRow("only spaces") << "    "
                                 << "";
    QTest::newRow("tab is not trimmed but dropped") << "\t12\t"
                                                    << "12";
    QTest::newRow("non-ASCII digits dropped") << QStringLiteral("١٢3") << "3";
    QTest::newRow("longer than 255")
        << QString(300, QLatin1Char('7')) << QString(300, QLatin1Char('7'));
}

void TestLookupText::digits()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(digitsOnly(typed), expected);
}

void TestLookupText::flattening()
{
    QCOMPARE(flattenLines(QStringLiteral("a\r\nb\tx\nc")), QStringLiteral("a bx c"));
    QCOMPARE(flattenLines(QStringLiteral("a\rb\n\rc\r\n\r\nd")), QStringLiteral("a b  c  d"));
    QCOMPARE(flattenLines(QStringLiteral("empty file")), QStringLiteral("empty file"));
}

void TestLookupText::decoding()
{
    QCOMPARE(decodeAnswer(QByteArray()), QString());
    QCOMPARE(decodeAnswer("M\xc3\xbcller"), QStringLiteral("Müller"));
    QCOMPARE(decodeAnswer("\xf0\x9f\x93\x9e"), QString::fromUtf8("\xf0\x9f\x93\x9e"));
    // Each byte outside a valid sequence keeps its own character; valid ones still decode.
    QCOMPARE(decodeAnswer("M\xfcller \xc3\xbc \xc3"),
             QStringView(u"M\u00fcller \u00fc \u00c3").toString());
    QCOMPARE(decodeAnswer("\xc0\xaf\xed\xa0\x80"),
             QStringView(u"\u00c0\u00af\u00ed\u00a0\u0080").toString());
    // A first byte 0xFF or 0xFE: UTF-16 little-endian, the byte-order mark kept.
    const QByteArray utf16("\xff\xfe{\0\xfc\0}\0", 8);
    QCOMPARE(decodeAnswer(utf16), QStringView(u"\ufeff{\u00fc}").toString());
    QCOMPARE(decodeAnswer(QByteArray("\xfe\xff"
                                     "a",
                                     3)),
             QStringView(u"\uFFFEa").toString());
}

void TestLookupText::readingAnswerFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(readFileText(dir.filePath(QStringLiteral("missing.txt"))), QString());
    QCOMPARE(readFileText(QString()), QString());

    QFile empty(dir.filePath(QStringLiteral("empty.txt")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QCOMPARE(readFileText(empty.fileName()), QStringLiteral("empty file"));

    QFile answer(dir.filePath(QStringLiteral("answer.txt")));
    QVERIFY(answer.open(QIODevice::WriteOnly));
    answer.write("{\"name\":\"M\xc3\xbcller\"}\r\n");
    answer.close();
    QCOMPARE(readFileText(answer.fileName()), QStringLiteral("{\"name\":\"Müller\"}\r\n"));

    // Something there that is not a readable file is a failure for the caller to report.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.txt")));
    QVERIFY_THROWS_EXCEPTION(Failure, readFileText(dir.filePath(QStringLiteral("folder.txt"))));
}

void TestLookupText::locationAndStatus()
{
    QList<Failure> failures;
    const QString answer = QStringLiteral(
        R"({"phone_number":"4135550100","line_type":"Landline","name":"Ann Lee","street_line_1":"302 Main St",)"
        R"("street_line_2":null,"city":"Springfield","zip4":"1234","state_code":"MA",)"
        R"("country_code":"US","carrier":"Verizon","is_active":true,"x":1})");
    QCOMPARE(locationText(answer, &failures),
             QStringLiteral("302 Main St, Springfield, 1234, MA, US"));
    const ResultRecord answered = resultRow(QStringLiteral("x"), answer, 200, &failures);
    QCOMPARE(answered.cells,
             (QStringList{"4135550100", "Landline", "Ann Lee",
                          "302 Main St, Springfield, 1234, MA, US", "Verizon", "Active"}));
    QCOMPARE(answered.status, RowStatus::Active);
    QCOMPARE(answered.lineType, QStringLiteral("Landline"));
    QCOMPARE(answered.number, QStringLiteral("x"));
    QCOMPARE(answered.answer, answer);

    // A null country leaves the separator after the state; a missing key keeps its part.
    const QString noCountry = QStringLiteral(
        R"({"street_line_1":"1 A St","street_line_2":"Fl 2","city":"Nashua","state_code":"NH",)"
        R"("country_code":null,"is_active":false,"x":1})");
    QCOMPARE(locationText(noCountry, &failures), QStringLiteral("1 A St, Fl 2, Nashua, , NH, "));
    QCOMPARE(statusText(getJSValue(noCountry, QStringLiteral("is_active"), &failures)),
             QStringLiteral("Inactive"));
    QCOMPARE(statusText(QString()), QStringLiteral("Inactive"));
    QCOMPARE(statusText(QStringLiteral(" true")), QStringLiteral("Inactive"));
    QCOMPARE(statusText(QStringLiteral("true")), QStringLiteral("Active"));
    QVERIFY(failures.isEmpty());

    // Each location key is read twice: a broken value is reported twice.
    const QString broken = QStringLiteral(R"({"city":"X"})");
    QCOMPARE(locationText(broken, &failures), QStringLiteral(", , , , , "));
    QCOMPARE(failures.size(), 2);
}

void TestLookupText::rowOfFailedRequest()
{
    QList<Failure> failures;
    for (const QString& answer : {kCouldNotConnect, kEmptyFile}) {
        const ResultRecord row =
            resultRow(QStringLiteral(" (413) 592-3823"), answer, 200, &failures);
        // The number as the list holds it, nothing read out of our own text.
        QCOMPARE(row.cells,
                 (QStringList{" (413) 592-3823", "", "", "", "",
                              answer == kEmptyFile ? "Empty answer" : "Could not connect"}));
        QCOMPARE(row.status,
                 answer == kEmptyFile ? RowStatus::EmptyAnswer : RowStatus::CouldNotConnect);
        QVERIFY(row.isFailure());
        QVERIFY(row.lineType.isEmpty());
    }
    QVERIFY(failures.isEmpty());
}

// Rows kept by earlier versions have only their cells: reading the status back
// from them must give what the row was made with, or a restored session would
// count paid answers as failures (or the reverse).
void TestLookupText::rowStatusReadBackFromCells()
{
    const QString active = QStringLiteral(R"({"phone_number":"1","line_type":"Mobile",)"
                                          R"("carrier":"T","is_active":true})");
    const QString inactive = QStringLiteral(R"({"phone_number":"1","line_type":"Landline",)"
                                            R"("is_active":false})");
    QList<ResultRecord> made = {resultRow("1", active), resultRow("1", inactive),
                                resultRow("1", kEmptyFile), resultRow("1", kCouldNotConnect),
                                resultRow("1", QStringLiteral("<html>"), 503)};
    QCOMPARE(made.at(4).status, RowStatus::ServiceError);
    QCOMPARE(made.at(4).httpStatus, 503);
    for (NotSentReason reason :
         {NotSentReason::NoNumber, NotSentReason::CannotBeValid, NotSentReason::NotLookedUp}) {
        ResultRecord notSent;
        notSent.cells = QStringList{"x", {}, {}, {}, {}, notSentStatus(reason)};
        notSent.status = RowStatus::NotSent;
        notSent.notSent = reason;
        made << notSent;
    }
    for (const ResultRecord& row : made) {
        ResultRecord restored;
        restored.cells = row.cells;
        restoreRowStatus(restored);
        QCOMPARE(restored.status, row.status);
        QCOMPARE(restored.httpStatus, row.httpStatus);
        QCOMPARE(restored.notSent, row.notSent);
        QCOMPARE(restored.lineType, row.lineType);
        QCOMPARE(restored.isAnswer(),
                 row.status == RowStatus::Active || row.status == RowStatus::Inactive);
    }
    QVERIFY(!made.at(5).isAnswer() && !made.at(5).isFailure());
}

void TestLookupText::pauseSeconds()
{
    QCOMPARE(randomPauseSeconds(0.0), 3);
    QCOMPARE(randomPauseSeconds(0.2499), 3);
    QCOMPARE(randomPauseSeconds(0.25), 4);
    QCOMPARE(randomPauseSeconds(0.5), 5);
    QCOMPARE(randomPauseSeconds(0.9999), 6);
    QSet<int> seen;
    for (int i = 0; i < 400; ++i) {
        const int s = randomPauseSeconds();
        QVERIFY2(s >= 3 && s <= 6, qPrintable(QString::number(s)));
        seen << s;
    }
    QCOMPARE(seen.size(), 4);
}

QTEST_GUILESS_MAIN(TestLookupText)
#include "tst_lookuptext.moc"
