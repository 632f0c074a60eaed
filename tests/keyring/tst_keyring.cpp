#include "keyring/secretservicekeyring.h"
#include "shell/keystore.h"
#include "shell/settingsstore.h"
#include "support/scripteddialogs.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <optional>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const QString kSecretService = QStringLiteral("org.freedesktop.secrets");
const QByteArray kPassword = "test keyring password";

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool secretServiceOnBus()
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(kSecretService).value();
}

// gnome-keyring-daemon on the test's own bus (see run-on-private-bus.sh), with
// its keyrings in the test's own data folder.
class KeyringDaemon
{
public:
    ~KeyringDaemon() { stop(); }

    // `unlock` creates the login keyring, or opens it, with the test password;
    // without it an existing one stays locked, and no prompt can open it.
    bool start(bool unlock)
    {
        QStringList arguments{"--foreground", "--components=secrets"};
        if (unlock)
            arguments << "--unlock";
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("gnome-keyring-daemon"), arguments);
        if (!m_process.waitForStarted(10000))
            return false;
        if (unlock)
            m_process.write(kPassword);
        m_process.closeWriteChannel();
        return QTest::qWaitFor(secretServiceOnBus, 20000);
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
        if (!QTest::qWaitFor([] { return !secretServiceOnBus(); }, 10000))
            qWarning("the keyring daemon's name stayed on the bus");
    }

private:
    QProcess m_process;
};

// Asks a keyring and waits for its answer.
Keyring::Answer ask(const std::function<void(Keyring::Reply)>& operation)
{
    std::optional<Keyring::Answer> answer;
    operation([&answer](const Keyring::Answer& a) { answer = a; });
    if (!QTest::qWaitFor([&answer] { return answer.has_value(); }, 20000))
        return {Keyring::Status::Failed, {}, "no answer"};
    return *answer;
}

struct Fixture
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    SecretServiceKeyring keyring;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<KeyStore> keys;
    QStringList notices;

    QString file() const { return dir.filePath("Quillmore.conf"); }

    QByteArray fileWith(const std::optional<QString>& key) const
    {
        const QString path = dir.filePath("reference-" + QString::number(++m_references));
        SettingsStore reference(path);
        reference.writeSetting(kPhoneNumbersKey, "555-0100;555-0101");
        if (key)
            reference.writeSetting(kApiKeyKey, *key);
        return bytesOf(path);
    }

    void prepare(const std::optional<QString>& key)
    {
        SettingsStore before(file());
        before.writeSetting(kPhoneNumbersKey, "555-0100;555-0101");
        if (key)
            before.writeSetting(kApiKeyKey, *key);
    }

    void start()
    {
        settings = std::make_unique<SettingsStore>(file());
        keys = std::make_unique<KeyStore>(settings.get(), &keyring, &dialogs);
        QObject::connect(keys.get(), &KeyStore::notice,
                         [this](const QString& text) { notices << text; });
    }

    // What the keyring holds, asked afresh; std::nullopt for no entry.
    std::optional<QString> entry()
    {
        SecretServiceKeyring other;
        const Keyring::Answer answer = ask([&](Keyring::Reply r) { other.read(r); });
        if (answer.status == Keyring::Status::Done)
            return answer.value;
        if (answer.status == Keyring::Status::NotFound)
            return std::nullopt;
        return QStringLiteral("<%1>").arg(answer.error);
    }

private:
    mutable int m_references = 0;
};

} // namespace

class TestKeyring : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void movesAKeyIntoTheKeyring();
    void readsAndStoresChanges();
    void refusedWhenTheKeyringStops_data();
    void refusedWhenTheKeyringStops();
    void lockedAndCancelled_data();
    void lockedAndCancelled();
    void noKeyringOnTheBus();
    void noSessionBus();
    void programMovesTheKeyAndEndsOnSignal();

private:
    bool onPrivateBus() const;
};

bool TestKeyring::onPrivateBus() const
{
    // The wrapper's bus lives in the test's own runtime folder.
    return QDBusConnection::sessionBus().isConnected() &&
           qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS")
               .contains(qEnvironmentVariable("XDG_RUNTIME_DIR", "<none>"));
}

void TestKeyring::initTestCase()
{
    if (QStandardPaths::findExecutable("gnome-keyring-daemon").isEmpty())
        QFAIL("gnome-keyring-daemon is not installed (scripts/packages.txt names it)");
}

