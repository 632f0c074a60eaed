#include "errorreport.h"
#include "settingsstore.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

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
        // What is stored stays what the store says.
        QCOMPARE(store.readSetting(kPhoneNumbersKey), QString("1;2"));
        QCOMPARE(store.readSetting(kApiKeyKey), QString("secret"));

        QVERIFY(QFile::remove(folder));
        QVERIFY(QDir().rename(folder + ".away", folder));
        store.writeSetting(kPhoneNumbersKey, "5;6");
    }
    // Nothing written before the failure was lost, at the write or at exit.
    SettingsStore reread(file);
    QCOMPARE(reread.readSetting(kPhoneNumbersKey), QString("5;6"));
    QCOMPARE(reread.readSetting(kApiKeyKey), QString("secret"));
    QVERIFY(setAside(dir).isEmpty());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"Quillmore.conf"});
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
