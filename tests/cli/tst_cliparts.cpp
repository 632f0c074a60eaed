// The command-line program's parts: the command line, the rate-limit waits,
// the pacing of --rate, the tries a failed transfer earns, the key file, the
// run's history and the ordered output, and their failures.

#include "cli/clioptions.h"
#include "cli/earlierruns.h"
#include "cli/historycommands.h"
#include "cli/keysource.h"
#include "cli/orderedoutput.h"
#include "cli/pooledrequest.h"
#include "cli/ratelimit.h"
#include "cli/ratepacer.h"
#include "cli/rowlayout.h"
#include "cli/runhistory.h"
#include "export/csvexport.h"
#include "export/jsonlinesexport.h"
#include "export/textexport.h"
#include "lookup/resultrow.h"
#include "numbers/phonenumbers.h"
#include "shell/errorreport.h"
#include "support/scripteddialogs.h"
#include "support/tmpfsmount.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>

using namespace quillmore;
using namespace quillmore::cli;
using namespace std::chrono_literals;

namespace {

// Rows as a lookup makes them from the service's answers, so that a row the
// history gives back is rebuilt the same.
QList<ResultRecord> sampleRecords()
{
    return {
        resultRow(QStringLiteral("4135923823"),
                  QStringLiteral("{\"phone_number\":\"4135923823\",\"line_type\":\"Landline\","
                                 "\"name\":\"Margaret A Ellison\",\"carrier\":\"Verizon\","
                                 "\"is_active\":true,\"x\":[1,2]}"),
                  200),
        resultRow(QStringLiteral("=1+2"),
                  QStringLiteral("{\"phone_number\":\"12\",\"name\":\"Name, with comma\"}"), 200),
        resultRow(QStringLiteral("(503) 235-3968"),
                  QStringLiteral("{\"phone_number\":\"5032353968\",\"line_type\":\"Mobile\","
                                 "\"name\":\"J\u00fcrgen M\u00fcller \U0001F600\","
                                 "\"carrier\":\"Telia\",\"is_active\":false}"),
                  200),
    };
}

} // namespace

