// The command-line program end to end: the test build of quillmore-cli
// against the local stand-in service, as a script would run it.

#include "clifixture.h"
#include "export/csvexport.h"
#include "export/jsontext.h"
#include "history/historystore.h"
#include "lookup/answer.h"
#include "shell/resultrecord.h"
#include "shell/settingsstore.h"
#include "support/tmpfsmount.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <sys/stat.h>

using namespace quillmore;
using namespace quillmore::test;

namespace {

void writeFile(const QString& path, const QByteArray& bytes, QFileDevice::Permissions mode)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    QVERIFY(file.setPermissions(mode));
}

constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m.start(1)); }
    void init()
    {
        // Journals, stored keys and private folders of one case are not the next one's.
        for (const char* folder : {"data", "config", "temp"})
            QDir(m.path(QString::fromLatin1(folder))).removeRecursively();
    }

    void rowsKeepInputOrderWithParallelRequests()
    {
        // Two files and standard input, mixed line ends and blank lines; the
        // slow answer comes last but its row stays first.
        writeFile(m.path(QStringLiteral("a.txt")), "5550000001\r\n\r\n2000000101\r2000000102\n",
                  kOwnerOnly);
        writeFile(m.path(QStringLiteral("b.txt")), "2000000103\n   \n2000000104", kOwnerOnly);
        const QStringList expected = {kSlow,        "2000000101", "2000000102", "2000000103",
                                      "2000000104", "2000000105", "2000000106"};
        const QStringList args = {QStringLiteral("--pause"),
                                  QStringLiteral("0"),
                                  QStringLiteral("--parallel"),
                                  QStringLiteral("4"),
                                  m.path(QStringLiteral("a.txt")),
                                  m.path(QStringLiteral("b.txt")),
                                  QStringLiteral("-")};
        const CliResult csv = m.run(args, m.environment(), "2000000105\n2000000106\n");
        QCOMPARE(csv.exitCode, 0);
        QCOMPARE(csvNumbers(csv.out), expected);

        // The same rows as JSON Lines, and the CSV is byte for byte what the
        // desktop's CSV writer makes of them.
        const CliResult jsonl =
            m.run(args + QStringList{QStringLiteral("--format"), QStringLiteral("jsonl")},
                  m.environment(), "2000000105\n2000000106\n");
        QCOMPARE(jsonl.exitCode, 0);
        ReportTable table;
        table.headers = kResultCaptions;
        QStringList jsonNumbers;
        for (const QByteArray& line : jsonl.out.split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            QVERIFY(object.value(QStringLiteral("answer")).isObject());
            jsonNumbers << object.value(QStringLiteral("number")).toString();
            ReportTable::Row row;
            for (const QString& caption : kResultCaptions)
                row.cells
                    << object.value(QStringLiteral("row")).toObject().value(caption).toString();
            table.rows << row;
        }
        QCOMPARE(jsonNumbers, expected);
        QCOMPARE(csv.out, resultsCsvBytes(table));
    }

    void usageErrorsSendNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("withKey");
        QTest::addColumn<int>("keyFileMode"); // 0: no key file written
        QTest::addColumn<QString>("says");
        const QString numbers = m.path(QStringLiteral("numbers.txt"));
        const QString keyFile = m.path(QStringLiteral("key.txt"));
        QTest::newRow("missing file")
            << QStringList{m.path(QStringLiteral("none.txt"))} << true << 0 << "no such file";
        QTest::newRow("folder") << QStringList{m.work.path()} << true << 0 << "Is a directory";
        QTest::newRow("no key") << QStringList{numbers} << false << 0 << "No API key";
        QTest::newRow("key on the command line")
            << QStringList{"--key", "abc", numbers} << true << 0 << "other users can read";
        QTest::newRow("too many in parallel")
            << QStringList{"--parallel", "17", numbers} << true << 0 << "1 to 16";
        QTest::newRow("unknown format")
            << QStringList{"--format", "xml", numbers} << true << 0 << "csv, jsonl or text";
        QTest::newRow("bad pause")
            << QStringList{"--pause", "6-3", numbers} << true << 0 << "MIN-MAX";
        QTest::newRow("group-readable key file")
            << QStringList{"--key-file", keyFile, numbers} << false << 0640 << "chmod 600";
        QTest::newRow("world-readable key file")
            << QStringList{"--key-file", keyFile, numbers} << false << 0604 << "chmod 600";
        QTest::newRow("no rate") << QStringList{"--rate", "0", numbers} << true << 0
                                 << "--rate takes";
        QTest::newRow("rate not a number")
            << QStringList{"--rate=fast", numbers} << true << 0 << "--rate takes";
        QTest::newRow("negative failures")
            << QStringList{"--max-failures", "-1", numbers} << true << 0 << "--max-failures takes";
        QTest::newRow("output is a folder")
            << QStringList{"--output", m.work.path(), numbers} << true << 0 << "folder";
    }

    void usageErrorsSendNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, withKey);
        QFETCH(int, keyFileMode);
        QFETCH(QString, says);
        writeFile(m.path(QStringLiteral("numbers.txt")), "4135923823\n", kOwnerOnly);
        if (keyFileMode != 0) {
            writeFile(m.path(QStringLiteral("key.txt")), "file-key\n", kOwnerOnly);
            QVERIFY(::chmod(QFile::encodeName(m.path(QStringLiteral("key.txt"))), keyFileMode) ==
                    0);
        }
        const qsizetype before = m.service.requests().size();
        const CliResult result =
            m.run(args, m.environment(withKey ? QStringLiteral("test-key") : QString()));
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(QString::fromLocal8Bit(result.err).contains(says), result.err.constData());
        QVERIFY(result.out.isEmpty());
        QCOMPARE(m.service.requests().size(), before);
    }

    void keySources_data()
    {
        QTest::addColumn<QString>("environmentKey");
        QTest::addColumn<QString>("fileKey");
        QTest::addColumn<QString>("storedKey");
        QTest::addColumn<QString>("sent");
        QTest::newRow("environment first") << "env-key"
                                           << "file-key"
                                           << "stored-key"
                                           << "env-key";
        QTest::newRow("key file next") << QString() << "file-key"
                                       << "stored-key"
                                       << "file-key";
        QTest::newRow("stored key last") << QString() << QString() << "stored-key"
                                         << "stored-key";
    }

    void keySources()
    {
        QFETCH(QString, environmentKey);
        QFETCH(QString, fileKey);
        QFETCH(QString, storedKey);
        QFETCH(QString, sent);
        // Where the desktop program stores its key for this user.
        const QString conf = m.path(QStringLiteral("config/Halvren/Quillmore.conf"));
        QDir().mkpath(QFileInfo(conf).absolutePath());
        SettingsStore(conf).writeSetting(kApiKeyKey, storedKey);
        QStringList args = {QStringLiteral("--pause"), QStringLiteral("0")};
        if (!fileKey.isEmpty()) {
            writeFile(m.path(QStringLiteral("key.txt")), fileKey.toUtf8() + "\r\nsecond line\n",
                      kOwnerOnly);
            args << QStringLiteral("--key-file") << m.path(QStringLiteral("key.txt"));
        }
        const qsizetype before = m.service.requests().size();
        const CliResult result = m.run(args, m.environment(environmentKey), "4135923823\n");
        QCOMPARE(result.exitCode, 0);
        const QList<LoggedRequest> requests = m.service.requests().mid(before);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).apiKey, sent);
    }

    void tooManyRequestsWaitsAndAsksAgain()
    {
        const qsizetype before = m.service.requests().size();
        const CliResult result = m.run({QStringLiteral("--pause"), QStringLiteral("0")},
                                       m.environment(), lines({"4135923823", "4290000001"}));
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(csvNumbers(result.out), QStringList({"4135923823", "4290000001"}));
        QCOMPARE(m.phonesSince(before).count(QStringLiteral("4290000001")), 3);
        QCOMPARE(QString::fromLocal8Bit(result.err).count(QStringLiteral("(HTTP 429)")), 2);

        // A service that refuses every time: 8 refusals, then the run stops as refused.
        const qsizetype again = m.service.requests().size();
        const CliResult refused =
            m.run({QStringLiteral("--pause"), QStringLiteral("0")},
                  m.environment(QStringLiteral("ratelimit")), lines({"2000000201", "2000000202"}));
        QCOMPARE(refused.exitCode, 2);
        QCOMPARE(m.phonesSince(again), QStringList(8, QStringLiteral("2000000201")));
    }

    void serviceRefusalsAndFailedRows()
    {
        // The quota: the desktop's text, no row, no further request.
        qsizetype before = m.service.requests().size();
        const CliResult quota =
            m.run({QStringLiteral("--pause"), QStringLiteral("0")},
                  m.environment(QStringLiteral("quota-text")), lines({"2000000301", "2000000302"}));
        QCOMPARE(quota.exitCode, 2);
        QVERIFY(QString::fromLocal8Bit(quota.err).contains(
            answerClassMessage(AnswerClass::QuotaExceeded)));
        QCOMPARE(csvNumbers(quota.out), QStringList());
        QCOMPARE(m.service.requests().size(), before + 1);

        // An empty answer is a row, but not a good one.
        before = m.service.requests().size();
        const CliResult empty = m.run({QStringLiteral("--pause"), QStringLiteral("0")},
                                      m.environment(), lines({"2040000001", "2000000303"}));
        QCOMPARE(empty.exitCode, 3);
        QVERIFY(empty.out.contains(",Empty answer\r\n"));
        QCOMPARE(csvNumbers(empty.out), QStringList({"2040000001", "2000000303"}));
    }

    void errorPagesAreFailedRowsAskedForAgain()
    {
        // A 503 page and a body cut off mid-way: neither is a result.
        const QStringList input{"5030000001", "5550000007", "4135923823"};
        const QStringList args{QStringLiteral("--pause"), QStringLiteral("0")};
        qsizetype before = m.service.requests().size();
        const CliResult first = m.run(args, m.environment(), lines(input));
        QCOMPARE(first.exitCode, 3);
        QCOMPARE(csvNumbers(first.out), input);
        QVERIFY(first.out.contains("5030000001,,,,,Service error (HTTP 503)\r\n"));
        QVERIFY(first.out.contains("5550000007,,,,,Could not connect\r\n"));
        // The cut-off answer may have been charged: tried once more only.
        QCOMPARE(m.phonesSince(before).count(QStringLiteral("5550000007")), 2);

        // A resume asks again for the error page, never for the good row.
        before = m.service.requests().size();
        const CliResult resumed =
            m.run(args + QStringList{QStringLiteral("--resume")}, m.environment(), lines(input));
        QCOMPARE(resumed.exitCode, 3);
        QCOMPARE(csvNumbers(resumed.out), input);
        QVERIFY(!m.phonesSince(before).contains(QStringLiteral("4135923823")));
        QVERIFY(m.phonesSince(before).contains(QStringLiteral("5030000001")));
    }

    void connectionsAreKeptAliveAndRatesKept()
    {
        // 12 numbers, 4 at once, at most 4 a second: every second of the run
        // holds at most 4 arrivals (one more for the service's clock's slack),
        // and the slots share a few kept-alive connections.
        QStringList numbers;
        for (int i = 0; i < 12; ++i)
            numbers << QStringLiteral("20000006%1").arg(i, 2, 10, QLatin1Char('0'));
        const qsizetype before = m.service.requests().size();
        const CliResult result =
            m.run({QStringLiteral("--pause"), QStringLiteral("0"), QStringLiteral("--parallel"),
                   QStringLiteral("4"), QStringLiteral("--rate"), QStringLiteral("4")},
                  m.environment(), lines(numbers));
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(csvNumbers(result.out), numbers);
        const QList<LoggedRequest> seen = m.service.requests().mid(before);
        QCOMPARE(seen.size(), numbers.size());
        QSet<int> connections;
        for (qsizetype i = 0; i < seen.size(); ++i) {
            connections << seen.at(i).connection;
            qsizetype inWindow = 0;
            for (qsizetype j = i; j < seen.size(); ++j)
                inWindow += seen.at(j).arrivalMonotonic - seen.at(i).arrivalMonotonic < 1.0;
            QVERIFY2(inWindow <= 5, qPrintable(QString::number(inWindow)));
        }
        QVERIFY2(connections.size() <= 4, qPrintable(QString::number(connections.size())));
    }

    void unreachableServiceStopsTheRun()
    {
        // Nothing listens: two numbers in a row could not connect, and the
        // rest are not tried six times each.
        QProcessEnvironment env = m.environment();
        env.insert(QStringLiteral("QUILLMORE_TEST_SERVICE_URL"), unusedLoopbackUrl());
        const QStringList numbers = {"2000000701", "2000000702", "2000000703", "2000000704",
                                     "2000000705"};
        const CliResult result =
            m.run({QStringLiteral("--pause"), QStringLiteral("0"), QStringLiteral("--parallel"),
                   QStringLiteral("2"), QStringLiteral("--max-failures"), QStringLiteral("2")},
                  env, lines(numbers));
        QCOMPARE(result.exitCode, 3);
        const QString err = QString::fromLocal8Bit(result.err);
        QVERIFY2(err.contains(QStringLiteral("The service looks unreachable: 2 numbers in a row "
                                             "could not connect; no new request is sent.")),
                 result.err.constData());
        QVERIFY(err.contains(QStringLiteral("--resume")));
        // The request that went out while the second failed still ends; none after it.
        const QStringList rows = csvNumbers(result.out);
        QVERIFY2(rows == numbers.mid(0, 2) || rows == numbers.mid(0, 3),
                 qPrintable(rows.join(u' ')));
        QCOMPARE(result.out.count(",Could not connect\r\n"), rows.size());
    }

    void numbersJudgedBeforeTheyArePaidFor()
    {
        // 111 cannot be valid; two spellings of one number are duplicates.
        const QByteArray input = lines({"111", "413-592-3823", "+1 (413) 592 3823"});
        qsizetype before = m.service.requests().size();
        const CliResult dry =
            m.run({QStringLiteral("--dry-run"), QStringLiteral("--region"), QStringLiteral("us"),
                   QStringLiteral("--pause"), QStringLiteral("2-4")},
                  m.environment(), input);
        QCOMPARE(dry.exitCode, 0);
        QCOMPARE(QString::fromUtf8(dry.out),
                 QStringLiteral("Numbers that would be sent: 3\n"
                                "Lines without a number (not sent): 0\n"
                                "Numbers that cannot be valid: 1\n"
                                "Duplicate numbers: 1\n"
                                "Time the pauses would take: 4 s to 8 s\n"));
        QCOMPARE(m.service.requests().size(), before);

        const CliResult skipped =
            m.run({QStringLiteral("--skip-invalid"), QStringLiteral("--pause"), QStringLiteral("0"),
                   QStringLiteral("--format"), QStringLiteral("jsonl")},
                  m.environment(), input);
        QCOMPARE(skipped.exitCode, 0);
        QVERIFY(QString::fromLocal8Bit(skipped.err)
                    .contains(QStringLiteral("1 number that cannot be valid skipped.")));
        QCOMPARE(m.phonesSince(before), QStringList({"4135923823", "14135923823"}));
        const QList<QByteArray> rows = skipped.out.trimmed().split('\n');
        QCOMPARE(rows.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(rows.at(0)).object().value("e164").toString(),
                 QStringLiteral("+14135923823"));

        const CliResult badRegion =
            m.run({QStringLiteral("--region"), QStringLiteral("USA")}, m.environment(), input);
        QCOMPARE(badRegion.exitCode, 1);
    }

    void resumeDoesNotPayTwice_data()
    {
        QTest::addColumn<bool>("kill");
        QTest::addColumn<QString>("first");
        QTest::newRow("SIGTERM") << false << "2000000401";
        QTest::newRow("SIGKILL") << true << "2000000501";
    }

    void resumeDoesNotPayTwice()
    {
        QFETCH(bool, kill);
        QFETCH(QString, first);
        const QString tail = first.left(9);
        const QStringList numbers = {first, tail + u'2', kSlow, tail + u'3', tail + u'4'};
        const QString output = m.path(QStringLiteral("out.csv"));
        const QStringList args = {QStringLiteral("--pause"), QStringLiteral("0"),
                                  QStringLiteral("--output"), output};
        const qsizetype before = m.service.requests().size();
        QProcess process;
        m.launch(process, args, m.environment(), lines(numbers));
        // Stopped while the slow answer is on its way.
        QTRY_VERIFY_WITH_TIMEOUT(m.phonesSince(before).contains(kSlow), 20000);
        if (kill)
            process.kill();
        else
            process.terminate();
        QVERIFY(process.waitForFinished(20000));
        if (!kill) {
            QCOMPARE(process.exitCode(), 130);
            // The answer under way was waited for and kept, beside the output
            // that only a complete run may write.
            QVERIFY(!QFile::exists(output));
            QFile written(output + QStringLiteral(".partial"));
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(csvNumbers(written.readAll()), numbers.mid(0, 3));
        }

        // Without --resume the earlier answers are left alone, and nothing is sent.
        const qsizetype stopped = m.service.requests().size();
        const CliResult refused = m.run(args, m.environment(), lines(numbers));
        QCOMPARE(refused.exitCode, 1);
        QVERIFY(refused.err.contains("--resume"));
        QCOMPARE(m.service.requests().size(), stopped);

        const CliResult resumed =
            m.run(args + QStringList{QStringLiteral("--resume")}, m.environment(), lines(numbers));
        QCOMPARE(resumed.exitCode, 0);
        QFile written(output);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(csvNumbers(written.readAll()), numbers);
        // Each number paid once; only an answer cut off by SIGKILL may be asked again.
        const QStringList phones = m.phonesSince(before);
        for (const QString& number : numbers)
            QVERIFY2(phones.count(number) == 1 ||
                         (kill && number == kSlow && phones.count(number) == 2),
                     qPrintable(number));
        // Done: no run is left to resume, and no private folder is left.
        HistoryStore history(m.path(QStringLiteral("data/Halvren/Quillmore")));
        history.open();
        QCOMPARE(history.unfinishedAnswers(kCliProgram).size(), 0);
        QCOMPARE(QDir(m.path(QStringLiteral("temp"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList());
    }

    void fullDisksAreToldAndKeepWhatTheyHad_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("leaveFree");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("told"); // the start of the line that tells it
        // Requests were sent before the first row found no room.
        QTest::newRow("results file") << "--output" << 0 << 4
                                      << "Cannot write the results: Could not save %1: No space "
                                         "left on device";
        // The history's folder on the full disk: it cannot keep the answers.
        QTest::newRow("history") << "XDG_DATA_HOME" << 4096 << 0
                                 << "The lookup history %1 cannot be used: ";
    }

    void fullDisksAreToldAndKeepWhatTheyHad()
    {
        QFETCH(QString, option);
        QFETCH(int, leaveFree);
        QFETCH(int, exitCode);
        QFETCH(QString, told);
        const TmpfsMount disk(m.path(QStringLiteral("disk")), QStringLiteral("size=64k"));
        if (!disk.isMounted())
            QSKIP(kTmpfsSkipReason);
        const QString path =
            option == u"--output"
                ? disk.filePath(QStringLiteral("run.file"))
                : disk.filePath(QStringLiteral("Halvren/Quillmore/history.sqlite"));
        QByteArray old;
        for (int i = 0; i < 300; ++i)
            old += "the good old file, line " + QByteArray::number(i) + "\n";
        if (option == u"--output")
            writeFile(path, old, kOwnerOnly);
        QVERIFY(disk.fill(leaveFree));

        const QStringList numbers = {"2000000601", "2000000602", "2000000603"};
        QStringList args = {QStringLiteral("--pause"), QStringLiteral("0")};
        QProcessEnvironment env = m.environment();
        if (option == u"--output")
            args << option << path;
        else
            env.insert(option, disk.path());
        const qsizetype before = m.service.requests().size();
        const CliResult result = m.run(args, env, lines(numbers));
        QCOMPARE(result.exitCode, exitCode);
        const QStringList errors = QString::fromLocal8Bit(result.err).split(u'\n');
        QCOMPARE(
            errors.filter(QRegularExpression(u'^' + QRegularExpression::escape(told.arg(path))))
                .size(),
            1);
        if (option == u"--output") {
            QVERIFY(result.out.isEmpty());
            QFile written(path);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(written.readAll(), old);
            QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden),
                     (QStringList{"filler", "run.file"}));
            // The answers paid for wait for --resume, which pays for none again.
            const QStringList paid = m.phonesSince(before);
            QVERIFY(!paid.isEmpty());
            const qsizetype resumedAt = m.service.requests().size();
            const CliResult resumed =
                m.run({QStringLiteral("--pause"), QStringLiteral("0"), QStringLiteral("--resume")},
                      env, lines(numbers));
            QCOMPARE(resumed.exitCode, 0);
            QCOMPARE(csvNumbers(resumed.out), numbers);
            for (const QString& number : paid)
                QVERIFY2(!m.phonesSince(resumedAt).contains(number), qPrintable(number));
        } else {
            // Every row still reaches the output.
            QCOMPARE(csvNumbers(result.out), numbers);
            QCOMPARE(m.phonesSince(before), numbers);
        }
    }

private:
    CliFixture m;
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
