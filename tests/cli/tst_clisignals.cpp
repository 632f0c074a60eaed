// The command-line program signalled as a whole process group is, by
// `timeout`, a service manager's stop, a closed terminal or Ctrl+C: the
// transfer tool under way must not die of a signal meant for the program.

#include "clifixture.h"

#include <QDirIterator>
#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

using namespace quillmore::test;

namespace {

// Long enough for a signal to arrive while the answer is on its way.
constexpr int kSlowSeconds = 3;
// Running processes whose command line mentions `text`.
int processesMentioning(const QString& text)
{
    int found = 0;
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile cmdline(it.next() + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly) &&
            QString::fromLocal8Bit(cmdline.readAll()).contains(text))
            ++found;
    }
    return found;
}

} // namespace

class TestCliSignals : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m.start(kSlowSeconds)); }
    void init() { m.clearHomes(); }

    void firstSignalLetsTheRequestUnderWayFinish_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("first"); // numbers of their own, so no row counts twice
        QTest::newRow("SIGTERM") << int(SIGTERM) << "2000000601";
        QTest::newRow("SIGHUP") << int(SIGHUP) << "2000000701";
        QTest::newRow("SIGINT") << int(SIGINT) << "2000000801";
    }

    void firstSignalLetsTheRequestUnderWayFinish()
    {
        QFETCH(int, signalNumber);
        QFETCH(QString, first);
        const QString tail = first.left(9);
        const QStringList numbers = {first, kSlow, tail + u'2', tail + u'3'};
        const QString output = m.path(QStringLiteral("out.csv"));
        const qsizetype before = m.service.requests().size();
        QProcess process;
        launchInOwnGroup(process, output, numbers);
        QTRY_VERIFY_WITH_TIMEOUT(m.phonesSince(before).contains(kSlow), 20000);
        QCOMPARE(::kill(-pid_t(process.processId()), signalNumber), 0);

        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        // The answer under way came and was written beside the output, which
        // only a complete run may write; nothing new was asked.
        QVERIFY(!QFile::exists(output));
        QFile written(output + QStringLiteral(".partial"));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(csvNumbers(written.readAll()), numbers.mid(0, 2));
        QCOMPARE(m.phonesSince(before), numbers.mid(0, 2));
        QCOMPARE(processesMentioning(m.path(QStringLiteral("temp"))), 0);
    }

    void secondSignalEndsAtOnce()
    {
        const QStringList numbers = {kSlow, QStringLiteral("2000000901")};
        const qsizetype before = m.service.requests().size();
        QProcess process;
        launchInOwnGroup(process, m.path(QStringLiteral("out.csv")), numbers);
        QTRY_VERIFY_WITH_TIMEOUT(m.phonesSince(before).contains(kSlow), 20000);
        const pid_t group = pid_t(process.processId());
        const QString temp = m.path(QStringLiteral("temp"));

        QCOMPARE(::kill(-group, SIGTERM), 0);
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += process.readAllStandardError()).contains("Interrupted"),
                                 10000);
        QCOMPARE(::kill(-group, SIGTERM), 0);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        // Nothing the program started outlives it.
        QCOMPARE(processesMentioning(temp), 0);
        QCOMPARE(m.phonesSince(before), QStringList{kSlow});
    }

    void killedProgramLeavesNoToolRunning()
    {
#ifndef Q_OS_LINUX
        QSKIP("Only Linux ends a child with the program that started it");
#endif
        // A request the service holds for two minutes: a transfer tool would
        // wait for it long after the program is gone. The requests go out
        // from inside the program, so none may be running beside it.
        const QString hang = QStringLiteral("5550000002");
        const qsizetype before = m.service.requests().size();
        QProcess process;
        launchInOwnGroup(process, m.path(QStringLiteral("out.csv")), {hang});
        QTRY_VERIFY_WITH_TIMEOUT(m.phonesSince(before).contains(hang), 20000);
        const QString temp = m.path(QStringLiteral("temp"));
        QCOMPARE(processesMentioning(temp), 0);
        process.kill();
        QVERIFY(process.waitForFinished(10000));
        QTRY_COMPARE_WITH_TIMEOUT(processesMentioning(temp), 0, 10000);
    }

private:
    void launchInOwnGroup(QProcess& process, const QString& output, const QStringList& numbers)
    {
        // As `timeout` or a service manager starts it: a group of its own,
        // so that the test can signal the whole group and not itself.
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        m.launch(
            process,
            {QStringLiteral("--pause"), QStringLiteral("0"), QStringLiteral("--output"), output},
            m.environment(), lines(numbers));
    }

    CliFixture m;
};

QTEST_GUILESS_MAIN(TestCliSignals)
#include "tst_clisignals.moc"
