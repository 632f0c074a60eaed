#include "shell/errorreport.h"
#include "shell/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/fsuid.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillmore;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray randomBytes(quint32 seed, int size)
{
    QRandomGenerator generator(seed);
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char(generator.bounded(256)));
    return bytes;
}

QStringList setAside(const QTemporaryDir& dir)
{
    return QDir(dir.path())
        .entryList({"Quillmore.conf.damaged-*"},
                   QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The permission bits of the file itself, without Qt's "user" copy of the owner's.
QFileDevice::Permissions modeOf(const QString& path)
{
    return QFile(path).permissions() &
           ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

// Points the system's temporary folder somewhere for the length of a case.
class TemporaryFolderVariable
{
public:
    explicit TemporaryFolderVariable(const QString& path)
        : m_was(qEnvironmentVariableIsSet("TMPDIR")), m_old(qgetenv("TMPDIR"))
    {
        qputenv("TMPDIR", path.toLocal8Bit());
    }
    ~TemporaryFolderVariable()
    {
        if (m_was)
            qputenv("TMPDIR", m_old);
        else
            qunsetenv("TMPDIR");
    }

private:
    bool m_was;
    QByteArray m_old;
};

// Root reads every file whatever its permissions: for the length of a case
// the file system sees this thread as the unprivileged user "nobody".
class OrdinaryUser
{
public:
    OrdinaryUser() : m_root(::geteuid() == 0)
    {
        if (m_root)
            ::setfsuid(65534);
    }
    ~OrdinaryUser()
    {
        if (m_root)
            ::setfsuid(0);
    }
    bool works() const { return !m_root || ::setfsuid(-1) == 65534; }

private:
    bool m_root;
};

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void roundTripExactly();
    void missingAndEmptyAlike();
    void newFileIsOwnerOnly();
    void widerFileBecomesOwnerOnlyAtFirstWrite();
    void damagedFileIsSetAside_data();
    void damagedFileIsSetAside();
    void soundFileKeepsItsOtherKeys();
    void folderInTheWayIsMovedAside();
    void failedWriteThenSuccessErasesNothing();
    void needsNoTemporaryFolder();
    void unreadableFileIsToldAndNeverReplaced();
    void twoCopiesChangeOnlyTheirOwnKeys();
    void lockedFileIsWaitedForThenTakenOver();
};

void TestSettings::roundTripExactly()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Quillmore.conf");
    const QStringList values = {"a,b,c",
                                "x;y;;z",
                                "\"quoted\" and 'single'",
                                "back\\slash\\\\double",
                                "@start",
                                "@@twice",
                                "  leading and trailing  ",
                                "Müller Straße 5, Malmö ÅÄÖ 東京",
                                "",
                                "line\nbreak\r\nand tab\there",
                                "=SUM(A1)",
                                "#hash ;semicolon",
                                "[section]",
                                QString(200 * 1024, QChar('k')) + "end"};
    {
        SettingsStore store(file);
        for (int i = 0; i < values.size(); ++i)
            store.writeSetting(QString("key%1").arg(i), values[i]);
        store.writeSetting(kPhoneNumbersKey, values[0]);
        // What this store wrote reads back at once, too.
        QCOMPARE(store.readSetting("key7"), values[7]);
    }
    SettingsStore reread(file);
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(reread.readSetting(QString("key%1").arg(i), "default"), values[i]);
    QCOMPARE(reread.readSetting(kPhoneNumbersKey), values[0]);
    // Qt itself reads the file as its own.
    QSettings qt(file, QSettings::IniFormat);
    QCOMPARE(qt.value("key4").toString(), QString("@start"));
    QCOMPARE(qt.status(), QSettings::NoError);
    QVERIFY(setAside(dir).isEmpty());
}

void TestSettings::missingAndEmptyAlike()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath("s.conf"));
    QCOMPARE(store.readSetting(kApiKeyKey, QString()), QString());
    QCOMPARE(store.readSetting(kApiKeyKey, "dflt"), QString("dflt"));
    store.writeSetting(kApiKeyKey, "");
    QCOMPARE(store.readSetting(kApiKeyKey, QString()), QString());
    // Same length, written in quick succession: the second one is what stays.
    store.writeSetting(kApiKeyKey, "k1");
    store.writeSetting(kApiKeyKey, "k2");
    QCOMPARE(SettingsStore(dir.filePath("s.conf")).readSetting(kApiKeyKey), QString("k2"));
}

