// The command-line program and the lookup history: answers reused within
// --reuse days and never beyond, the journals of earlier versions taken in,
// --history and --forget, two runs at once, and a history that cannot be used.

#include "clifixture.h"
#include "export/journalformat.h"
#include "history/historystore.h"
#include "lookup/resultrow.h"
#include "shell/resultrecord.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const QStringList kNoPause = {QStringLiteral("--pause"), QStringLiteral("0")};

// An answer the desktop received `ageDays` ago, for reuse to find.
qint64 storeDesktopAnswer(const QString& folder, const QString& digits, double ageDays)
{
    HistoryStore history(folder);
    history.open();
    StoredAnswer a;
    a.session = history.startSession(kDesktopProgram);
    a.program = kDesktopProgram;
    a.received = QDateTime::currentDateTimeUtc().addSecs(qint64(-ageDays * 86400));
    a.typed = a.sent = digits;
    a.e164 = QStringLiteral("+1") + digits;
    a.answer = QStringLiteral("{\"phone_number\":\"%1\",\"name\":\"Kept Answer\","
                              "\"is_active\":true}")
                   .arg(digits);
    a.httpStatus = 200;
    const ResultRecord row = resultRow(digits, a.answer, 200);
    a.cells = row.cells;
    a.rowStatus = row.cells.value(5);
    return history.store(a);
}

} // namespace

class TestCliHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m.start(1)); }
    void init() { m.clearHomes(); }

    void reuseOnlyWithinTheDaysAsked_data()
    {
        QTest::addColumn<QString>("stored"); // the number as an earlier lookup spelt it
        QTest::addColumn<double>("ageDays"); // how old its answer is
        QTest::addColumn<bool>("failure");   // "Could not connect" rather than an answer
        QTest::addColumn<QString>("reuse");  // --reuse; empty: not given
        QTest::addColumn<bool>("reused");
        const QString number = QStringLiteral("+1 413 592 3823");
        QTest::newRow("just younger") << number << 29.9 << false << "30" << true;
        QTest::newRow("just older") << number << 30.1 << false << "30" << false;
        QTest::newRow("without --reuse") << number << 0.1 << false << "" << false;
        QTest::newRow("a failure never") << number << 0.1 << true << "30" << false;
        QTest::newRow("another spelling") << "(413) 592-3823" << 1.0 << false << "2" << true;
        // No E.164 form: matched by the digits sent.
        QTest::newRow("digits of an invalid number") << "1-11" << 1.0 << false << "2" << true;
    }

    void reuseOnlyWithinTheDaysAsked()
    {
        QFETCH(QString, stored);
        QFETCH(double, ageDays);
        QFETCH(bool, failure);
        QFETCH(QString, reuse);
        QFETCH(bool, reused);
        const bool invalid = stored == u"1-11";
        const QString typed = invalid ? QStringLiteral("111") : QStringLiteral("+1 413 592 3823");
        const QString digits = invalid ? QStringLiteral("111") : QStringLiteral("4135923823");
        {
            HistoryStore history(dataFolder());
            history.open();
            StoredAnswer a;
            a.session = history.startSession(kDesktopProgram);
            a.program = kDesktopProgram;
            a.received = QDateTime::currentDateTimeUtc().addSecs(qint64(-ageDays * 86400));
            a.typed = stored;
            a.sent = digits;
            a.e164 = invalid ? QString() : QStringLiteral("+14135923823");
            a.answer = failure ? QStringLiteral("Could not connect")
                               : QStringLiteral("{\"phone_number\":\"%1\",\"name\":\"Kept "
                                                "Answer\",\"is_active\":true}")
                                     .arg(digits);
            a.httpStatus = failure ? 0 : 200;
            const ResultRecord row = resultRow(stored, a.answer, a.httpStatus);
            a.cells = row.cells;
            a.rowStatus = row.cells.value(5);
            a.failure = failure;
            QVERIFY(history.store(a) > 0);
        }
        QStringList args = kNoPause + QStringList{QStringLiteral("--region"), QStringLiteral("US")};
        if (!reuse.isEmpty())
            args << QStringLiteral("--reuse") << reuse;
        const qsizetype before = m.service.requests().size();
        const CliResult result = m.run(args, m.environment(), lines({typed}));
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(m.phonesSince(before).size(), reused ? 0 : 1);
        QCOMPARE(result.out.contains("Kept Answer"), reused);
        if (!reuse.isEmpty())
            QVERIFY2(result.err.contains(
                         QStringLiteral("%1 reused (up to %2 days old)")
                             .arg(reused ? QStringLiteral("1 answer") : QStringLiteral("0 answers"),
                                  reuse)
                             .toUtf8()),
                     result.err.constData());
    }

    void reusedRowIsTheFreshRow_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("csv") << "csv";
        QTest::newRow("jsonl") << "jsonl";
    }

    void reusedRowIsTheFreshRow()
    {
        QFETCH(QString, format);
        // A sample with every field, a line without a number, and a number
        // spelt twice.
        const QByteArray input = lines({"4135923823", "note", "2000000101", "413-592-3823"});
        const QStringList args =
            kNoPause + QStringList{QStringLiteral("--format"), format, QStringLiteral("--reuse"),
                                   QStringLiteral("1")};
        const qsizetype before = m.service.requests().size();
        const CliResult fresh = m.run(args, m.environment(), input);
        QCOMPARE(fresh.exitCode, 0);
        QCOMPARE(m.phonesSince(before).size(), 3);
        QVERIFY(fresh.err.contains("0 answers reused (up to 1 days old)"));

        const qsizetype again = m.service.requests().size();
        const CliResult reused = m.run(args, m.environment(), input);
        QCOMPARE(reused.exitCode, 0);
        QCOMPARE(m.phonesSince(again), QStringList());
        QVERIFY2(reused.err.contains("3 answers reused (up to 1 days old)"),
                 reused.err.constData());
        QCOMPARE(reused.out, fresh.out);
    }

    void oldJournalTakenInAtFirstStart()
    {
        // A run of an earlier version left its journal and was killed.
        const QString runs = dataFolder() + QStringLiteral("/runs");
        QVERIFY(QDir().mkpath(runs));
        const QString journal = runs + QStringLiteral("/0123abcd.journal");
        const ResultRecord kept(
            QStringLiteral("2000000301"),
            {"2000000301", "Mobile", "From The Journal", "", "", "Active"},
            QStringLiteral("{\"phone_number\":\"2000000301\",\"name\":\"From The Journal\"}"));
        {
            QFile file(journal);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(journalAppendLine(std::nullopt, kept));
        }
        const QStringList numbers = {"2000000301", "2000000302"};
        const qsizetype before = m.service.requests().size();
        const CliResult refused = m.run(kNoPause, m.environment(), lines(numbers));
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("--resume"), refused.err.constData());
        QVERIFY(!QFileInfo::exists(journal));
        QVERIFY(QFileInfo(journal + QStringLiteral(".imported")).isFile());

        const CliResult resumed = m.run(kNoPause + QStringList{QStringLiteral("--resume")},
                                        m.environment(), lines(numbers));
        QCOMPARE(resumed.exitCode, 0);
        QCOMPARE(csvNumbers(resumed.out), QStringList({"2000000301", "2000000302"}));
        QVERIFY2(resumed.out.contains("From The Journal"), resumed.out.constData());
        QCOMPARE(m.phonesSince(before), QStringList{"2000000302"});
        // Taken in once: the run that finished leaves nothing to resume.
        const CliResult after = m.run(kNoPause, m.environment(), lines(numbers));
        QCOMPARE(after.exitCode, 0);
    }

    void historyWrittenAndNumbersForgotten()
    {
        const CliResult looked =
            m.run(kNoPause, m.environment(), lines({"(413) 592-3823", "2000000401", "5030000001"}));
        QCOMPARE(looked.exitCode, 3);
        {
            // An answer of ten days ago.
            HistoryStore history(dataFolder());
            history.open();
            StoredAnswer old;
            old.session = history.startSession(kDesktopProgram);
            old.program = kDesktopProgram;
            old.received = QDateTime::currentDateTimeUtc().addDays(-10);
            old.typed = old.sent = QStringLiteral("2000000499");
            old.answer = QStringLiteral("{}");
            old.httpStatus = 200;
            old.cells = QStringList{old.typed, {}, {}, {}, {}, QStringLiteral("Inactive")};
            QVERIFY(history.store(old) > 0);
        }
        const CliResult all = m.run({QStringLiteral("--history")}, m.environment(QString()));
        QCOMPARE(all.exitCode, 0);
        const QList<QByteArray> rows = all.out.split('\n');
        QVERIFY(rows.at(0).endsWith("Received (UTC),Program,Run,Number Typed,Number Sent,E.164,"
                                    "HTTP Status,Failure,Phone Number,Type,Name,Location,"
                                    "Provider,Status\r"));
        QCOMPARE(rows.size(), 6); // header, four answers, the end
        // Oldest first; the service error kept, as a failure.
        QVERIFY(rows.at(1).contains(",desktop,"));
        QVERIFY(all.out.contains(",(413) 592-3823,4135923823,'+14135923823,200,no,"));
        QVERIFY2(all.out.contains(",5030000001,5030000001,,503,yes,5030000001,,,,,Service error "
                                  "(HTTP 503)\r\n"),
                 all.out.constData());

        const QString since = QDateTime::currentDateTimeUtc().addDays(-5).toString(Qt::ISODate);
        const CliResult recent = m.run({QStringLiteral("--history"), QStringLiteral("--since"),
                                        since, QStringLiteral("--format"), QStringLiteral("jsonl")},
                                       m.environment(QString()));
        QCOMPARE(recent.exitCode, 0);
        const QList<QByteArray> objects = recent.out.trimmed().split('\n');
        QCOMPARE(objects.size(), 3);
        const QJsonObject first = QJsonDocument::fromJson(objects.at(0)).object();
        QCOMPARE(first.value("typed").toString(), QStringLiteral("(413) 592-3823"));
        QCOMPARE(first.value("program").toString(), QStringLiteral("cli"));
        QVERIFY(first.value("answer").isObject());

        // Another spelling of the number finds its answers.
        const CliResult forgotten =
            m.run({QStringLiteral("--forget"), QStringLiteral("+1 413 592 3823"),
                   QStringLiteral("2000000999")},
                  m.environment(QString()));
        QCOMPARE(forgotten.exitCode, 0);
        QCOMPARE(forgotten.out,
                 QByteArray("1 answer of +1 413 592 3823 removed from the lookup history.\n"
                            "0 answers of 2000000999 removed from the lookup history.\n"));
        const CliResult left = m.run({QStringLiteral("--history")}, m.environment(QString()));
        QVERIFY(!left.out.contains("4135923823"));
        QCOMPARE(left.out.split('\n').size(), 5);
        // Nothing is removed when one of the numbers holds none.
        const CliResult slip = m.run(
            {QStringLiteral("--forget"), QStringLiteral("2000000401"), QStringLiteral("call back")},
            m.environment(QString()));
        QCOMPARE(slip.exitCode, 1);
        QVERIFY(slip.err.contains("\"call back\" holds no number"));
        QVERIFY(m.run({QStringLiteral("--history")}, m.environment(QString()))
                    .out.contains("2000000401"));
    }

    // An interrupted run that reused answers, resumed without --reuse, pays
    // for none of them: they are that run's answers now.
    void reusedAnswersAreNotPaidForAgainOnResume()
    {
        const QString reused = QStringLiteral("4135920001");
        QVERIFY(storeDesktopAnswer(dataFolder(), reused, 1) > 0);
        const QStringList numbers = {reused, kSlow, QStringLiteral("2000000851")};
        const qsizetype before = m.service.requests().size();
        QProcess first;
        m.launch(first,
                 kNoPause + QStringList{QStringLiteral("--reuse"), QStringLiteral("5"),
                                        QStringLiteral("--output"), m.path("out.csv")},
                 m.environment(), lines(numbers));
        QTRY_VERIFY_WITH_TIMEOUT(m.phonesSince(before).contains(kSlow), 20000);
        QCOMPARE(::kill(pid_t(first.processId()), SIGINT), 0);
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitCode(), 130);
        QVERIFY(!m.phonesSince(before).contains(reused));

        const qsizetype resumedFrom = m.service.requests().size();
        const CliResult resumed = m.run(kNoPause + QStringList{QStringLiteral("--resume")},
                                        m.environment(), lines(numbers));
        QCOMPARE(resumed.exitCode, 0);
        QCOMPARE(csvNumbers(resumed.out), numbers);
        QVERIFY(resumed.out.contains("Kept Answer"));
        // The slow number's answer came after the interruption; the last
        // one was asked only if the signal came late.
        const QStringList sent = m.phonesSince(resumedFrom);
        QVERIFY2(!sent.contains(reused), qPrintable(sent.join(u' ')));
        QVERIFY2(!sent.contains(kSlow), qPrintable(sent.join(u' ')));
    }

    // A refusal is no row, but the attempt is in the history, as a failure,
    // once; a resume asks for the number again.
    void refusalKeptAsAFailure()
    {
        const QString quota = QStringLiteral("4030000002");
        const QStringList numbers = {QStringLiteral("2000000861"), quota};
        const qsizetype before = m.service.requests().size();
        const CliResult refused = m.run(kNoPause, m.environment(), lines(numbers));
        QCOMPARE(refused.exitCode, 2);
        QCOMPARE(m.phonesSince(before), numbers);
        const QByteArray refusalRow = ",4030000002,4030000002,,403,yes,4030000002,";
        QByteArray history = m.run({QStringLiteral("--history")}, m.environment(QString())).out;
        QCOMPARE(history.count(refusalRow), 1);
        QCOMPARE(history.count(",2000000861,2000000861,"), 1);

        const qsizetype resumedFrom = m.service.requests().size();
        const CliResult resumed = m.run(kNoPause + QStringList{QStringLiteral("--resume")},
                                        m.environment(), lines(numbers));
        QCOMPARE(resumed.exitCode, 2);
        QCOMPARE(m.phonesSince(resumedFrom), QStringList{quota});
        history = m.run({QStringLiteral("--history")}, m.environment(QString())).out;
        QCOMPARE(history.count(refusalRow), 2);
        QCOMPARE(history.count(",2000000861,2000000861,"), 1);
    }

    // The journals an earlier version left, kept beside the history after
    // it took them in, lose the forgotten numbers' rows too.
    void forgetReachesTheImportedJournals()
    {
        const QString secret = QStringLiteral("Quintessential Erasable");
        const auto line = [&](std::optional<quint64> id, const QString& number) {
            const QString name = number.contains(u"592") ? secret : QStringLiteral("Kept Person");
            return journalAppendLine(
                id, ResultRecord(number, {number, "Mobile", name, {}, {}, "Active"},
                                 QStringLiteral("{\"name\":\"%1\"}").arg(name)));
        };
        const QString desktop = dataFolder() + QStringLiteral("/results-1.journal");
        const QString run = dataFolder() + QStringLiteral("/runs/0123abcd.journal");
        QVERIFY(QDir().mkpath(dataFolder() + QStringLiteral("/runs")));
        QVERIFY(writeBytes(desktop, line(1, "413.592.3823") + line(2, "2000000871")));
        QVERIFY(writeBytes(run, line(std::nullopt, "(413) 592-3823") +
                                    line(std::nullopt, "2000000872")));

        const CliResult forgotten =
            m.run({QStringLiteral("--forget"), QStringLiteral("+1 413 592 3823")},
                  m.environment(QString()));
        QCOMPARE(forgotten.exitCode, 0);
        QCOMPARE(forgotten.out,
                 QByteArray("2 answers of +1 413 592 3823 removed from the lookup history.\n"));
        for (const QString& journal : {desktop, run}) {
            const QByteArray left = readAll(journal + QStringLiteral(".imported"));
            QVERIFY2(!left.contains(secret.toUtf8()), qPrintable(journal));
            QCOMPARE(replayJournal(left).size(), 1);
        }
        QVERIFY(readAll(desktop + QStringLiteral(".imported")).contains("2000000871"));
        QVERIFY(readAll(run + QStringLiteral(".imported")).contains("2000000872"));
        const QByteArray history =
            m.run({QStringLiteral("--history")}, m.environment(QString())).out;
        QVERIFY(!history.contains(secret.toUtf8()));
        QVERIFY(history.contains("2000000872"));
    }

    void forgetThatCannotRewriteAJournalFails()
    {
        if (::geteuid() != 0)
            QSKIP("Mounting a read-only folder needs root.");
        const QString runs = dataFolder() + QStringLiteral("/runs");
        QVERIFY(QDir().mkpath(runs));
        if (QProcess::execute(QStringLiteral("mount"),
                              {"-t", "tmpfs", "-o", "size=64k", "tmpfs", runs}) != 0)
            QSKIP("A tmpfs cannot be mounted here.");
        const QString journal = runs + QStringLiteral("/0123abcd.journal.imported");
        const bool written = writeBytes(
            journal, journalAppendLine(std::nullopt, ResultRecord(QStringLiteral("4135923823"),
                                                                  {"4135923823"}, "{}")));
        const int remounted =
            QProcess::execute(QStringLiteral("mount"), {"-o", "remount,ro", runs});
        const CliResult forgotten = m.run(
            {QStringLiteral("--forget"), QStringLiteral("4135923823")}, m.environment(QString()));
        QProcess::execute(QStringLiteral("umount"), {runs});
        QVERIFY(written);
        QCOMPARE(remounted, 0);
        QCOMPARE(forgotten.exitCode, 1);
        QVERIFY2(forgotten.err.contains(
                     QStringLiteral("The forgotten numbers are still in %1: Could not save ")
                         .arg(journal)
                         .toUtf8()),
                 forgotten.err.constData());
    }

    void twoRunsAtOnceKeepEveryAnswer()
    {
        const QStringList first = {"5550000001", "2000000501", "2000000502"};
        const QStringList second = {"2000000601", "5550000001", "2000000602"};
        QProcess a;
        QProcess b;
        m.launch(a, kNoPause, m.environment(), lines(first));
        m.launch(b, kNoPause, m.environment(), lines(second));
        QVERIFY(a.waitForFinished(60000));
        QVERIFY(b.waitForFinished(60000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        QCOMPARE(csvNumbers(a.readAllStandardOutput()), first);
        QCOMPARE(csvNumbers(b.readAllStandardOutput()), second);
        const CliResult all = m.run({QStringLiteral("--history")}, m.environment(QString()));
        QCOMPARE(all.out.split('\n').size(), 8); // header, six answers, the end
        QCOMPARE(all.out.count(",5550000001,5550000001,"), 2);
    }

    void historyThatCannotBeOpenedStopsNoRun()
    {
        // A folder where the history file belongs.
        const QString file = dataFolder() + QStringLiteral("/history.sqlite");
        QVERIFY(QDir().mkpath(file));
        const QStringList numbers = {"2000000701", "2000000702"};
        const CliResult run =
            m.run(kNoPause + QStringList{QStringLiteral("--reuse"), QStringLiteral("5")},
                  m.environment(), lines(numbers));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(csvNumbers(run.out), numbers);
        QCOMPARE(QString::fromLocal8Bit(run.err).count(
                     QStringLiteral("The lookup history %1 cannot be used: it is not a plain file.")
                         .arg(file)),
                 1);
        QVERIFY(QFileInfo(file).isDir());
        // The commands that only read or change it have nothing to go on.
        const CliResult history = m.run({QStringLiteral("--history")}, m.environment(QString()));
        QCOMPARE(history.exitCode, 1);
        QVERIFY(history.out.isEmpty());
        QVERIFY(history.err.contains("cannot be used"));
    }

private:
    static bool writeBytes(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    QString dataFolder() const { return m.path(QStringLiteral("data/Halvren/Quillmore")); }

    CliFixture m;
};

QTEST_GUILESS_MAIN(TestCliHistory)
#include "tst_clihistory.moc"
