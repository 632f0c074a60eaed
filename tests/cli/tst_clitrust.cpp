// What the command-line program must never do with the user's money or
// files: pay for a line that holds no number, pay again for a number an
// earlier run answered because the input changed, replace a good output
// file with the rows of a run that did not finish, or overwrite an input.

#include "clifixture.h"
#include "history/historystore.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>

using namespace quillmore::test;

class TestCliTrust : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m.start(1)); }
    void init() { m.clearHomes(); }

    void linesWithoutANumberAreNeverSent()
    {
        const QByteArray input = lines({"Phone Number", "4135923823", "note: call back", "  -  "});
        const qsizetype before = m.service.requests().size();
        const CliResult dry =
            m.run({QStringLiteral("--dry-run"), QStringLiteral("--pause"), QStringLiteral("0")},
                  m.environment(), input);
        QCOMPARE(dry.exitCode, 0);
        QVERIFY2(dry.out.contains("Numbers that would be sent: 1\n"), dry.out.constData());
        QVERIFY(dry.out.contains("Lines without a number (not sent): 3\n"));
        QVERIFY(dry.out.contains("Numbers that cannot be valid: 0\n"));

        // With or without --skip-invalid: a row that says so, with the line as typed.
        for (const QStringList& extra : {QStringList(), QStringList{"--skip-invalid"}}) {
            const CliResult run =
                m.run(QStringList{QStringLiteral("--pause"), QStringLiteral("0")} + extra,
                      m.environment(), input);
            QCOMPARE(run.exitCode, 0);
            QVERIFY(run.out.contains("Phone Number,,,,,No number\r\n"));
            QVERIFY(run.out.contains("note: call back,,,,,No number\r\n"));
            QCOMPARE(csvNumbers(run.out),
                     QStringList({"Phone Number", "4135923823", "note: call back", "  -  "}));
            QVERIFY(run.err.contains("3 lines without a number not sent."));
        }
        QCOMPARE(m.phonesSince(before), QStringList({"4135923823", "4135923823"}));
    }

    // No number is that long: the library is never asked, and a request for
    // it would be paid for an answer the service refuses to give.
    void entriesTooLongToBeANumberAreNeverSent()
    {
        const QString tooLong(300000, u'7');
        const QByteArray input = lines({"4135923823", tooLong});
        const CliResult dry = m.run({QStringLiteral("--dry-run")}, m.environment(), input);
        QCOMPARE(dry.exitCode, 0);
        QVERIFY2(dry.out.contains("Numbers that would be sent: 1\n"), dry.out.constData());
        QVERIFY(dry.out.contains("Entries too long to be a number (not sent): 1\n"));

        const qsizetype before = m.service.requests().size();
        const CliResult run =
            m.run({QStringLiteral("--pause"), QStringLiteral("0")}, m.environment(), input);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(m.phonesSince(before), QStringList({"4135923823"}));
        QVERIFY(run.out.endsWith(tooLong.toUtf8() + ",,,,,Cannot be a valid number\r\n"));
        QVERIFY2(run.err.contains("1 entry too long to be a number not sent."),
                 run.err.constData());
    }

    void resumeFindsAnswersByTheNumbers()
    {
        const QStringList first = {"2000000601", "2000000602", kSlow, "2000000603"};
        const QString output = m.path(QStringLiteral("grown.csv"));
        const QStringList args = {QStringLiteral("--pause"), QStringLiteral("0"),
                                  QStringLiteral("--output"), output};
        const qsizetype before = m.service.requests().size();
        stopDuringSlowAnswer(args, first, SIGTERM);

        // The list grew by a number and lost none: only what has no answer goes out.
        const QStringList grown = first + QStringList{"2000000604"};
        const qsizetype resumedAt = m.service.requests().size();
        const CliResult refused = m.run(args, m.environment(), lines(grown));
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("--resume"), refused.err.constData());
        QCOMPARE(m.service.requests().size(), resumedAt);

        const CliResult resumed =
            m.run(args + QStringList{QStringLiteral("--resume")}, m.environment(), lines(grown));
        QCOMPARE(resumed.exitCode, 0);
        QCOMPARE(csvNumbers(readAll(output)), grown);
        const QStringList phones = m.phonesSince(before);
        for (const QString& number : grown)
            QVERIFY2(phones.count(number) == 1, qPrintable(number));
        // Every answer is in the complete output: no run is left to resume.
        {
            quillmore::HistoryStore history(m.path(QStringLiteral("data/Halvren/Quillmore")));
            history.open();
            QCOMPARE(history.unfinishedAnswers(quillmore::kCliProgram).size(), 0);
        }

        // A run of quite other numbers is told of, and the run goes on.
        stopDuringSlowAnswer(args, {"2000000701", kSlow, "2000000702"}, SIGTERM);
        const CliResult unrelated =
            m.run({QStringLiteral("--pause"), QStringLiteral("0"), QStringLiteral("--resume")},
                  m.environment(), lines({"2000000801"}));
        QCOMPARE(unrelated.exitCode, 0);
        QVERIFY2(unrelated.err.contains("found no earlier answers"), unrelated.err.constData());
    }

    void existingOutputReplacedOnlyByACompleteRun()
    {
        const QString output = m.path(QStringLiteral("kept.csv"));
        const QString partial = output + QStringLiteral(".partial");
        writeFile(output, "the good file of last week\n");
        QFile::remove(partial);
        const QStringList numbers = {"2000000901", kSlow, "2000000902"};
        const QStringList args = {QStringLiteral("--pause"), QStringLiteral("0"),
                                  QStringLiteral("--output"), output};
        const CliResult stopped = stopDuringSlowAnswer(args, numbers, SIGTERM);
        QCOMPARE(readAll(output), QByteArray("the good file of last week\n"));
        QCOMPARE(csvNumbers(readAll(partial)), numbers.mid(0, 2));
        QVERIFY2(stopped.err.contains("kept.csv.partial"), stopped.err.constData());

        // A refusal by the service is no complete run either.
        const CliResult refused =
            m.run(args, m.environment(QStringLiteral("quota-text")), lines({"2000000903"}));
        QCOMPARE(refused.exitCode, 2);
        QCOMPARE(readAll(output), QByteArray("the good file of last week\n"));

        // The complete run replaces it, and the rows beside it go.
        const CliResult resumed =
            m.run(args + QStringList{QStringLiteral("--resume")}, m.environment(), lines(numbers));
        QCOMPARE(resumed.exitCode, 0);
        QCOMPARE(csvNumbers(readAll(output)), numbers);
        QVERIFY(!QFile::exists(partial));
    }

    void outputThatIsAnInputIsRefused()
    {
        const QString list = m.path(QStringLiteral("mine.txt"));
        writeFile(list, "4135923823\n");
        QDir().mkpath(m.path(QStringLiteral("sub")));
        const qsizetype before = m.service.requests().size();
        // The same file by another spelling.
        const QString sameFile = m.path(QStringLiteral("sub/../mine.txt"));
        const CliResult refused =
            m.run({QStringLiteral("--output"), sameFile, list}, m.environment());
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("is one of the inputs"), refused.err.constData());
        QCOMPARE(readAll(list), QByteArray("4135923823\n"));
        QCOMPARE(m.service.requests().size(), before);
    }

    void resultsThatCannotBeWrittenHaveTheirOwnStatus()
    {
        // Standard output on a full device: the requests were sent and paid
        // for, so the status is not "nothing was sent", and the answers stay.
        const QStringList numbers = {"2000001001", "2000001002"};
        const qsizetype sentFrom = m.service.requests().size();
        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        m.launch(process, {QStringLiteral("--pause"), QStringLiteral("0")}, m.environment(),
                 lines(numbers));
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 4);
        QVERIFY(process.readAllStandardError().contains("--resume"));
        // They wait for --resume, which writes them without paying again.
        const QStringList paid = m.phonesSince(sentFrom);
        QVERIFY(!paid.isEmpty());
        const qsizetype before = m.service.requests().size();
        const CliResult resumed =
            m.run({QStringLiteral("--pause"), QStringLiteral("0"), QStringLiteral("--resume")},
                  m.environment(), lines(numbers));
        QCOMPARE(resumed.exitCode, 0);
        QCOMPARE(csvNumbers(resumed.out), numbers);
        for (const QString& number : paid)
            QVERIFY2(!m.phonesSince(before).contains(number), qPrintable(number));
    }

    void summaryCountsEveryKindOfRow()
    {
        const QString summaryFile = m.path(QStringLiteral("summary.json"));
        const QByteArray input =
            lines({"Phone Number", "4135923823", "2040000001", "5030000001", "5550000007"});
        const QStringList args = {QStringLiteral("--pause"), QStringLiteral("0"),
                                  QStringLiteral("--summary"), summaryFile};
        const CliResult run = m.run(args, m.environment(), input);
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains("Paid lookups"), run.err.constData());
        const QJsonObject summary = QJsonDocument::fromJson(readAll(summaryFile)).object();
        QCOMPARE(summary.value("rows").toInt(), 5);
        // The answer, the empty answer and the error page reached the service.
        QCOMPARE(summary.value("paid").toInt(), 3);
        QCOMPARE(summary.value("reused").toInt(), 0);
        QCOMPARE(summary.value("not_sent").toObject().value("No number").toInt(), 1);
        const QJsonObject byStatus = summary.value("by_status").toObject();
        QCOMPARE(byStatus.value("Could not connect").toInt(), 1);
        QCOMPARE(byStatus.value("Empty answer").toInt(), 1);
        QCOMPARE(byStatus.value("Service error (HTTP 503)").toInt(), 1);
        int typed = 0;
        for (const QJsonValue& count : summary.value("by_type").toObject())
            typed += count.toInt();
        QCOMPARE(typed, 5);
        QVERIFY(summary.value("top_providers").isArray());

        // --quiet keeps standard error for what went wrong; the file is still written.
        QFile::remove(summaryFile);
        const CliResult quiet = m.run(args + QStringList{QStringLiteral("--quiet")},
                                      m.environment(), lines({"2000001101"}));
        QCOMPARE(quiet.exitCode, 0);
        QVERIFY(!quiet.err.contains("Paid lookups"));
        QCOMPARE(QJsonDocument::fromJson(readAll(summaryFile)).object().value("paid").toInt(), 1);
    }

private:
    // Starts a run and sends `signal` while the slow number is on its way.
    CliResult stopDuringSlowAnswer(const QStringList& args, const QStringList& numbers, int signal)
    {
        const qsizetype before = m.service.requests().size();
        QProcess process;
        m.launch(process, args, m.environment(), lines(numbers));
        CliResult result;
        if (!QTest::qWaitFor([&] { return m.phonesSince(before).contains(kSlow); }, 20000))
            return result;
        ::kill(pid_t(process.processId()), signal);
        if (!process.waitForFinished(20000))
            return result;
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    CliFixture m;
};

QTEST_GUILESS_MAIN(TestCliTrust)
#include "tst_clitrust.moc"
