#include "shell/errorreport.h"
#include "shell/keystore.h"
#include "shell/settingsstore.h"
#include "support/fakekeyring.h"
#include "support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillmore;
using namespace quillmore::test;
using Status = Keyring::Status;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// One case's settings file, key store and keyring.
struct Fixture
{
    QTemporaryDir dir;
    FakeKeyring keyring;
    ScriptedDialogs dialogs;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<KeyStore> keys;
    QStringList notices;

    QString file() const { return dir.filePath("settings/Quillmore.conf"); }

    // The settings file as the program would write it with these values.
    QByteArray fileWith(const QString& numbers, const std::optional<QString>& key) const
    {
        const QString path = dir.filePath("reference-" + QString::number(++m_references));
        SettingsStore reference(path);
        reference.writeSetting(kPhoneNumbersKey, numbers);
        if (key)
            reference.writeSetting(kApiKeyKey, *key);
        return bytesOf(path);
    }

    void prepare(const std::optional<QString>& fileKey)
    {
        SettingsStore before(file());
        before.writeSetting(kPhoneNumbersKey, "555-0100");
        if (fileKey)
            before.writeSetting(kApiKeyKey, *fileKey);
    }

    void start()
    {
        settings = std::make_unique<SettingsStore>(file());
        keys = std::make_unique<KeyStore>(settings.get(), &keyring, &dialogs);
        QObject::connect(keys.get(), &KeyStore::notice,
                         [this](const QString& text) { notices << text; });
    }

private:
    mutable int m_references = 0;
};

} // namespace

class TestKeyStore : public QObject
{
    Q_OBJECT
private slots:
    void startsWhereTheKeyIs_data();
    void startsWhereTheKeyIs();
    void fileThatCannotBeRewrittenKeepsTheKey();
    void changesAreCoalesced();
    void refusedKeyringAsksOnce_data();
    void refusedKeyringAsksOnce();
    void keyTypedBeforeTheKeyringAnswersWins();
    void finishWaitsForTheLastChange();
    void finishGivesUpOnASilentKeyring();
};

void TestKeyStore::startsWhereTheKeyIs_data()
{
    QTest::addColumn<std::optional<QString>>("fileKey");
    QTest::addColumn<std::optional<QString>>("entry");
    QTest::addColumn<int>("failingCall"); // -1: none
    QTest::addColumn<Keyring::Answer>("failure");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("place");
    QTest::addColumn<bool>("fileKeepsKey");
    QTest::addColumn<std::optional<QString>>("entryAfter");
    QTest::addColumn<QStringList>("notices");

    const Keyring::Answer none;
    const Keyring::Answer locked{
        Status::Failed, {}, "Cannot create an item in a locked collection"};
    const int keyring = int(KeyStore::Place::Keyring);
    const int file = int(KeyStore::Place::SettingsFile);
    const QString stays = "The API key stays in the settings file: ";
    using S = std::optional<QString>;

    QTest::newRow("no keyring") << S("k1") << S() << 0 << Keyring::Answer{Status::NoKeyring, {}, {}}
                                << "k1" << file << true << S() << QStringList();
    QTest::newRow("kept in the keyring")
        << S() << S("k2") << -1 << none << "k2" << keyring << false << S("k2") << QStringList();
    QTest::newRow("nothing anywhere")
        << S() << S() << -1 << none << "" << keyring << false << S() << QStringList();
    QTest::newRow("moved") << S("k1") << S() << -1 << none << "k1" << keyring << false << S("k1")
                           << QStringList();
    QTest::newRow("moved over an older one") << S("new") << S("old") << -1 << none << "new"
                                             << keyring << false << S("new") << QStringList();
    QTest::newRow("read refused") << S("k1") << S("old") << 0 << locked << "k1" << file << true
                                  << S("old") << QStringList{stays + locked.error};
    QTest::newRow("write refused") << S("k1") << S() << 1 << locked << "k1" << file << true << S()
                                   << QStringList{stays + locked.error};
    QTest::newRow("read back refused") << S("k1") << S() << 2 << locked << "k1" << file << true
                                       << S("k1") << QStringList{stays + locked.error};
    QTest::newRow("read back differs")
        << S("k1") << S() << 2 << Keyring::Answer{Status::Done, "k1 ", {}} << "k1" << file << true
        << S("k1") << QStringList{stays + "the keyring gave back a different key"};
    QTest::newRow("locked, nothing in the file")
        << S() << S() << 0 << locked << "" << keyring << false << S()
        << QStringList{"The API key could not be read from the keyring: " + locked.error};
}