class TestCliParts : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error"); // a part of the message; empty: accepted
        QTest::addColumn<int>("parallel");
        QTest::addColumn<double>("pauseMin");
        QTest::addColumn<double>("pauseMax");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("defaults") << QStringList{} << "" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("all set") << QStringList{"--parallel", "16", "--pause=0", "a", "-", "b"}
                                 << "" << 16 << 0.0 << 0.0 << QStringList{"a", "-", "b"};
        QTest::newRow("range") << QStringList{"--pause", "0.5-2"} << "" << 1 << 0.5 << 2.0
                               << QStringList{};
        QTest::newRow("after --") << QStringList{"--", "--quiet"} << "" << 1 << 3.0 << 6.0
                                  << QStringList{"--quiet"};
        QTest::newRow("parallel 0")
            << QStringList{"--parallel", "0"} << "1 to 16" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("parallel 17")
            << QStringList{"--parallel=17"} << "1 to 16" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("reversed pause")
            << QStringList{"--pause", "6-3"} << "MIN-MAX" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("negative pause")
            << QStringList{"--pause", "-1"} << "MIN-MAX" << 1 << 3.0 << 6.0 << QStringList{};
        // Read as numbers, but none: NaN would pass every range check.
        for (const char* notFinite :
             {"nan", "NaN", "inf", "-inf", "1e999", "0-nan", "nan-5", "1-inf", "0-1e999"})
            QTest::addRow("pause %s", notFinite) << QStringList{"--pause", notFinite} << "MIN-MAX"
                                                 << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("missing value")
            << QStringList{"--output"} << "Missing value after '--output'" << 1 << 3.0 << 6.0
            << QStringList{};
        QTest::newRow("empty value") << QStringList{"--output="} << "--output needs a value" << 1
                                     << 3.0 << 6.0 << QStringList{};
        // Refused however it is spelt, and before the parser could take it for a file.
        QTest::newRow("key option") << QStringList{"a.txt", "--key", "abc"}
                                    << "other users can read" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("no key option") << QStringList{"--api-key=abc"} << "other users can read"
                                       << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("unknown") << QStringList{"--fast"} << "Unknown option --fast" << 1 << 3.0
                                 << 6.0 << QStringList{};
        QTest::newRow("flag with value")
            << QStringList{"--quiet=yes"} << "Unexpected value after '--quiet'" << 1 << 3.0 << 6.0
            << QStringList{};
        // A script that still names a journal learns where the answers are now.
        QTest::newRow("journal") << QStringList{"--journal", "run.journal"}
                                 << "kept in the lookup history" << 1 << 3.0 << 6.0
                                 << QStringList{};
        for (const char* days : {"0", "-1", "36501", "7.5", "week"})
            QTest::addRow("reuse %s", days)
                << QStringList{"--reuse", days} << "1 to 36500" << 1 << 3.0 << 6.0 << QStringList{};
        for (const char* since : {"yesterday", "2026-02-30", "2026-1-5", "14:00"})
            QTest::addRow("since %s", since)
                << QStringList{"--history", "--since", since} << "--since takes a date" << 1 << 3.0
                << 6.0 << QStringList{};
        QTest::newRow("since alone") << QStringList{"--since", "2026-01-31"} << "with --history"
                                     << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("history with input") << QStringList{"--history", "numbers.txt"}
                                            << "reads no input" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("history as text") << QStringList{"--history", "--format", "text"}
                                         << "csv or jsonl" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("forget nothing")
            << QStringList{"--forget"} << "needs the numbers" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("history and forget") << QStringList{"--history", "--forget", "1"}
                                            << "one at a time" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("forget numbers") << QStringList{"--forget", "+1 413 592 3823", "555"} << ""
                                        << 1 << 3.0 << 6.0 << QStringList{"+1 413 592 3823", "555"};
    }

    void historyOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("reuseDays");
        QTest::addColumn<QDateTime>("since");
        QTest::newRow("none") << QStringList{} << 0 << QDateTime();
        QTest::newRow("reuse") << QStringList{"--reuse", "30"} << 30 << QDateTime();
        QTest::newRow("reuse longest") << QStringList{"--reuse=36500"} << 36500 << QDateTime();
        QTest::newRow("a day is its start in UTC")
            << QStringList{"--history", "--since", "2026-01-31"} << 0
            << QDateTime(QDate(2026, 1, 31), QTime(0, 0), QTimeZone::utc());
        QTest::newRow("a time without offset is UTC")
            << QStringList{"--history", "--since=2026-01-31T14:30:00"} << 0
            << QDateTime(QDate(2026, 1, 31), QTime(14, 30), QTimeZone::utc());
        QTest::newRow("an offset is taken")
            << QStringList{"--history", "--since", "2026-01-31T14:30:00+02:00"} << 0
            << QDateTime(QDate(2026, 1, 31), QTime(12, 30), QTimeZone::utc());
    }

    void historyOptions()
    {
        QFETCH(QStringList, args);
        const ParsedOptions parsed = parseOptions(args);
        QCOMPARE(parsed.error, QString());
        QTEST(parsed.options.reuseDays, "reuseDays");
        QFETCH(QDateTime, since);
        QCOMPARE(parsed.options.since, since);
        if (since.isValid())
            QCOMPARE(parsed.options.since.timeSpec(), Qt::UTC);
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const ParsedOptions parsed = parseOptions(args);
        if (!error.isEmpty()) {
            QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
            return;
        }
        QCOMPARE(parsed.error, QString());
        QTEST(parsed.options.parallel, "parallel");
        QTEST(parsed.options.pauseMin, "pauseMin");
        QTEST(parsed.options.pauseMax, "pauseMax");
        QTEST(parsed.options.files, "files");
    }

    void rateLimitWaits()
    {
        const QDateTime now(QDate(2026, 12, 8), QTime(14, 0, 0), QTimeZone::utc());
        QCOMPARE(retryAfterDelay(QStringLiteral("7"), now), std::optional(7000ms));
        QCOMPARE(retryAfterDelay(QStringLiteral(" 0 "), now), std::optional(0ms));
        QCOMPARE(retryAfterDelay(QStringLiteral("Tue, 08 Dec 2026 14:00:30 GMT"), now),
                 std::optional(30000ms));
        // A date already past: no wait; a wait beyond an hour is held to one.
        QCOMPARE(retryAfterDelay(QStringLiteral("Tue, 08 Dec 2026 13:00:00 GMT"), now),
                 std::optional(0ms));
        QCOMPARE(retryAfterDelay(QStringLiteral("999999"), now),
                 std::optional<std::chrono::milliseconds>(1h));
        QCOMPARE(retryAfterDelay(QString(), now), std::nullopt);
        QCOMPARE(retryAfterDelay(QStringLiteral("soon"), now), std::nullopt);
        QCOMPARE(retryAfterDelay(QStringLiteral("-5"), now), std::nullopt);

        // 1 s doubling to 60 s, scaled by the jitter.
        const QList<qint64> full = {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000};
        for (int n = 1; n <= 8; ++n) {
            QCOMPARE(backoffDelay(n, 1.0).count(), full.at(n - 1));
            QCOMPARE(backoffDelay(n, 0.5).count(), full.at(n - 1) / 2);
        }

        // The last answer's status and Retry-After count, a 100 Continue's do not.
        const AnswerHeaders h = parseHeaders("HTTP/1.1 100 Continue\r\nRetry-After: 9\r\n\r\n"
                                             "HTTP/2 429\r\nretry-after: 5\r\nX: y\r\n\r\n");
        QCOMPARE(h.status, 429);
        QCOMPARE(h.retryAfter, QStringLiteral("5"));
        const AnswerHeaders ok = parseHeaders("HTTP/1.1 429 Too Many\r\nRetry-After: 3\r\n\r\n"
                                              "HTTP/1.1 200 OK\r\n\r\n");
        QCOMPARE(ok.status, 200);
        QCOMPARE(ok.retryAfter, QString());
    }

    void rateAndFailureLimits()
    {
        const ParsedOptions defaults = parseOptions({});
        QCOMPARE(defaults.options.rate, 0.0);
        QCOMPARE(defaults.options.maxFailures, 20);
        const ParsedOptions set =
            parseOptions({QStringLiteral("--rate"), QStringLiteral("0.5"),
                          QStringLiteral("--max-failures=0"), QStringLiteral("in.txt")});
        QCOMPARE(set.error, QString());
        QCOMPARE(set.options.rate, 0.5);
        QCOMPARE(set.options.maxFailures, 0);
        QCOMPARE(set.options.files, QStringList{QStringLiteral("in.txt")});

        // Options after the files count, and a column may be named with blanks.
        const ParsedOptions table =
            parseOptions({QStringLiteral("leads.xlsx"), QStringLiteral("--column"),
                          QStringLiteral("Mobile Phone"), QStringLiteral("--country-column=2")});
        QCOMPARE(table.error, QString());
        QCOMPARE(table.options.column, QStringLiteral("Mobile Phone"));
        QCOMPARE(table.options.countryColumn, QStringLiteral("2"));
        QCOMPARE(table.options.files, QStringList{QStringLiteral("leads.xlsx")});
    }

    void ratePacerSpreadsRequests_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<QList<int>>("sent"); // ms, each at a time it was allowed
        QTest::addColumn<int>("askAt");
        QTest::addColumn<int>("wait");
        QTest::newRow("no limit") << 0.0 << QList<int>{0, 0, 0} << 0 << 0;
        QTest::newRow("first goes at once") << 5.0 << QList<int>{} << 123 << 0;
        QTest::newRow("two a second") << 2.0 << QList<int>{0} << 100 << 400;
        QTest::newRow("fraction of one") << 0.5 << QList<int>{0} << 1 << 1999;
        QTest::newRow("due at once") << 2.0 << QList<int>{0, 500} << 1000 << 0;
        QTest::newRow("idle spell earns no burst") << 2.0 << QList<int>{0, 5000} << 5000 << 500;
        QTest::newRow("late start counts from itself") << 4.0 << QList<int>{0, 900} << 1000 << 150;
        QTest::newRow("thirds round up") << 3.0 << QList<int>{0} << 0 << 334;
    }

    void ratePacerSpreadsRequests()
    {
        QFETCH(double, rate);
        QFETCH(QList<int>, sent);
        QFETCH(int, askAt);
        QFETCH(int, wait);
        RatePacer pacer(rate);
        for (const int at : sent) {
            QCOMPARE(pacer.wait(std::chrono::milliseconds(at)), 0ms);
            pacer.sent(std::chrono::milliseconds(at));
        }
        QCOMPARE(pacer.wait(std::chrono::milliseconds(askAt)), std::chrono::milliseconds(wait));
    }

    void failedTriesByWhetherTheyReachedTheService_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("requestSent");
        QTest::addColumn<bool>("maybeAnswered");
        QTest::newRow("cannot resolve") << int(CURLE_COULDNT_RESOLVE_HOST) << false << false;
        QTest::newRow("cannot resolve proxy") << int(CURLE_COULDNT_RESOLVE_PROXY) << false << false;
        QTest::newRow("refused") << int(CURLE_COULDNT_CONNECT) << false << false;
        QTest::newRow("handshake") << int(CURLE_SSL_CONNECT_ERROR) << true << false;
        QTest::newRow("certificate") << int(CURLE_PEER_FAILED_VERIFICATION) << false << false;
        QTest::newRow("cut off") << int(CURLE_PARTIAL_FILE) << true << true;
        QTest::newRow("reset") << int(CURLE_RECV_ERROR) << true << true;
        QTest::newRow("empty reply") << int(CURLE_GOT_NOTHING) << true << true;
        QTest::newRow("timed out answering") << int(CURLE_OPERATION_TIMEDOUT) << true << true;
        QTest::newRow("timed out connecting") << int(CURLE_OPERATION_TIMEDOUT) << false << false;
    }

    void failedTriesByWhetherTheyReachedTheService()
    {
        QFETCH(int, code);
        QFETCH(bool, requestSent);
        QFETCH(bool, maybeAnswered);
        QCOMPARE(tryFailure(CURLcode(code), requestSent) == TryFailure::MaybeAnswered,
                 maybeAnswered);
    }

    void keyFileMustBeOwnerOnly_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key"); // empty: refused
        QTest::newRow("0600") << 0600 << QByteArray("  secret-key \r\nnext\n") << "secret-key";
        QTest::newRow("0400") << 0400 << QByteArray("secret-key") << "secret-key";
        QTest::newRow("group reads") << 0640 << QByteArray("secret-key\n") << "";
        QTest::newRow("others read") << 0604 << QByteArray("secret-key\n") << "";
        QTest::newRow("group writes") << 0620 << QByteArray("secret-key\n") << "";
        QTest::newRow("empty first line") << 0600 << QByteArray("\nsecret-key\n") << "";
    }

    void keyFileMustBeOwnerOnly()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("key"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
        try {
            QCOMPARE(readKeyFile(path), key);
            QVERIFY(!key.isEmpty());
        } catch (const Failure& failure) {
            QVERIFY2(key.isEmpty(), qPrintable(failure.description()));
            QVERIFY(failure.description().contains(QDir::toNativeSeparators(path)));
        }
        // A folder is no key file either.
        QVERIFY_THROWS_EXCEPTION(Failure, readKeyFile(dir.path()));
    }

    void keyFileThatIsNoPlainFileIsNotOpened_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("device") << "device";
        QTest::newRow("link to a FIFO") << "link";
    }

    void keyFileThatIsNoPlainFileIsNotOpened()
    {
        // Opening a FIFO for reading waits for a writer: a run given one must
        // say no at once rather than wait forever.
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("key"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QString path = fifo;
        if (kind == u"device") {
            path = QStringLiteral("/dev/null");
        } else if (kind == u"link") {
            path = dir.filePath(QStringLiteral("link"));
            QVERIFY(QFile::link(fifo, path));
        }
        try {
            readKeyFile(path);
            QFAIL("refused no key file");
        } catch (const Failure& failure) {
            QCOMPARE(failure.description(),
                     QStringLiteral("The key file %1 is refused: it is not a plain file.")
                         .arg(QDir::toNativeSeparators(path)));
        }
    }

    void earlierRunsFoundByNumber()
    {
        // Runs 1 and 2 did not finish; run 3 holds only numbers of another list.
        const QList<RunAnswer> unfinished = {
            {10, 1, "2000000001", false}, {11, 1, "2000000002", true},
            {12, 2, "2000000001", false}, {13, 2, "2000000003", false},
            {14, 3, "2999999999", false},
        };
        // The list grew, spells one number twice and holds a line skipped.
        const QStringList numbers = {"2000000003", "2000000001", "note",
                                     "2000000001", "2000000002", "2000000004"};
        const QList<bool> skip = {false, false, true, false, false, false};
        const EarlierRuns earlier(unfinished, numbers, skip);
        QList<QList<qint64>> got;
        for (const EarlierRuns::Row& row : earlier.rows())
            got.append({row.index, row.id, row.failed ? 1 : 0});
        // Each answer to one position, the oldest first; the empty answer stays failed.
        QCOMPARE(got, (QList<QList<qint64>>{{0, 13, 0}, {1, 10, 0}, {3, 12, 0}, {4, 11, 1}}));
        QCOMPARE(earlier.unfinishedRuns(), 3);
        QCOMPARE(earlier.unrelatedRuns(), 1);
        // Once this input is complete, runs 1 and 2 have nothing it lacks.
        QCOMPARE(earlier.superseded(numbers), (QList<qint64>{1, 2}));
        // A list that lost 2000000003 leaves run 2 to be resumed.
        QCOMPARE(earlier.superseded(numbers.mid(1)), (QList<qint64>{1}));
    }

    void rowTheHistoryCannotGiveBackIsNotThere()
    {
        QTemporaryDir dir;
        const PhoneNumbers phone(QStringLiteral("US"));
        RunHistory history(phone, dir.path());
        QStringList told;
        history.told = [&](const QString& text) { told << text; };
        QVERIFY(history.open(90));
        const qint64 run = history.startRun(QStringLiteral("run"));
        const QList<ResultRecord> records = sampleRecords();
        QStringList numbers;
        QList<qint64> ids;
        for (const ResultRecord& record : records) {
            numbers << record.number;
            ids << history.keep(run, record.number, record, 200);
            QVERIFY(ids.last() > 0);
        }
        {
            // Another program forgets the middle number while the run goes on.
            HistoryStore other(dir.path());
            other.open();
            // "=1+2" has no E.164 form: its key is its digits.
            QCOMPARE(other.forget(QStringLiteral("12")), 1);
        }
        for (const int format : {int(OutputFormat::Csv), int(OutputFormat::Text)}) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            const ListLayout layout(numbers, phone);
            OrderedOutput output(OutputFormat(format), buffer, history, layout);
            for (qsizetype i = 0; i < records.size(); ++i)
                output.addRow(i, ids.at(i), nullptr);
            output.finish();
            QVERIFY(output.hasRow(0));
            QVERIFY(!output.hasRow(1));
            QVERIFY(output.hasRow(2));
            QCOMPARE(output.unreadableRows(), 1);
            QVERIFY(bytes.contains("5032353968"));
            QVERIFY(!bytes.contains("Name, with"));
        }
        QCOMPARE(told, QStringList());
    }

    void historyThatCannotBeUsedIsToldOnceAndRowsStayInMemory()
    {
        QTemporaryDir dir;
        // A folder where the history file belongs.
        QVERIFY(QDir().mkpath(dir.filePath(HistoryStore::kFileName)));
        const PhoneNumbers phone(QStringLiteral("US"));
        RunHistory history(phone, dir.path());
        QStringList told;
        history.told = [&](const QString& text) { told << text; };
        QVERIFY(!history.open(90));
        const qint64 run = history.startRun(QStringLiteral("run"));
        const QList<ResultRecord> records = sampleRecords();
        QStringList numbers;
        for (const ResultRecord& record : records)
            numbers << record.number;
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const ListLayout layout(numbers, phone);
        OrderedOutput output(OutputFormat::Csv, buffer, history, layout);
        for (qsizetype i = records.size() - 1; i >= 0; --i) {
            const qint64 id = history.keep(run, numbers.at(i), records.at(i), 200);
            QCOMPARE(id, 0);
            output.addRow(i, id, &records.at(i));
        }
        output.finish();
        QCOMPARE(told, QStringList{QStringLiteral("The lookup history %1 cannot be used: it is "
                                                  "not a plain file.")
                                       .arg(dir.filePath(HistoryStore::kFileName))});
        QCOMPARE(output.unreadableRows(), 0);
        ReportTable table;
        table.headers = kResultCaptions;
        for (const ResultRecord& record : records)
            table.rows << ReportTable::Row{record.cells, true};
        QCOMPARE(bytes, resultsCsvBytes(table));
    }

    void historyRowsWrittenWithEveryField()
    {
        StoredAnswer a;
        a.session = 7;
        a.program = kCliProgram;
        a.received = QDateTime(QDate(2026, 3, 1), QTime(9, 5, 7, 250), QTimeZone::utc());
        a.typed = QStringLiteral("(413) 592-3823");
        a.sent = QStringLiteral("4135923823");
        a.e164 = QStringLiteral("+14135923823");
        a.answer = QStringLiteral("{\"phone_number\":\"4135923823\",\"n\":12345678901234567890}");
        a.httpStatus = 200;
        a.cells = {"4135923823", "Landline", "Name, \"quoted\"", "", "Verizon", "Active"};
        // The E.164 form's "+" is guarded as every CSV cell that a spreadsheet
        // would take for a formula.
        QCOMPARE(historyCsvRow(a),
                 QByteArray("2026-03-01T09:05:07.250Z,cli,7,(413) 592-3823,4135923823,"
                            "'+14135923823,200,no,4135923823,Landline,\"Name, \"\"quoted\"\"\",,"
                            "Verizon,Active\r\n"));
        QVERIFY(historyCsvHeader().contains("Received (UTC),Program,Run,Number Typed,Number Sent,"
                                            "E.164,HTTP Status,Failure,Phone Number,"));
        const QByteArray line = historyJsonLine(a);
        QVERIFY(line.endsWith("}\n"));
        // The service's answer embedded as it came: its long number is not rounded.
        QVERIFY(line.contains(",\"answer\":{\"phone_number\":\"4135923823\","
                              "\"n\":12345678901234567890}"));
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        QCOMPARE(object.value("typed").toString(), a.typed);
        QCOMPARE(object.value("e164").toString(), a.e164);
        QCOMPARE(object.value("http_status").toInt(), 200);
        QCOMPARE(object.value("failure").toBool(true), false);
        QCOMPARE(object.value("row").toObject().value("Name").toString(), a.cells.at(2));

        // A failure: no E.164 form, no HTTP status, the answer as a string.
        a.e164.clear();
        a.httpStatus = 0;
        a.failure = true;
        a.answer = QStringLiteral("Could not connect");
        const QJsonObject failed = QJsonDocument::fromJson(historyJsonLine(a)).object();
        QVERIFY(failed.value("e164").isNull());
        QVERIFY(failed.value("http_status").isNull());
        QCOMPARE(failed.value("failure").toBool(), true);
        QCOMPARE(failed.value("answer").toString(), a.answer);
    }

    void orderedOutputIsTheDesktopFiles_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("csv") << int(OutputFormat::Csv);
        QTest::newRow("jsonl") << int(OutputFormat::JsonLines);
        QTest::newRow("text") << int(OutputFormat::Text);
    }

    void orderedOutputIsTheDesktopFiles()
    {
        QFETCH(int, format);
        QTemporaryDir dir;
        const PhoneNumbers phone(QStringLiteral("US"));
        RunHistory history(phone, dir.path());
        QVERIFY(history.open(90));
        const qint64 run = history.startRun(QStringLiteral("run"));
        const QList<ResultRecord> records = sampleRecords();
        QStringList numbers;
        for (const ResultRecord& record : records)
            numbers << record.number;
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const ListLayout layout(numbers, phone);
        OrderedOutput output(OutputFormat(format), buffer, history, layout);
        // Answers come last first; one row only in memory, as when the history failed.
        output.addRow(2, history.keep(run, numbers.at(2), records.at(2), 200), &records.at(2));
        output.addRow(1, 0, &records.at(1));
        if (format != int(OutputFormat::Text))
            QCOMPARE(bytes.size(), 0); // the first row is still missing
        output.addRow(0, history.keep(run, numbers.at(0), records.at(0), 200), &records.at(0));
        output.finish();

        ReportTable table;
        table.headers = kResultCaptions;
        for (const ResultRecord& record : records)
            table.rows << ReportTable::Row{record.cells, true};
        QByteArray expected;
        if (format == int(OutputFormat::Csv)) {
            expected = resultsCsvBytes(table);
        } else if (format == int(OutputFormat::JsonLines)) {
            expected = resultsJsonLinesBytes(kResultCaptions, records, phone);
        } else {
            test::ScriptedDialogs dialogs;
            const QString file = dir.filePath(QStringLiteral("aligned.txt"));
            saveListviewProperlySpaced(table, file, nullptr, dialogs);
            QFile saved(file);
            QVERIFY(saved.open(QIODevice::ReadOnly));
            expected = saved.readAll();
        }
        QCOMPARE(bytes, expected);
    }
};

QTEST_GUILESS_MAIN(TestCliParts)
#include "tst_cliparts.moc"
