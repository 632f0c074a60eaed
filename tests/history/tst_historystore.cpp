#include "history/historysettings.h"
#include "history/historystore.h"
#include "historytesting.h"
#include "shell/errorreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const QDateTime kNow = historyNow();

// A connection of the test's own, beside the store's, to look at the file.
QVariant pragma(const QString& path, const QString& statement)
{
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "probe");
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(statement) && q.next())
                value = q.value(0);
        }
    }
    QSqlDatabase::removeDatabase("probe");
    return value;
}

QStringList typedOf(const QList<StoredAnswer>& rows)
{
    QStringList typed;
    for (const StoredAnswer& r : rows)
        typed << r.typed;
    return typed;
}

QList<qint64> idsOf(const QList<HistorySession>& sessions)
{
    QList<qint64> ids;
    for (const HistorySession& s : sessions)
        ids << s.id;
    return ids;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

private slots:
    void newFileIsPrivateInWalMode();
    void migratesFromVersionZero();
    void refusesANewerSchema();
    void storedAnswersComeBackWhole();
    void listFollowsRemovalsAndClears();
    void restoreOffersTheLatestTenWithinThirtyDays();
    void reuseBoundaries_data();
    void reuseBoundaries();
    void reuseMatchesTheKeyGiven();
    void forgetErasesEveryRowOfTheNumber();
    void pruneAtOpenDropsOldAnswers();
    void historyDaysSetting_data();
    void historyDaysSetting();
    void twoStoresWriteAtOnce();
};

void TestHistoryStore::newFileIsPrivateInWalMode()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("data/Halvren/Quillmore");
    HistoryStore store(folder);
    store.open(HistoryStore::kKeepDays, kNow);
    QVERIFY(store.canWrite());
    const qint64 session = store.startSession(kDesktopProgram, {}, kNow);
    QVERIFY(store.store(answerFor(session, "4135923823", "+14135923823", kNow)) > 0);
    QCOMPARE(store.fileName(), QDir(folder).filePath("history.sqlite"));

    const auto all = QFileDevice::Permissions(0x7077); // owner, group, others
    const auto ownerRw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QCOMPARE(QFileInfo(folder).permissions() & all, ownerRw | QFileDevice::ExeOwner);
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        QCOMPARE(QFileInfo(QDir(folder).filePath(name)).permissions() & all, ownerRw);
    QVERIFY(QFileInfo::exists(store.fileName() + "-wal"));
    QCOMPARE(pragma(store.fileName(), "PRAGMA journal_mode").toString(), QString("wal"));
    QCOMPARE(pragma(store.fileName(), "PRAGMA user_version").toInt(), 1);
}

void TestHistoryStore::migratesFromVersionZero()
{
    // A file an interrupted first start left: a database, version 0, no tables.
    QTemporaryDir dir;
    const QString path = dir.filePath("history.sqlite");
    QCOMPARE(pragma(path, "PRAGMA user_version").toInt(), 0);
    {
        HistoryStore store(dir.path());
        store.open(HistoryStore::kKeepDays, kNow);
        const qint64 session = store.startSession(kCliProgram, "run", kNow);
        QVERIFY(store.store(answerFor(session, "555 0100", {}, kNow)) > 0);
    }
    QCOMPARE(pragma(path, "PRAGMA user_version").toInt(), 1);
    // A second open finds the schema in place and keeps the row.
    HistoryStore again(dir.path());
    again.open(HistoryStore::kKeepDays, kNow);
    QCOMPARE(again.unfinishedRun(kCliProgram, "run")->rows, 1);
}

void TestHistoryStore::refusesANewerSchema()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("history.sqlite");
    pragma(path, "PRAGMA user_version = 7");
    HistoryStore store(dir.path());
    QVERIFY_THROWS_EXCEPTION(Failure, store.open(HistoryStore::kKeepDays, kNow));
    QVERIFY(!store.canRead());
    // Off: nothing is written into a file it would misread, and nothing throws again.
    QCOMPARE(store.startSession(kDesktopProgram, {}, kNow), 0);
    QCOMPARE(pragma(path, "PRAGMA user_version").toInt(), 7);
    QVERIFY(QFileInfo::exists(path));
}

