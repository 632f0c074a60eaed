#include "shell/leftovers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmore;

namespace {

// Set in a child copy of this test: it takes the lock at this path and ends
// without giving it back, the way a crashed program leaves its lock.
constexpr char kPlantLockVariable[] = "QUILLMORE_TEST_PLANT_LOCK";

// A folder of ours as a crashed copy of the program leaves it: the lock of a
// process that is gone, and some content.
bool plantStaleFolder(const QString& folder)
{
    if (!QDir().mkpath(folder + QStringLiteral("/inner")))
        return false;
    QFile file(folder + QStringLiteral("/inner/Book1.xlsx"));
    if (!file.open(QIODevice::WriteOnly) || file.write("data") != 4)
        return false;
    file.close();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kPlantLockVariable), folder + '/' + kFolderLockName);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    // Finished and reaped: its process id no longer names a running process.
    return child.waitForFinished(30000) && child.exitStatus() == QProcess::NormalExit &&
           child.exitCode() == 0 && QFile::exists(folder + '/' + kFolderLockName);
}

// Dates the path's last change `days` days back.
bool setAge(const QString& path, int days)
{
    const timespec when{::time(nullptr) - days * 86400, 0};
    const timespec times[2] = {when, when};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) ==
           0;
}

} // namespace

class LeftoversTest : public QObject
{
    Q_OBJECT

private slots:
    void namesFollowTheTemporaryFolderPattern_data();
    void namesFollowTheTemporaryFolderPattern();
    void staleFolderOfOursIsRemoved();
    void removalNeverFollowsLinks();
    void folderInUseIsLeft();
    void workbookFolderGoesOnlyWhenUnused_data();
    void workbookFolderGoesOnlyWhenUnused();
    void foldersNotOursAreLeft();
    void folderOfAnotherUserIsLeft();
    void claimIsExclusiveAndEndsWithItsObject();
};

void LeftoversTest::namesFollowTheTemporaryFolderPattern_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fits");
    QTest::newRow("six letters and digits") << "quillmore-aZ09bY" << true;
    QTest::newRow("five") << "quillmore-aZ09b" << false;
    QTest::newRow("seven") << "quillmore-aZ09bYx" << false;
    QTest::newRow("a dash among the six") << "quillmore-aZ-9bY" << false;
    QTest::newRow("a dot among the six") << "quillmore-aZ.9bY" << false;
    QTest::newRow("non-ASCII letter") << QString::fromUtf8("quillmore-aZ0ébY") << false;
    QTest::newRow("other prefix") << "quillmorx-aZ09bY" << false;
    QTest::newRow("prefix in another case") << "Quillmore-aZ09bY" << false;
    QTest::newRow("workbook folder under the staging prefix") << "quillmore-book-aZ09bY" << false;
}

void LeftoversTest::namesFollowTheTemporaryFolderPattern()
{
    QFETCH(QString, name);
    QFETCH(bool, fits);
    QCOMPARE(isTemporaryFolderName(name, kStagingFolderPrefix), fits);
}

void LeftoversTest::staleFolderOfOursIsRemoved()
{
    QTemporaryDir parent;
    const QString staging = parent.filePath("quillmore-Ab12cD");
    const QString workbook = parent.filePath("quillmore-book-Zz9Yy8");
    QVERIFY(plantStaleFolder(staging));
    QVERIFY(plantStaleFolder(workbook));

    // Each prefix takes only its own folders.
    QCOMPARE(removeLeftoverFolders(parent.path(), kStagingFolderPrefix), 1);
    QVERIFY(!QFileInfo::exists(staging));
    QVERIFY(QFileInfo::exists(workbook));
    QCOMPARE(removeLeftoverFolders(parent.path(), kWorkbookFolderPrefix), 1);
    QVERIFY(!QFileInfo::exists(workbook));
    QVERIFY(QDir(parent.path()).isEmpty());
    QCOMPARE(removeLeftoverFolders(parent.path(), kStagingFolderPrefix), 0);
}

void LeftoversTest::removalNeverFollowsLinks()
{
    QTemporaryDir parent;
    QTemporaryDir elsewhere;
    QFile precious(elsewhere.filePath("precious.txt"));
    QVERIFY(precious.open(QIODevice::WriteOnly));
    precious.close();
    const QString folder = parent.filePath("quillmore-Ab12cD");
    QVERIFY(plantStaleFolder(folder));
    QVERIFY(QFile::link(elsewhere.path(), folder + "/inner/to-elsewhere"));
    QVERIFY(QFile::link(precious.fileName(), folder + "/to-precious"));

    QCOMPARE(removeLeftoverFolders(parent.path(), kStagingFolderPrefix), 1);
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(QFile::exists(precious.fileName()));

    // A link in place of the folder is refused outright.
    QVERIFY(plantStaleFolder(elsewhere.filePath("target")));
    QVERIFY(QFile::link(elsewhere.filePath("target"), parent.filePath("link")));
    QVERIFY(!removeFolderTree(parent.filePath("link")));
    QVERIFY(QFile::exists(elsewhere.filePath("target/inner/Book1.xlsx")));
    QVERIFY(removeFolderTree(elsewhere.filePath("target")));
    QVERIFY(!QFileInfo::exists(elsewhere.filePath("target")));
}

void LeftoversTest::folderInUseIsLeft()
{
    QTemporaryDir parent;
    const QString folder = parent.filePath("quillmore-Ab12cD");
    QVERIFY(QDir().mkpath(folder));
    std::unique_ptr<QLockFile> claim = claimFolder(folder);
    QVERIFY(claim);
    QCOMPARE(removeLeftoverFolders(parent.path(), kStagingFolderPrefix), 0);
    QVERIFY(QFileInfo::exists(folder + '/' + kFolderLockName));
    // Still held by us after the look.
    QVERIFY(claim->isLocked());
    QVERIFY(!claimFolder(folder));
}