void TestKeyStore::startsWhereTheKeyIs()
{
    QFETCH(std::optional<QString>, fileKey);
    QFETCH(std::optional<QString>, entry);
    QFETCH(int, failingCall);
    QFETCH(Keyring::Answer, failure);
    QFETCH(QString, key);
    QFETCH(int, place);
    QFETCH(bool, fileKeepsKey);
    QFETCH(std::optional<QString>, entryAfter);
    QFETCH(QStringList, notices);

    Fixture f;
    f.prepare(fileKey);
    const QByteArray before = bytesOf(f.file());
    f.keyring.entry = entry;
    if (failingCall >= 0)
        f.keyring.scripted.insert(failingCall, failure);
    f.start();
    QCOMPARE(f.keys->place(), KeyStore::Place::Deciding);
    QTRY_VERIFY(f.keys->isIdle());

    QCOMPARE(f.keys->key(), key);
    QCOMPARE(int(f.keys->place()), place);
    // The file loses the key only once the keyring is known to hold it.
    QCOMPARE(bytesOf(f.file()), fileKeepsKey ? before : f.fileWith("555-0100", std::nullopt));
    QCOMPARE(f.keyring.entry, entryAfter);
    QCOMPARE(f.notices, notices);
    QVERIFY(f.dialogs.questions.isEmpty());
}

void TestKeyStore::fileThatCannotBeRewrittenKeepsTheKey()
{
    Fixture f;
    f.prepare(QString("k1"));
    const QByteArray before = bytesOf(f.file());
    f.keyring.holding = true;
    f.start();
    // Root writes anywhere: a file where the settings folder belongs stops
    // the rewrite that would take the key out.
    const QString folder = f.dir.filePath("settings");
    QVERIFY(QDir().rename(folder, folder + ".away"));
    {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    f.keyring.release();
    QTRY_VERIFY(f.keys->isIdle());
    QVERIFY(QFile::remove(folder));
    QVERIFY(QDir().rename(folder + ".away", folder));

    QCOMPARE(f.keys->place(), KeyStore::Place::SettingsFile);
    QCOMPARE(f.notices.size(), 1);
    QVERIFY2(f.notices[0].startsWith("The API key stays in the settings file: "),
             qPrintable(f.notices[0]));
    QCOMPARE(bytesOf(f.file()), before);
    QCOMPARE(f.keys->key(), QString("k1"));
}

void TestKeyStore::changesAreCoalesced()
{
    Fixture f;
    f.prepare(std::nullopt);
    const QByteArray before = bytesOf(f.file());
    f.start();
    QTRY_VERIFY(f.keys->isIdle());
    QSignalSpy changed(f.keys.get(), &KeyStore::keyChanged);

    // The key window stores the key it was given at every load: no write.
    f.keys->setKey("");
    for (const char* typed : {"a", "ab", "abc", "abcd"})
        f.keys->setKey(typed);
    QCOMPARE(f.keys->key(), QString("abcd"));
    QCOMPARE(changed.size(), 4);
    QTRY_VERIFY(f.keys->isIdle());
    QCOMPARE(f.keyring.calls, QStringList({"read", "write a", "write abcd"}));
    QCOMPARE(f.keyring.mostInFlight, 1);
    QCOMPARE(f.keyring.entry, std::optional<QString>("abcd"));

    // Emptied: nothing left behind in the keyring.
    f.keys->setKey("");
    QTRY_VERIFY(f.keys->isIdle());
    QCOMPARE(f.keyring.calls.constLast(), QString("remove"));
    QCOMPARE(f.keyring.entry, std::nullopt);
    QCOMPARE(bytesOf(f.file()), before);
    QVERIFY(f.notices.isEmpty());
}

void TestKeyStore::refusedKeyringAsksOnce_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("no") << false;
    QTest::newRow("yes") << true;
}

