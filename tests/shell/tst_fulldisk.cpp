// The one writer of files and the settings file on a disk that fills up:
// a save that cannot finish says so and leaves the old file as it was.
#include "shell/errorreport.h"
#include "shell/safefile.h"
#include "shell/settingsstore.h"
#include "support/tmpfsmount.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

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

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QByteArray oldLines()
{
    QByteArray old;
    for (int i = 0; i < 300; ++i)
        old += "old line " + QByteArray::number(i) + "\r\n";
    return old;
}

QString noSpace(const QString& path)
{
    return QStringLiteral("Could not save %1: No space left on device").arg(path);
}

} // namespace

class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void saveOntoFullDiskKeepsOldFile_data();
    void saveOntoFullDiskKeepsOldFile();
    void writerFailureKeepsOldFile();
    void settingsAreWholeOrUntouched_data();
    void settingsAreWholeOrUntouched();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFullDisk::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestFullDisk::saveOntoFullDiskKeepsOldFile_data()
{
    QTest::addColumn<int>("newSize");
    QTest::addColumn<int>("leaveFree");
    // Qt holds up to 16 KiB before it writes: a new file that small meets the
    // full disk only when the file is put in place.
    QTest::newRow("new file held in the write buffer") << 6000 << 0;
    QTest::newRow("room for part of a buffered file") << 12000 << 4096;
    QTest::newRow("new file larger than the disk") << 200000 << 0;
}

void TestFullDisk::saveOntoFullDiskKeepsOldFile()
{
    QFETCH(int, newSize);
    QFETCH(int, leaveFree);
    const TmpfsMount disk(m_dir->filePath(QStringLiteral("disk")), QStringLiteral("size=64k"));
    if (!disk.isMounted())
        QSKIP(kTmpfsSkipReason);
    const QString path = disk.filePath(QStringLiteral("results.csv"));
    writeFile(path, oldLines());
    QVERIFY(disk.fill(leaveFree));

    try {
        saveWholeFile(path, [&](QIODevice& device) {
            writeAllOrThrow(device, QByteArray(newSize / 2, 'a'));
            writeAllOrThrow(device, QByteArray(newSize - newSize / 2, 'b'));
        });
        QFAIL("the save onto a full disk succeeded");
    } catch (const Failure& failure) {
        QCOMPARE(failure.description(), noSpace(path));
    }
    QCOMPARE(readAll(path), oldLines());
    QCOMPARE(entries(disk.path()), (QStringList{"filler", "results.csv"}));
}

void TestFullDisk::writerFailureKeepsOldFile()
{
    const QString path = m_dir->filePath(QStringLiteral("results.jsonl"));
    writeFile(path, oldLines());
    try {
        saveWholeFile(path, [](QIODevice& device) {
            writeAllOrThrow(device, "half a new file");
            throw Failure(QStringLiteral("The rows cannot be read"));
        });
        QFAIL("a writer's failure went unsaid");
    } catch (const Failure& failure) {
        QCOMPARE(failure.description(),
                 QStringLiteral("Could not save %1: The rows cannot be read").arg(path));
    }
    QCOMPARE(readAll(path), oldLines());

    // The streamed way: cancelled, committed twice, or never committed.
    {
        SafeFile file(path);
        file.open();
        file.writeAll("dropped");
        file.cancel();
        QVERIFY_THROWS_EXCEPTION(Failure, file.commit());
    }
    {
        SafeFile file(path);
        file.open();
        file.writeAll("left uncommitted");
    }
    QCOMPARE(readAll(path), oldLines());
    QCOMPARE(entries(m_dir->path()), QStringList{"results.jsonl"});

    SafeFile file(path);
    file.open();
    file.writeAll("new");
    file.commit();
    QCOMPARE(readAll(path), QByteArray("new"));
}

void TestFullDisk::settingsAreWholeOrUntouched_data()
{
    QTest::addColumn<int>("freePages");
    QTest::addColumn<QString>("told"); // a pattern, %1 the settings folder; empty: stored
    // The lock, the working copies and the new file each need room at their
    // own moment: every amount of it must end in one whole file.
    QTest::newRow("0 pages free")
        << 0 << "The settings file %1/Quillmore\\.conf cannot be locked for writing";
    QTest::newRow("1 page free")
        << 1
        << "Could not save %1/\\.Quillmore\\.conf\\.scratch-\\w+/settings\\.conf: No space "
           "left on device";
    for (int pages = 2; pages <= 4; ++pages)
        QTest::addRow("%d pages free", pages)
            << pages << "The settings could not be prepared for writing";
    QTest::newRow("5 pages free") << 5 << "";
}

void TestFullDisk::settingsAreWholeOrUntouched()
{
    QFETCH(int, freePages);
    QFETCH(QString, told);
    const TmpfsMount disk(m_dir->filePath(QStringLiteral("settings")), QStringLiteral("size=64k"));
    if (!disk.isMounted())
        QSKIP(kTmpfsSkipReason);
    const QString path = disk.filePath(QStringLiteral("Quillmore.conf"));
    {
        SettingsStore store(path);
        store.writeSetting(kApiKeyKey, QStringLiteral("the paid-for key"));
        store.writeSetting(kPhoneNumbersKey, QStringLiteral("4135923823"));
    }
    const QByteArray old = readAll(path);
    QVERIFY(disk.fill(qint64(freePages) * 4096));

    // A list that needs more pages than the old file, small enough to stay in
    // a write buffer until the end.
    QStringList numbers;
    for (int i = 0; i < 900; ++i)
        numbers << QString::number(4135920000LL + i);
    const QString list = numbers.join(u',');
    SettingsStore store(path);
    bool stored = true;
    try {
        store.writeSetting(kPhoneNumbersKey, list);
    } catch (const Failure& failure) {
        stored = false;
        const QString expected =
            QString(told).replace(QStringLiteral("%1"), QRegularExpression::escape(disk.path()));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(expected))
                     .match(failure.description())
                     .hasMatch(),
                 qPrintable(failure.description()));
    }
    QCOMPARE(stored, told.isEmpty());
    // Reading needs room for a working copy.
    QVERIFY(QFile::remove(disk.filePath(QStringLiteral("filler"))));
    if (stored) {
        const SettingsStore reread(path);
        QCOMPARE(reread.readSetting(kPhoneNumbersKey), list);
        QCOMPARE(reread.readSetting(kApiKeyKey), QStringLiteral("the paid-for key"));
    } else {
        QCOMPARE(readAll(path), old);
        // Kept for the next write that works.
        QCOMPARE(store.readSetting(kPhoneNumbersKey), list);
    }
    QCOMPARE(entries(disk.path()), QStringList{"Quillmore.conf"});
}

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