void TestHistoryStore::storedAnswersComeBackWhole()
{
    QTemporaryDir dir;
    StoredAnswer awkward;
    awkward.program = kCliProgram;
    awkward.received = kNow.addMSecs(-1234);
    awkward.typed = QString::fromUtf8(" (413) 592-3823 ☎ ");
    awkward.sent = "4135923823";
    awkward.e164 = "+14135923823";
    awkward.answer = QString::fromUtf8("{\"name\":\"Zoë \\\"Li\\\" 😀\", \"n\":null}");
    awkward.httpStatus = 203;
    awkward.cells = {"4135923823",   "", QString::fromUtf8("Zoë \"Li\" 😀\\"),
                     "a,b\r\nc\x01", "", "Active"};
    awkward.rowStatus = "answered";
    qint64 id = 0;
    {
        HistoryStore store(dir.path());
        store.open(HistoryStore::kKeepDays, kNow);
        awkward.session = store.startSession(kCliProgram, "hash", kNow.addDays(-1));
        id = store.store(awkward);
        QVERIFY(id > 0);
        store.store(answerFor(awkward.session, "555", {}, kNow, true));
    }
    HistoryStore store(dir.path());
    store.open(HistoryStore::kKeepDays, kNow);
    const QList<StoredAnswer> back = store.answers({id, 999, id});
    QCOMPARE(back.size(), 2);
    const StoredAnswer& a = back.first();
    QCOMPARE(a.id, id);
    QCOMPARE(a.session, awkward.session);
    QCOMPARE(a.program, awkward.program);
    QCOMPARE(a.received, awkward.received);
    QCOMPARE(a.received.timeSpec(), Qt::UTC);
    QCOMPARE(a.typed, awkward.typed);
    QCOMPARE(a.sent, awkward.sent);
    QCOMPARE(a.e164, awkward.e164);
    QCOMPARE(a.answer, awkward.answer);
    QCOMPARE(a.httpStatus, awkward.httpStatus);
    QCOMPARE(a.cells, awkward.cells);
    QCOMPARE(a.rowStatus, awkward.rowStatus);
    QCOMPARE(a.failure, false);
    // The export reads failures too, oldest first, from the date given.
    HistoryRows rows = store.rowsSince(kNow.addSecs(-60));
    QStringList seen;
    while (rows.next())
        seen << rows.row().typed + (rows.row().failure ? " failed" : "");
    QVERIFY(!rows.failed());
    QCOMPARE(seen, (QStringList{awkward.typed, "555 failed"}));
    HistoryRows later = store.rowsSince(kNow.addSecs(1));
    QVERIFY(!later.next());
}

void TestHistoryStore::listFollowsRemovalsAndClears()
{
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    store.open(HistoryStore::kKeepDays, kNow);
    const qint64 s = store.startSession(kDesktopProgram, {}, kNow);
    QList<qint64> ids;
    for (const QString n : {"1", "2", "3", "4"})
        ids << store.store(answerFor(s, n, {}, kNow));
    store.removeFromList(s, ids[1]);
    QCOMPARE(typedOf(store.sessionRows(s)), (QStringList{"1", "3", "4"}));
    store.clearList(s);
    store.store(answerFor(s, "5", {}, kNow));
    // A row restored from elsewhere joins at the end; an unknown id adds nothing.
    store.addToList(s, ids[0]);
    store.addToList(s, 4242);
    QCOMPARE(typedOf(store.sessionRows(s)), (QStringList{"5", "1"}));
    // Taken off the list, the answers stay in the history.
    QCOMPARE(store.answers(ids).size(), 4);
}