void TestKeyStore::refusedKeyringAsksOnce()
{
    QFETCH(bool, yes);
    Fixture f;
    f.prepare(std::nullopt);
    const QByteArray before = bytesOf(f.file());
    f.keyring.scripted.insert(1, {Status::Failed, {}, "Cancelled"});
    f.dialogs.yesNoAnswers << yes;
    f.start();
    QTRY_VERIFY(f.keys->isIdle());

    f.keys->setKey("typed");
    QTRY_COMPARE(f.dialogs.questions.size(), 1);
    QCOMPARE(f.dialogs.questions[0].text,
             QString("Keep the API key in the settings file instead?"));
    QCOMPARE(f.dialogs.questions[0].title, QString("Quillmore"));
    QCOMPARE(f.notices, QStringList{"The API key could not be stored in the keyring: Cancelled"});

    f.keys->setKey("typed more");
    QCOMPARE(f.keys->key(), QString("typed more"));
    QTRY_VERIFY(f.keys->isIdle());
    // No second prompt, no second question, no second notice.
    QCOMPARE(f.keyring.calls, QStringList({"read", "write typed"}));
    QCOMPARE(f.dialogs.questions.size(), 1);
    QCOMPARE(f.notices.size(), 1);
    QCOMPARE(f.keys->place(), yes ? KeyStore::Place::SettingsFile : KeyStore::Place::Memory);
    QCOMPARE(bytesOf(f.file()), yes ? f.fileWith("555-0100", QString("typed more")) : before);
}

void TestKeyStore::keyTypedBeforeTheKeyringAnswersWins()
{
    Fixture f;
    f.prepare(QString("from file"));
    f.keyring.entry = "old";
    f.keyring.holding = true;
    f.start();
    f.keys->setKey("from file"); // the key window's load gives it back
    f.keys->setKey("typed");
    QCOMPARE(f.keys->place(), KeyStore::Place::Deciding);
    f.keyring.release();
    QTRY_VERIFY(f.keys->isIdle());
    QCOMPARE(f.keyring.calls, QStringList({"read", "write from file", "read", "write typed"}));
    QCOMPARE(f.keys->key(), QString("typed"));
    QCOMPARE(f.keyring.entry, std::optional<QString>("typed"));
    QCOMPARE(bytesOf(f.file()), f.fileWith("555-0100", std::nullopt));
}

void TestKeyStore::finishWaitsForTheLastChange()
{
    Fixture f;
    f.prepare(std::nullopt);
    f.start();
    QTRY_VERIFY(f.keys->isIdle());
    QSignalSpy finished(f.keys.get(), &KeyStore::finished);
    f.keys->setKey("a");
    f.keys->setKey("ab");
    f.keys->finish();
    QCOMPARE(finished.size(), 0);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(f.keyring.entry, std::optional<QString>("ab"));
    QVERIFY(f.notices.isEmpty());

    // Idle already: finished at once.
    Fixture g;
    g.prepare(QString("k"));
    g.keyring.scripted.insert(0, {Status::NoKeyring, {}, {}});
    g.start();
    QTRY_VERIFY(g.keys->isIdle());
    QSignalSpy done(g.keys.get(), &KeyStore::finished);
    g.keys->finish();
    QCOMPARE(done.size(), 1);
}

void TestKeyStore::finishGivesUpOnASilentKeyring()
{
    Fixture f;
    f.prepare(std::nullopt);
    f.start();
    QTRY_VERIFY(f.keys->isIdle());
    f.keyring.holding = true; // it never answers again
    f.keys->setKey("last");
    QSignalSpy finished(f.keys.get(), &KeyStore::finished);
    f.keys->setFinishingWait(std::chrono::milliseconds(0));
    f.keys->finish();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(f.notices, QStringList{"The keyring did not answer before the end: the last change "
                                    "of the API key may not be stored"});
    // Nothing went to the file behind the user's back.
    QCOMPARE(bytesOf(f.file()), f.fileWith("555-0100", std::nullopt));
}

QTEST_GUILESS_MAIN(TestKeyStore)
#include "tst_keystore.moc"