void LeftoversTest::workbookFolderGoesOnlyWhenUnused_data()
{
    QTest::addColumn<int>("folderDays"); // since the hand-over
    QTest::addColumn<int>("bookDays");   // since the workbook was last saved
    QTest::addColumn<bool>("open");      // by the application it went to
    QTest::addColumn<bool>("claimed");   // by a running copy still writing it
    QTest::addColumn<bool>("removed");
    QTest::newRow("left alone for two days") << 2 << 2 << false << false << true;
    QTest::newRow("handed over lately") << 0 << 0 << false << false << false;
    QTest::newRow("saved in place lately") << 2 << 0 << false << false << false;
    QTest::newRow("open in its application") << 2 << 2 << true << false << false;
    QTest::newRow("claimed by a running copy") << 2 << 2 << false << true << false;
}

void LeftoversTest::workbookFolderGoesOnlyWhenUnused()
{
    QFETCH(int, folderDays);
    QFETCH(int, bookDays);
    QFETCH(bool, open);
    QFETCH(bool, claimed);
    QFETCH(bool, removed);
    QTemporaryDir parent;
    const QString folder = parent.filePath(kWorkbookFolderPrefix + "Ab12cD");
    QVERIFY(QDir().mkpath(folder));
    QFile book(folder + "/Book1.xlsx");
    QVERIFY(book.open(QIODevice::WriteOnly));
    QCOMPARE(book.write("data"), 4);
    QVERIFY(book.flush());
    if (!open)
        book.close();
    std::unique_ptr<QLockFile> claim = claimed ? claimFolder(folder) : nullptr;
    QVERIFY(!claimed || claim);
    if (claimed)
        QVERIFY(setAge(folder + '/' + kFolderLockName, folderDays));
    QVERIFY(setAge(book.fileName(), bookDays));
    QVERIFY(setAge(folder, folderDays));

    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addDays(-kWorkbookKeepDays);
    QCOMPARE(removeUnusedWorkbookFolders(parent.path(), cutoff), removed ? 1 : 0);
    QCOMPARE(QFileInfo::exists(folder), !removed);
}

void LeftoversTest::foldersNotOursAreLeft()
{
    QTemporaryDir parent;
    QTemporaryDir elsewhere;
    // A folder of the right name without our lock: someone else's.
    const QString unlocked = parent.filePath("quillmore-NoLock");
    QVERIFY(QDir().mkpath(unlocked));
    // A link of the right name to a folder that would qualify itself.
    const QString target = elsewhere.filePath("quillmore-Target");
    QVERIFY(plantStaleFolder(target));
    QVERIFY(QFile::link(target, parent.filePath("quillmore-Linked")));
    // Stale folders of ours whose names do not fit.
    const QStringList misnamed{"quillmore-Ab12c", "quillmore-Ab12cDe", "quillmore-Ab-2cD",
                               "quillmorx-Ab12cD"};
    for (const QString& name : misnamed)
        QVERIFY(plantStaleFolder(parent.filePath(name)));
    // A file of the right name.
    QFile file(parent.filePath("quillmore-IsFile"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    // The lock name taken by a folder, not a lock.
    QVERIFY(QDir().mkpath(parent.filePath("quillmore-DirLck/") + kFolderLockName));

    QCOMPARE(removeLeftoverFolders(parent.path(), kStagingFolderPrefix), 0);
    QVERIFY(QFileInfo(unlocked).isDir());
    QVERIFY(QFileInfo(parent.filePath("quillmore-Linked")).isSymLink());
    QVERIFY(QFile::exists(target + "/inner/Book1.xlsx"));
    for (const QString& name : misnamed)
        QVERIFY2(QFileInfo(parent.filePath(name)).isDir(), qPrintable(name));
    QVERIFY(file.exists());
    QVERIFY(QFileInfo(parent.filePath("quillmore-DirLck")).isDir());
}

void LeftoversTest::folderOfAnotherUserIsLeft()
{
    if (::geteuid() != 0)
        QSKIP("Only root can give a folder to another user, so the case cannot be planted");
    QTemporaryDir parent;
    const QString folder = parent.filePath("quillmore-Others");
    QVERIFY(plantStaleFolder(folder));
    const uid_t nobody = 65534;
    QCOMPARE(::chown(QFile::encodeName(folder).constData(), nobody, nobody), 0);
    QCOMPARE(removeLeftoverFolders(parent.path(), kStagingFolderPrefix), 0);
    QVERIFY(QFile::exists(folder + "/inner/Book1.xlsx"));
}

void LeftoversTest::claimIsExclusiveAndEndsWithItsObject()
{
    QTemporaryDir parent;
    const QString lockPath = parent.filePath(kFolderLockName);
    {
        std::unique_ptr<QLockFile> claim = claimFolder(parent.path());
        QVERIFY(claim);
        QVERIFY(QFile::exists(lockPath));
        QVERIFY(!claimFolder(parent.path()));
    }
    QVERIFY(!QFile::exists(lockPath));
    QVERIFY(claimFolder(parent.path()));
    QVERIFY(!claimFolder(parent.filePath("missing")));
}

int main(int argc, char* argv[])
{
    const QByteArray plant = qgetenv(kPlantLockVariable);
    if (!plant.isEmpty()) {
        QLockFile lock(QString::fromLocal8Bit(plant));
        if (!lock.tryLock(0))
            return 1;
        std::_Exit(0);
    }
    QCoreApplication app(argc, argv);
    LeftoversTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_leftovers.moc"
