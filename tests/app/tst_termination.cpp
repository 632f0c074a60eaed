#include "shell/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace quillmore;

namespace {

// Whether `pid` catches `signalNumber` yet, from the kernel's own account: the
// program is ready for the test's signal once it does.
bool catchesSignal(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask & (1ULL << (signalNumber - 1)));
        }
    }
    return false;
}

} // namespace

class TestTermination : public QObject
{
    Q_OBJECT
private slots:
    void signalSavesLikeAClose_data();
    void signalSavesLikeAClose();
};

void TestTermination::signalSavesLikeAClose_data()
{
    QTest::addColumn<int>("signalNumber");
    // The lookup history is damaged: the start-up box that tells it was set
    // aside comes up.
    QTest::addColumn<bool>("warningUp");
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
    QTest::newRow("SIGTERM, warning up") << int(SIGTERM) << true;
    QTest::newRow("SIGHUP, warning up") << int(SIGHUP) << true;
}

void TestTermination::signalSavesLikeAClose()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, warningUp);
    if (!QFile::exists(QStringLiteral("/proc/self/status")))
        QSKIP("needs /proc to see when the program is ready for the signal");

    QTemporaryDir dir;
    const QString config = dir.filePath("config");
    const QString file = config + "/Halvren/Quillmore.conf";
    QVERIFY(QDir().mkpath(config + "/Halvren"));
    QVERIFY(QDir().mkpath(dir.filePath("home")));
    {
        SettingsStore before(file);
        before.writeSetting(kPhoneNumbersKey, "555-0100; 555-0101;;555-0102");
        before.writeSetting(kApiKeyKey, "the key");
    }
    QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadGroup | QFileDevice::ReadOther));

    const QString data = dir.filePath("data/Halvren/Quillmore");
    QVERIFY(QDir().mkpath(data));
    if (warningUp) {
        QFile damaged(data + "/history.sqlite");
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        QCOMPARE(damaged.write(QByteArray(8192, 'x')), 8192);
    }

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("HOME", dir.filePath("home"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // No session bus: the key stays in the test's settings file, out of any
    // keyring of the machine's.
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quillmore-bus");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(QUILLMORE_EXECUTABLE), {});
    QVERIFY2(program.waitForStarted(30000), qPrintable(program.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(program.processId(), signalNumber) ||
                                 program.state() != QProcess::Running,
                             60000);
    QCOMPARE(program.state(), QProcess::Running);

    QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    // The close saved the list as it restored it: the empty piece is gone, the
    // spaces stay. Only a save makes the file owner-only.
    const auto mode = QFile(file).permissions() &
                      ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    QCOMPARE(mode, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    SettingsStore stored(file);
    QCOMPARE(stored.readSetting(kPhoneNumbersKey), QString("555-0100; 555-0101;555-0102"));
    QCOMPARE(stored.readSetting(kApiKeyKey), QString("the key"));
}

QTEST_GUILESS_MAIN(TestTermination)
#include "tst_termination.moc"