void TestKeyring::movesAKeyIntoTheKeyring()
{
    if (!onPrivateBus())
        QSKIP("needs the private bus of run-on-private-bus.sh");
    KeyringDaemon daemon;
    QVERIFY(daemon.start(true));
    Fixture f;
    f.prepare(QString("the key é"));
    f.start();
    QTRY_VERIFY_WITH_TIMEOUT(f.keys->isIdle(), 20000);

    QCOMPARE(f.keys->place(), KeyStore::Place::Keyring);
    QCOMPARE(f.keys->key(), QString("the key é"));
    QCOMPARE(f.entry(), std::optional<QString>("the key é"));
    QCOMPARE(bytesOf(f.file()), f.fileWith(std::nullopt));
    QCOMPARE(f.notices, QStringList());
}

void TestKeyring::readsAndStoresChanges()
{
    if (!onPrivateBus())
        QSKIP("needs the private bus of run-on-private-bus.sh");
    KeyringDaemon daemon;
    QVERIFY(daemon.start(true));
    Fixture f;
    f.prepare(std::nullopt);
    const QByteArray before = bytesOf(f.file());
    QCOMPARE(ask([&](Keyring::Reply r) { f.keyring.write("kept key", r); }).status,
             Keyring::Status::Done);
    f.start();
    QTRY_VERIFY_WITH_TIMEOUT(f.keys->isIdle(), 20000);
    QCOMPARE(f.keys->key(), QString("kept key"));

    for (const char* typed : {"n", "ne", "new", "new key"})
        f.keys->setKey(typed);
    QTRY_VERIFY_WITH_TIMEOUT(f.keys->isIdle(), 20000);
    QCOMPARE(f.entry(), std::optional<QString>("new key"));

    // An emptied key box leaves no entry behind: the next start finds no key.
    f.keys->setKey("");
    QTRY_VERIFY_WITH_TIMEOUT(f.keys->isIdle(), 20000);
    QCOMPARE(f.entry(), std::nullopt);
    QCOMPARE(bytesOf(f.file()), before);
    QCOMPARE(f.notices, QStringList());
    QVERIFY(f.dialogs.questions.isEmpty());
}

void TestKeyring::refusedWhenTheKeyringStops_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("no") << false;
    QTest::newRow("yes") << true;
}

void TestKeyring::refusedWhenTheKeyringStops()
{
    QFETCH(bool, yes);
    if (!onPrivateBus())
        QSKIP("needs the private bus of run-on-private-bus.sh");
    KeyringDaemon daemon;
    QVERIFY(daemon.start(true));
    Fixture f;
    f.prepare(QString("moved key"));
    f.dialogs.yesNoAnswers << yes;
    f.start();
    QTRY_VERIFY_WITH_TIMEOUT(f.keys->isIdle(), 20000);
    QCOMPARE(f.keys->place(), KeyStore::Place::Keyring);
    const QByteArray moved = bytesOf(f.file());
    QCOMPARE(moved, f.fileWith(std::nullopt));

    daemon.stop();
    f.keys->setKey("typed key");
    QTRY_COMPARE_WITH_TIMEOUT(f.dialogs.questions.size(), 1, 20000);
    QCOMPARE(f.dialogs.questions[0].text,
             QString("Keep the API key in the settings file instead?"));
    QCOMPARE(f.notices.size(), 1);
    QVERIFY2(f.notices[0].startsWith("The API key could not be stored in the keyring: "),
             qPrintable(f.notices[0]));

    f.keys->setKey("typed key 2");
    QTRY_VERIFY_WITH_TIMEOUT(f.keys->isIdle(), 20000);
    QCOMPARE(f.keys->key(), QString("typed key 2"));
    QCOMPARE(f.dialogs.questions.size(), 1);
    QCOMPARE(f.notices.size(), 1);
    QCOMPARE(bytesOf(f.file()), yes ? f.fileWith(QString("typed key 2")) : moved);
}

void TestKeyring::lockedAndCancelled_data()
{
    QTest::addColumn<std::optional<QString>>("fileKey");
    QTest::newRow("key_in_file") << std::optional<QString>("file key");
    QTest::newRow("no_key") << std::optional<QString>();
}