void TestSettings::newFileIsOwnerOnly()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("sub/Quillmore.conf");
    SettingsStore store(file);
    store.writeSetting(kApiKeyKey, "secret");
    QCOMPARE(modeOf(file), kOwnerOnly);
    store.writeSetting(kApiKeyKey, "secret2");
    QCOMPARE(modeOf(file), kOwnerOnly);
}

void TestSettings::widerFileBecomesOwnerOnlyAtFirstWrite()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Quillmore.conf");
    writeFile(file, "[General]\nText1=old key\n");
    const auto wide = kOwnerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QVERIFY(QFile::setPermissions(file, wide));
    SettingsStore store(file);
    QCOMPARE(store.readSetting(kApiKeyKey), QString("old key"));
    QCOMPARE(modeOf(file), wide); // reading changes nothing
    store.writeSetting(kPhoneNumbersKey, "1;2");
    QCOMPARE(modeOf(file), kOwnerOnly);
    SettingsStore reread(file);
    QCOMPARE(reread.readSetting(kApiKeyKey), QString("old key"));
    QCOMPARE(reread.readSetting(kPhoneNumbersKey), QString("1;2"));
}

void TestSettings::damagedFileIsSetAside_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("rescuedKey");
    QTest::newRow("random bytes") << randomBytes(3, 4096) << "";
    QTest::newRow("NUL bytes") << QByteArray(1000, '\0') << "";
    QTest::newRow("NUL bytes after a sound line")
        << QByteArray("[General]\nText1=abc\n") + QByteArray(10, '\0') + "\nx=1\n"
        << "abc";
    QTest::newRow("broken UTF-8") << QByteArray("[General]\nPhone%20Numbers=\xff\xfe\xc3(9\n")
                                  << "";
    QTest::newRow("garbage keys") << randomBytes(1, 4096) << "";
    QTest::newRow("unterminated section header")
        << QByteArray("[General\n=\n\\\n") + randomBytes(5, 512) << "";
    QTest::newRow("an empty key") << QByteArray("[General]\nText1=key\n=x\n") << "key";
}

void TestSettings::damagedFileIsSetAside()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, rescuedKey);
    QTemporaryDir dir;
    const QString file = dir.filePath("Quillmore.conf");
    writeFile(file, bytes);
    if (QByteArray(QTest::currentDataTag()) == "garbage keys") {
        // What makes it hard: Qt opens it without complaint and finds keys.
        const QString copy = dir.filePath("copy.conf");
        QVERIFY(QFile::copy(file, copy));
        QSettings qt(copy, QSettings::IniFormat);
        QCOMPARE(qt.status(), QSettings::NoError);
        QVERIFY(!qt.allKeys().isEmpty());
        QVERIFY(QFile::remove(copy));
    }
    {
        SettingsStore store(file);
        QCOMPARE(store.readSetting(kApiKeyKey), rescuedKey);
        QCOMPARE(store.readSetting(kPhoneNumbersKey, "none"), QString("none"));
        store.writeSetting(kApiKeyKey, "typed key");
        store.writeSetting(kPhoneNumbersKey, "1;2;3");
    }
    SettingsStore reread(file);
    QCOMPARE(reread.readSetting(kPhoneNumbersKey), QString("1;2;3"));
    QCOMPARE(reread.readSetting(kApiKeyKey), QString("typed key"));
    // The damaged file is kept byte for byte, and the new one is sound.
    const QStringList kept = setAside(dir);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(readAll(dir.filePath(kept.first())), bytes);
    QSettings qt(file, QSettings::IniFormat);
    QCOMPARE(qt.allKeys().size(), 2);
    QCOMPARE(qt.status(), QSettings::NoError);
}