void TestHistoryStore::restoreOffersTheLatestTenWithinThirtyDays()
{
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    store.open(HistoryStore::kKeepDays, kNow);
    QList<qint64> sessions;
    for (int i = 0; i < 14; ++i) {
        const QDateTime at = kNow.addDays(-20).addSecs(i);
        sessions << store.startSession(kDesktopProgram, {}, at);
        store.store(answerFor(sessions.last(), QString::number(i), {}, at));
    }
    // Last changed a minute over the limit; exactly at it; emptied; restored;
    // a command-line run is no desktop session.
    const qint64 tooOld = store.startSession(kDesktopProgram, {}, kNow.addDays(-31));
    store.store(answerFor(tooOld, "old", {}, kNow.addDays(-30).addSecs(-60)));
    const qint64 justInTime = store.startSession(kDesktopProgram, {}, kNow.addDays(-30));
    store.store(answerFor(justInTime, "edge", {}, kNow.addDays(-30)));
    const qint64 emptied = store.startSession(kDesktopProgram, {}, kNow.addDays(-1));
    store.removeFromList(emptied, store.store(answerFor(emptied, "gone", {}, kNow.addDays(-1))));
    store.markRestored(sessions[13]);
    const qint64 run = store.startSession(kCliProgram, "hash", kNow);
    store.store(answerFor(run, "cli", {}, kNow));
    const qint64 current = store.startSession(kDesktopProgram, {}, kNow);

    const QList<HistorySession> offered = store.sessionsToRestore(kDesktopProgram, current, kNow);
    QList<qint64> expected{justInTime};
    for (int i = 12; expected.size() < HistoryStore::kRestoreSessions; --i)
        expected << sessions[i];
    QCOMPARE(idsOf(offered), expected);
    QCOMPARE(offered.first().rows, 1);
    QCOMPARE(typedOf(store.sessionRows(offered[1].id)), QStringList{"12"});

    // The next start: the restored one goes, and those left out stay out.
    store.markRestored(offered[0].id);
    const qint64 next = store.startSession(kDesktopProgram, {}, kNow);
    const QList<qint64> after = idsOf(store.sessionsToRestore(kDesktopProgram, next, kNow));
    QCOMPARE(after, expected.mid(1));
    // Its own session, with rows, is offered to the start after it.
    store.store(answerFor(next, "mine", {}, kNow));
    QCOMPARE(idsOf(store.sessionsToRestore(kDesktopProgram, 0, kNow)).first(), next);
}

void TestHistoryStore::reuseBoundaries_data()
{
    QTest::addColumn<QList<int>>("agesInSeconds"); // negative: a failure that old
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("reused"); // index into the ages, -1 for none
    const int day = 24 * 3600;
    QTest::newRow("exactly D days old") << QList<int>{30 * day} << 30 << -1;
    QTest::newRow("a second younger") << QList<int>{30 * day - 1} << 30 << 0;
    QTest::newRow("a failure never") << QList<int>{-60} << 30 << -1;
    QTest::newRow("a newer failure passes over") << QList<int>{2 * day, -60} << 30 << 0;
    QTest::newRow("the newest answer") << QList<int>{5 * day, day, 3 * day} << 30 << 1;
    QTest::newRow("no days, no reuse") << QList<int>{60} << 0 << -1;
    QTest::newRow("one day") << QList<int>{day + 1, day - 1} << 1 << 1;
}

void TestHistoryStore::reuseBoundaries()
{
    QFETCH(QList<int>, agesInSeconds);
    QFETCH(int, days);
    QFETCH(int, reused);
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    store.open(HistoryStore::kKeepDays, kNow);
    const qint64 s = store.startSession(kCliProgram, {}, kNow.addDays(-40));
    QList<qint64> ids;
    for (const int age : agesInSeconds)
        ids << store.store(
            answerFor(s, "+1 413 592 3823", "+14135923823", kNow.addSecs(-std::abs(age)), age < 0));
    const QHash<QString, ReusableAnswer> found = store.reusable({"+14135923823"}, days, kNow);
    if (reused < 0) {
        QVERIFY(found.isEmpty());
        return;
    }
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.value("+14135923823").id, ids.at(reused));
    QCOMPARE(found.value("+14135923823").received,
             kNow.addSecs(-std::abs(agesInSeconds.at(reused))));
}

void TestHistoryStore::reuseMatchesTheKeyGiven()
{
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    store.open(HistoryStore::kKeepDays, kNow);
    const qint64 s = store.startSession(kCliProgram, {}, kNow);
    const qint64 withE164 = store.store(answerFor(s, "(413) 592-3823", "+14135923823", kNow));
    const qint64 digitsOnly = store.store(answerFor(s, "555-0100", {}, kNow));
    // Keys are matched as given: the E.164 form where the number has one,
    // else the digits sent; the other spelling of either finds nothing.
    const QHash<QString, ReusableAnswer> found = store.reusable(
        {"+14135923823", "4135923823", "5550100", "+15550100", "+14135923823"}, 30, kNow);
    QCOMPARE(found.size(), 2);
    QCOMPARE(found.value("+14135923823").id, withE164);
    QCOMPARE(found.value("5550100").id, digitsOnly);
}

