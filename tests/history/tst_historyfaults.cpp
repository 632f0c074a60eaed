// What the history does when the disk, another program or a kill gets in
// its way: tell once, go on with what it can keep, lose nothing committed.
#include "history/historystore.h"
#include "historytesting.h"
#include "shell/errorreport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const char kChildVariable[] = "QUILLMORE_TEST_HISTORY_CHILD";

// The test program run again as another program writing to the history:
// "forever <folder>" stores answers until killed, printing each id once its
// commit returned; "count <folder> <tag> <n>" stores n and ends.
int runChild(const QStringList& args)
{
    HistoryStore store(args.value(1));
    try {
        store.open();
    } catch (const Failure& f) {
        std::fprintf(stderr, "%s\n", f.what());
        return 2;
    }
    const bool endless = args.value(0) == "forever";
    const qint64 session = store.startSession(kCliProgram, args.value(2));
    const int count = endless ? INT_MAX : args.value(3).toInt();
    for (int i = 0; i < count; ++i) {
        const qint64 id = store.store(answerFor(session, QString("%1-%2").arg(args.value(2)).arg(i),
                                                {}, QDateTime::currentDateTimeUtc()));
        if (id <= 0)
            return 3;
        if (endless) {
            std::printf("%lld\n", id);
            std::fflush(stdout);
        }
    }
    return 0;
}

QStringList allTyped(HistoryStore& store)
{
    QStringList typed;
    HistoryRows rows = store.rowsSince(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC));
    while (rows.next())
        typed << rows.row().typed;
    return typed;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A small tmpfs, unmounted again whatever the test's outcome.
struct SmallDisk
{
    explicit SmallDisk(const QString& at) : path(at)
    {
        mounted = QDir().mkpath(at) &&
                  QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", at}) == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            QProcess::execute("umount", {path});
    }
    QString path;
    bool mounted = false;
};

} // namespace

class TestHistoryFaults : public QObject
{
    Q_OBJECT

private slots:
    void damagedFileIsSetAside_data();
    void damagedFileIsSetAside();
    void unusablePlaceIsToldOnce_data();
    void unusablePlaceIsToldOnce();
    void lockedWhileWritingIsToldOnceAndReadsGoOn();
    void fullDiskKeepsWhatWasStored();
    void killedProgramLosesNothingCommitted();
    void twoProgramsWriteAtOnce();
};

void TestHistoryFaults::damagedFileIsSetAside_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("garbage") << QByteArray(5000, 'x');
    QByteArray header("SQLite format 3");
    header.append('\0');
    QTest::newRow("a header and garbage") << header + QByteArray(8192, '\x7f');
}

void TestHistoryFaults::damagedFileIsSetAside()
{
    QFETCH(QByteArray, contents);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("history.sqlite"), contents));
    HistoryStore store(dir.path());
    store.open(HistoryStore::kKeepDays, historyNow());
    const QString aside = dir.filePath("history.sqlite.damaged-20261130T101200Z");
    QCOMPARE(store.openNotice(),
             QString("The lookup history %1 was damaged; it was set aside as %2 and a new one "
                     "was started.")
                 .arg(dir.filePath("history.sqlite"), aside));
    QFile setAside(aside);
    QVERIFY(setAside.open(QIODevice::ReadOnly));
    QCOMPARE(setAside.readAll(), contents);
    const qint64 s = store.startSession(kDesktopProgram);
    QVERIFY(store.store(answerFor(s, "1", {}, historyNow())) > 0);
}

void TestHistoryFaults::unusablePlaceIsToldOnce_data()
{
    QTest::addColumn<bool>("fileIsAFolder");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a folder where the file belongs") << true << "it is not a plain file.";
    QTest::newRow("a file where the folder belongs")
        << false << "a file stands where its folder belongs.";
}

void TestHistoryFaults::unusablePlaceIsToldOnce()
{
    QFETCH(bool, fileIsAFolder);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString folder = dir.path();
    if (fileIsAFolder) {
        QVERIFY(QDir(folder).mkdir("history.sqlite"));
    } else {
        folder = dir.filePath("data");
        QVERIFY(writeFile(folder, "not a folder"));
    }
    HistoryStore store(folder);
    try {
        store.open();
        QFAIL("the store opened");
    } catch (const Failure& f) {
        QCOMPARE(f.description(), QString("The lookup history %1 cannot be used: %2")
                                      .arg(QDir(folder).filePath("history.sqlite"), reason));
    }
    // Off: every call does nothing and tells nothing more.
    QCOMPARE(store.startSession(kDesktopProgram), 0);
    QCOMPARE(store.store(answerFor(1, "1", {}, historyNow())), 0);
    QVERIFY(store.reusable({"1"}, 30).isEmpty());
    QVERIFY(store.sessionsToRestore(kDesktopProgram, 0).isEmpty());
    QVERIFY(!store.rowsSince(historyNow()).next());
    QCOMPARE(store.forget("1"), 0);
}