void TestSettings::soundFileKeepsItsOtherKeys()
{
    // Odd but valid to Qt: kept as it is, its keys carried into every write.
    QTemporaryDir dir;
    const QString file = dir.filePath("Quillmore.conf");
    writeFile(file, "[General]\nText1=key\n[%%%]\n@Invalid()=1\n");
    {
        SettingsStore store(file);
        store.writeSetting(kPhoneNumbersKey, "5");
    }
    QVERIFY(setAside(dir).isEmpty());
    SettingsStore reread(file);
    QCOMPARE(reread.readSetting(kApiKeyKey), QString("key"));
    QCOMPARE(reread.readSetting("%%%/@Invalid()"), QString("1"));
    QCOMPARE(reread.readSetting(kPhoneNumbersKey), QString("5"));
}

void TestSettings::folderInTheWayIsMovedAside()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Quillmore.conf");
    QVERIFY(QDir().mkpath(file));
    writeFile(file + "/inside", "keep");
    {
        SettingsStore store(file);
        QCOMPARE(store.readSetting(kPhoneNumbersKey, "none"), QString("none"));
        store.writeSetting(kPhoneNumbersKey, "1;2");
    }
    QCOMPARE(SettingsStore(file).readSetting(kPhoneNumbersKey), QString("1;2"));
    const QStringList kept = setAside(dir);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(readAll(dir.filePath(kept.first() + "/inside")), QByteArray("keep"));

    // A folder that appears later is moved aside at the next write.
    SettingsStore later(dir.filePath("Quillmore.conf"));
    QVERIFY(QFile::remove(file));
    QVERIFY(QDir().mkpath(file));
    later.writeSetting(kApiKeyKey, "k");
    QVERIFY(QFileInfo(file).isFile());
    QCOMPARE(SettingsStore(file).readSetting(kApiKeyKey), QString("k"));
    QCOMPARE(SettingsStore(file).readSetting(kPhoneNumbersKey), QString("1;2"));
}

void TestSettings::failedWriteThenSuccessErasesNothing()
{
    // The folder of the file is taken away and a file put in its place (root
    // may write anywhere, so the cause must be one that stops root too).
    QTemporaryDir dir;
    const QString folder = dir.filePath("Halvren");
    const QString file = folder + "/Quillmore.conf";
    {
        SettingsStore store(file);
        store.writeSetting(kApiKeyKey, "secret");
        store.writeSetting(kPhoneNumbersKey, "1;2");

        QVERIFY(QDir().rename(folder, folder + ".away"));
        writeFile(folder, "in the way");
        QVERIFY_THROWS_EXCEPTION(Failure, store.writeSetting(kPhoneNumbersKey, "3;4"));
        QVERIFY_THROWS_EXCEPTION(Failure, store.writeSetting(kApiKeyKey, "new secret"));
        // What could not be written is kept, not dropped.
        QCOMPARE(store.readSetting(kPhoneNumbersKey), QString("3;4"));
        QCOMPARE(store.readSetting(kApiKeyKey), QString("new secret"));

        QVERIFY(QFile::remove(folder));
        QVERIFY(QDir().rename(folder + ".away", folder));
        store.writeSetting(kPhoneNumbersKey, "5;6");
    }
    // Nothing was lost, at the write or at exit, and the key typed while the
    // folder was away went out with the next write that worked.
    SettingsStore reread(file);
    QCOMPARE(reread.readSetting(kPhoneNumbersKey), QString("5;6"));
    QCOMPARE(reread.readSetting(kApiKeyKey), QString("new secret"));
    QVERIFY(setAside(dir).isEmpty());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"Quillmore.conf"});
}

void TestSettings::needsNoTemporaryFolder()
{
    // A file where the temporary folder should be stops root as well; a full
    // temporary folder fails the same way.
    QTemporaryDir dir;
    const QString file = dir.filePath("Quillmore.conf");
    SettingsStore(file).writeSetting(kApiKeyKey, "secret");
    writeFile(dir.filePath("hostname"), "box\n");
    {
        TemporaryFolderVariable tmp(dir.filePath("hostname"));
        SettingsStore store(file);
        QCOMPARE(store.loadProblem(), QString());
        QCOMPARE(store.readSetting(kApiKeyKey), QString("secret"));
        store.writeSetting(kPhoneNumbersKey, "444");
    }
    SettingsStore reread(file);
    QCOMPARE(reread.readSetting(kApiKeyKey), QString("secret"));
    QCOMPARE(reread.readSetting(kPhoneNumbersKey), QString("444"));
}