void TestKeyring::lockedAndCancelled()
{
    QFETCH(std::optional<QString>, fileKey);
    if (!onPrivateBus())
        QSKIP("needs the private bus of run-on-private-bus.sh");
    {
        // Makes the login keyring; the next daemon finds it locked.
        KeyringDaemon first;
        QVERIFY(first.start(true));
    }
    KeyringDaemon daemon;
    QVERIFY(daemon.start(false));
    Fixture f;
    f.prepare(fileKey);
    const QByteArray before = bytesOf(f.file());
    f.start();
    QTRY_VERIFY_WITH_TIMEOUT(f.keys->isIdle(), 20000);
    // Nobody can answer the unlock prompt on this bus: it ends as cancelled.
    f.keys->setKey("typed key");
    QTRY_VERIFY_WITH_TIMEOUT(f.keys->isIdle(), 20000);
    if (fileKey) {
        QCOMPARE(f.keys->place(), KeyStore::Place::SettingsFile);
        QCOMPARE(f.notices.size(), 1);
        QVERIFY2(f.notices[0].startsWith("The API key stays in the settings file: "),
                 qPrintable(f.notices[0]));
        QCOMPARE(bytesOf(f.file()), f.fileWith(QString("typed key")));
        QVERIFY(f.dialogs.questions.isEmpty());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(f.dialogs.questions.size(), 1, 20000);
        QCOMPARE(f.keys->place(), KeyStore::Place::Memory);
        QCOMPARE(f.notices.size(), 1);
        QVERIFY2(f.notices[0].startsWith("The API key could not be stored in the keyring: "),
                 qPrintable(f.notices[0]));
        QCOMPARE(bytesOf(f.file()), before);
    }
    QCOMPARE(f.keys->key(), QString("typed key"));
}

void TestKeyring::noKeyringOnTheBus()
{
    if (!onPrivateBus())
        QSKIP("needs the private bus of run-on-private-bus.sh");
    QVERIFY(!secretServiceOnBus());
    Fixture f;
    f.prepare(QString("file key"));
    f.start();
    QTRY_VERIFY_WITH_TIMEOUT(f.keys->isIdle(), 20000);
    QCOMPARE(f.keys->place(), KeyStore::Place::SettingsFile);
    QCOMPARE(f.keys->key(), QString("file key"));
    f.keys->setKey("typed key");
    QCOMPARE(bytesOf(f.file()), f.fileWith(QString("typed key")));
    QCOMPARE(f.notices, QStringList());
    QVERIFY(f.dialogs.questions.isEmpty());
}

void TestKeyring::noSessionBus()
{
    if (QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a process without a session bus (its own CTest entry)");
    Fixture f;
    f.prepare(QString("file key"));
    f.start();
    QTRY_VERIFY_WITH_TIMEOUT(f.keys->isIdle(), 20000);
    QCOMPARE(f.keys->place(), KeyStore::Place::SettingsFile);
    QCOMPARE(f.keys->key(), QString("file key"));
    f.keys->setKey("typed key");
    QCOMPARE(bytesOf(f.file()), f.fileWith(QString("typed key")));
    QCOMPARE(f.notices, QStringList());
}

void TestKeyring::programMovesTheKeyAndEndsOnSignal()
{
    if (!onPrivateBus())
        QSKIP("needs the private bus of run-on-private-bus.sh");
    KeyringDaemon daemon;
    QVERIFY(daemon.start(true));
    Fixture f;
    const QString config = f.dir.filePath("config");
    const QString file = config + "/Halvren/Quillmore.conf";
    {
        SettingsStore before(file);
        before.writeSetting(kPhoneNumbersKey, "555-0100;555-0101");
        before.writeSetting(kApiKeyKey, "program key");
    }
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("XDG_DATA_HOME", f.dir.filePath("data"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(QUILLMORE_EXECUTABLE), {});
    QVERIFY2(program.waitForStarted(30000), qPrintable(program.errorString()));
    // The key leaves the file only once the keyring holds it; by then the
    // program's event loop runs and it answers signals.
    QTRY_COMPARE_WITH_TIMEOUT(bytesOf(file), f.fileWith(std::nullopt), 30000);
    QCOMPARE(::kill(pid_t(program.processId()), SIGTERM), 0);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(bytesOf(file), f.fileWith(std::nullopt));
    QCOMPARE(f.entry(), std::optional<QString>("program key"));
}

QTEST_GUILESS_MAIN(TestKeyring)
#include "tst_keyring.moc"