void TestHistoryFaults::lockedWhileWritingIsToldOnceAndReadsGoOn()
{
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    store.setBusyTimeout(50);
    store.open();
    const qint64 s = store.startSession(kDesktopProgram);
    const qint64 kept = store.store(answerFor(s, "kept", {}, QDateTime::currentDateTimeUtc()));
    {
        // Another program holds the write lock for longer than the store waits.
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(store.fileName());
        QVERIFY(other.open());
        QSqlQuery lock(other);
        QVERIFY(lock.exec("BEGIN IMMEDIATE"));
        int told = 0;
        for (int i = 0; i < 3; ++i) {
            try {
                QCOMPARE(store.store(answerFor(s, "lost", {}, QDateTime::currentDateTimeUtc())), 0);
            } catch (const Failure& f) {
                ++told;
                QVERIFY2(f.description().contains("locked"), f.what());
            }
        }
        QCOMPARE(told, 1);
        QVERIFY(!store.canWrite());
        QVERIFY(lock.exec("ROLLBACK"));
    }
    QSqlDatabase::removeDatabase("other");
    // What was stored before is still read.
    QCOMPARE(store.answers({kept}).size(), 1);
    QCOMPARE(allTyped(store), QStringList{"kept"});
}

void TestHistoryFaults::fullDiskKeepsWhatWasStored()
{
    if (geteuid() != 0)
        QSKIP("mounting a small tmpfs needs root");
    QTemporaryDir dir;
    SmallDisk disk(dir.filePath("small"));
    if (!disk.mounted)
        QSKIP("a small tmpfs cannot be mounted here");
    HistoryStore store(disk.path);
    store.open();
    const qint64 s = store.startSession(kCliProgram, "full");
    QList<qint64> stored;
    int told = 0;
    for (int i = 0; i < 200; ++i) {
        StoredAnswer a = answerFor(s, QString::number(i), {}, QDateTime::currentDateTimeUtc());
        a.answer = QString(4000, QChar(u'a' + i % 26));
        try {
            if (const qint64 id = store.store(a))
                stored << id;
        } catch (const Failure& f) {
            ++told;
            QVERIFY2(f.description().startsWith("The lookup history "), f.what());
        }
    }
    QCOMPARE(told, 1);
    QVERIFY(!stored.isEmpty());
    QVERIFY(stored.size() < 200);
    QVERIFY(!store.canWrite());
    const QList<StoredAnswer> back = store.answers(stored);
    QCOMPARE(back.size(), stored.size());
    for (const StoredAnswer& a : back)
        QCOMPARE(a.answer.size(), 4000);
}

void TestHistoryFaults::killedProgramLosesNothingCommitted()
{
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildVariable, "forever");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"forever", dir.path(), "killed"});
    QList<qint64> acknowledged;
    while (acknowledged.size() < 300 && child.waitForReadyRead(20000))
        while (child.canReadLine())
            acknowledged << child.readLine().trimmed().toLongLong();
    QVERIFY2(acknowledged.size() >= 300, child.readAllStandardError().constData());
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    // Lines printed after the last read were committed too.
    while (child.canReadLine())
        acknowledged << child.readLine().trimmed().toLongLong();

    HistoryStore store(dir.path());
    store.open();
    const QList<StoredAnswer> back = store.answers(acknowledged);
    QCOMPARE(back.size(), acknowledged.size());
    for (qsizetype i = 0; i < back.size(); ++i)
        QCOMPARE(back[i].typed, QString("killed-%1").arg(i));
    const std::optional<HistorySession> run = store.unfinishedRun(kCliProgram, "killed");
    QVERIFY(run);
    QVERIFY(run->rows >= acknowledged.size());
}

void TestHistoryFaults::twoProgramsWriteAtOnce()
{
    QTemporaryDir dir;
    {
        // The file exists before both start, as when the desktop has it open.
        HistoryStore first(dir.path());
        first.open();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildVariable, "count");
    QProcess a, b;
    for (QProcess* p : {&a, &b})
        p->setProcessEnvironment(env);
    a.start(QCoreApplication::applicationFilePath(), {"count", dir.path(), "a", "300"});
    b.start(QCoreApplication::applicationFilePath(), {"count", dir.path(), "b", "300"});
    for (QProcess* p : {&a, &b}) {
        QVERIFY(p->waitForFinished(60000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
    }
    HistoryStore store(dir.path());
    store.open();
    const QStringList typed = allTyped(store);
    QCOMPARE(typed.size(), 600);
    QCOMPARE(typed.filter(QRegularExpression("^a-")).size(), 300);
    QCOMPARE(store.unfinishedRun(kCliProgram, "b")->rows, 300);
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runChild(app.arguments().mid(1));
    TestHistoryFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_historyfaults.moc"