void TestSettings::unreadableFileIsToldAndNeverReplaced()
{
    // As after one run under sudo: the file is there, but not for this user.
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
    const QString file = dir.filePath("Quillmore.conf");
    SettingsStore(file).writeSetting(kApiKeyKey, "secret");
    const QByteArray before = readAll(file);
    QVERIFY(QFile::setPermissions(file, {}));
    std::unique_ptr<SettingsStore> store;
    {
        OrdinaryUser user;
        if (!user.works())
            QSKIP("Running as root and cannot act as an ordinary user to make a file unreadable");
        store = std::make_unique<SettingsStore>(file);
        QCOMPARE(store->loadProblem(),
                 QString("The settings file %1 cannot be read: Permission denied")
                     .arg(QDir::toNativeSeparators(file)));
        QCOMPARE(store->readSetting(kApiKeyKey), QString());
        // The key window writing back the empty key it was shown is no change.
        store->writeSetting(kApiKeyKey, "");
        // A number typed meanwhile cannot go out without the rest: it waits.
        QVERIFY_THROWS_EXCEPTION(Failure, store->writeSetting(kPhoneNumbersKey, "444"));
        QCOMPARE(store->readSetting(kPhoneNumbersKey), QString("444"));
    }
    QVERIFY(setAside(dir).isEmpty());
    QVERIFY(QFile::setPermissions(file, kOwnerOnly));
    QCOMPARE(readAll(file), before);
    // Saving the list at close, once the file can be read, adds it to the rest.
    store->writeSetting(kPhoneNumbersKey, "444");
    SettingsStore reread(file);
    QCOMPARE(reread.readSetting(kApiKeyKey), QString("secret"));
    QCOMPARE(reread.readSetting(kPhoneNumbersKey), QString("444"));
}

void TestSettings::twoCopiesChangeOnlyTheirOwnKeys()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Quillmore.conf");
    {
        SettingsStore first(file);
        first.writeSetting(kApiKeyKey, "old key");
        first.writeSetting(kPhoneNumbersKey, "1;2");
    }
    SettingsStore a(file);
    SettingsStore b(file);
    a.writeSetting(kApiKeyKey, "new key");
    // b's key window writes back what it was shown; b closes and saves its list.
    b.writeSetting(kApiKeyKey, "old key");
    b.writeSetting(kPhoneNumbersKey, "3");
    QCOMPARE(SettingsStore(file).readSetting(kApiKeyKey), QString("new key"));
    QCOMPARE(b.readSetting(kApiKeyKey), QString("new key"));

    a.removeSetting(kApiKeyKey);
    b.writeSetting(kPhoneNumbersKey, "4");
    SettingsStore reread(file);
    QCOMPARE(reread.readSetting(kApiKeyKey, "none"), QString("none"));
    QCOMPARE(reread.readSetting(kPhoneNumbersKey), QString("4"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"Quillmore.conf"});
}

void TestSettings::lockedFileIsWaitedForThenTakenOver()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Quillmore.conf");
    SettingsStore store(file);
    store.writeSetting(kApiKeyKey, "key");
    {
        // Another copy in the middle of a write that does not end.
        QLockFile other(file + ".lock");
        QVERIFY(other.tryLock(0));
        QVERIFY_THROWS_EXCEPTION(Failure, store.writeSetting(kPhoneNumbersKey, "1"));
    }
    // A copy that died while writing leaves its lock behind.
    const pid_t child = ::fork();
    if (child == 0) {
        QLockFile crashed(file + ".lock");
        ::_exit(crashed.tryLock(0) ? 0 : 1);
    }
    int status = -1;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QVERIFY(QFileInfo::exists(file + ".lock"));
    store.writeSetting(kApiKeyKey, "key 2");
    SettingsStore reread(file);
    QCOMPARE(reread.readSetting(kApiKeyKey), QString("key 2"));
    QCOMPARE(reread.readSetting(kPhoneNumbersKey), QString("1"));
    QVERIFY(!QFileInfo::exists(file + ".lock"));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