void TestHistoryStore::forgetErasesEveryRowOfTheNumber()
{
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    store.open(HistoryStore::kKeepDays, kNow);
    const qint64 s = store.startSession(kDesktopProgram, {}, kNow);
    StoredAnswer secret = answerFor(s, "413.592.3823", "+14135923823", kNow);
    secret.answer = "{\"name\":\"Margaret Quintessential-Erasable\"}";
    store.store(secret);
    store.store(answerFor(s, "+1 (413) 592-3823", "+14135923823", kNow, true));
    const qint64 kept = store.store(answerFor(s, "555-0100", {}, kNow));
    QCOMPARE(store.forget("+14135923823"), 2);
    QCOMPARE(store.forget("+14135923823"), 0);
    QVERIFY(store.reusable({"+14135923823"}, 30, kNow).isEmpty());
    QCOMPARE(typedOf(store.sessionRows(s)), QStringList{"555-0100"});
    QCOMPARE(store.answers({kept}).size(), 1);
    // Erased from the disk too, not only from what the store shows.
    for (const char* suffix : {"", "-wal"})
        QVERIFY2(!fileBytes(store.fileName() + suffix).contains("Quintessential-Erasable"), suffix);
}

void TestHistoryStore::pruneAtOpenDropsOldAnswers()
{
    QTemporaryDir dir;
    qint64 oldSession = 0;
    {
        HistoryStore store(dir.path());
        store.open(HistoryStore::kKeepDays, kNow.addDays(-100));
        oldSession = store.startSession(kDesktopProgram, {}, kNow.addDays(-95));
        store.store(answerFor(oldSession, "old", {}, kNow.addDays(-91)));
        const qint64 recent = store.startSession(kDesktopProgram, {}, kNow.addDays(-89));
        store.store(answerFor(recent, "recent", {}, kNow.addDays(-89)));
    }
    HistoryStore store(dir.path());
    store.open(HistoryStore::kKeepDays, kNow);
    HistoryRows rows = store.rowsSince(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC));
    QStringList left;
    while (rows.next())
        left << rows.row().typed;
    QCOMPARE(left, QStringList{"recent"});
    QVERIFY(store.sessionRows(oldSession).isEmpty());
    // A shorter setting takes the rest at the next start.
    QCOMPARE(store.prune(30, kNow), 1);
}

void TestHistoryStore::historyDaysSetting_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("days");
    QTest::newRow("unset") << QString() << 90;
    QTest::newRow("set") << "30" << 30;
    QTest::newRow("spaces") << " 7 " << 7;
    QTest::newRow("zero") << "0" << 90;
    QTest::newRow("negative") << "-5" << 90;
    QTest::newRow("words") << "a week" << 90;
}

void TestHistoryStore::historyDaysSetting()
{
    QFETCH(QString, value);
    QFETCH(int, days);
    QCOMPARE(historyDays(value), days);
}

void TestHistoryStore::twoStoresWriteAtOnce()
{
    QTemporaryDir dir;
    HistoryStore desktop(dir.path());
    HistoryStore cli(dir.path());
    desktop.open(HistoryStore::kKeepDays, kNow);
    cli.open(HistoryStore::kKeepDays, kNow);
    const qint64 a = desktop.startSession(kDesktopProgram, {}, kNow);
    const qint64 b = cli.startSession(kCliProgram, "run", kNow);
    for (int i = 0; i < 50; ++i) {
        QVERIFY(desktop.store(answerFor(a, QString("d%1").arg(i), {}, kNow)) > 0);
        QVERIFY(cli.store(answerFor(b, QString("c%1").arg(i), {}, kNow)) > 0);
    }
    QCOMPARE(cli.sessionRows(a).size(), 50);
    QCOMPARE(desktop.sessionRows(b).size(), 50);
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
