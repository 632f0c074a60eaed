// The journals of earlier versions become history once, and nothing a user
// had is lost on the way.
#include "export/journalformat.h"
#include "history/historystore.h"
#include "history/journalimport.h"
#include "numbers/phonenumbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray cliLine(const QString& number, const QString& answer)
{
    // The command line's run journals write earlier-version appends.
    return journalAppendLine(std::nullopt, ResultRecord{number, {number, "Mobile"}, answer, false});
}

QStringList typedOf(const QList<StoredAnswer>& rows)
{
    QStringList typed;
    for (const StoredAnswer& r : rows)
        typed << r.typed;
    return typed;
}

// The numbers of every session a desktop start would offer, latest first.
QList<QStringList> offered(HistoryStore& store)
{
    QList<QStringList> sessions;
    const qint64 now = store.startSession(kDesktopProgram);
    for (const HistorySession& s : store.sessionsToRestore(kDesktopProgram, now))
        sessions << typedOf(store.sessionRows(s.id));
    return sessions;
}

} // namespace

class TestHistoryImport : public QObject
{
    Q_OBJECT

private slots:
    void everyJournalShape_data();
    void everyJournalShape();
    void sessionsKeepTheirOrder();
    void commandLineRunsBecomeUnfinishedRuns();
    void fileTakenInBeforeAKillIsNotTakenTwice();
    void rowsThatWereNoAnswers_data();
    void rowsThatWereNoAnswers();
};

void TestHistoryImport::everyJournalShape_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("numbers");
    const QByteArray a = R"({"op":"append","id":1,"number":"A","cells":["A"],"answer":"{}"})"
                         "\n";
    QTest::newRow("null answer") << QByteArray(R"({"op":"append","number":"A","cells":["A"],)"
                                               R"("answer":null})")
                                 << QStringList{"A"};
    QTest::newRow("boolean and nested members")
        << QByteArray(R"({"op":"append","id":1,"number":"A","cells":["A"],"ticked":true,)"
                      R"("meta":{"x":[1,null,{"y":false}]},"score":0.5})")
        << QStringList{"A"};
    QTest::newRow("unknown op") << a + R"({"op":"rename","id":1,"number":"B","cells":["B"]})"
                                << QStringList{"A"};
    QTest::newRow("append without cells") << a + R"({"op":"append","id":2,"number":"B"})" + "\n" +
                                                 R"({"op":"append","id":4,"cells":["D"]})"
                                          << QStringList{"A"};
    QTest::newRow("torn last line")
        << a + R"({"op":"append","id":2,"number":"B","cells":["B)" << QStringList{"A"};
    QTest::newRow("rows by position")
        << QByteArray(R"({"op":"append","number":"A","cells":["A"],"answer":""})"
                      "\n"
                      R"({"op":"append","number":"B","cells":["B"],"answer":""})"
                      "\n"
                      R"({"op":"append","number":"C","cells":["C"],"answer":""})"
                      "\n"
                      R"({"op":"remove","index":1})"
                      "\n")
        << QStringList{"A", "C"};
    QTest::newRow("rows by id, removed and cleared")
        << a + R"({"op":"clear"})" + "\n" + QByteArray(a).replace("\"A\"", "\"E\"") +
               R"({"op":"append","id":2,"number":"F","cells":["F"],"answer":"{}"})" + "\n" +
               R"({"op":"remove","id":1})" + "\n"
        << QStringList{"F"};
}

void TestHistoryImport::everyJournalShape()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, numbers);
    QTemporaryDir dir;
    const QString journal = dir.filePath("results-1.journal");
    QVERIFY(writeFile(journal, text));
    HistoryStore store(dir.path());
    store.open();
    const JournalImport imported = importJournals(store, dir.path(), PhoneNumbers("US"));
    QCOMPARE(imported.files, 1);
    QCOMPARE(imported.rows, numbers.size());
    QVERIFY(imported.leftOver.isEmpty());
    QVERIFY(!QFileInfo::exists(journal));
    QFile renamed(journal + ".imported");
    QVERIFY(renamed.open(QIODevice::ReadOnly));
    QCOMPARE(renamed.readAll(), text);
    QCOMPARE(offered(store), QList<QStringList>{numbers});
    // Taken in once: the next start finds nothing more.
    QCOMPARE(importJournals(store, dir.path(), PhoneNumbers("US")).files, 0);
}

void TestHistoryImport::sessionsKeepTheirOrder()
{
    QTemporaryDir dir;
    const auto line = [](const char* n) {
        return QByteArray(R"({"op":"append","number":")") + n +
               R"(","cells":["x"],"answer":"{}"})" + "\n";
    };
    QVERIFY(writeFile(dir.filePath("results-10.journal"), line("10")));
    QVERIFY(writeFile(dir.filePath("results-2.journal"), line("2")));
    QVERIFY(writeFile(dir.filePath("results-3.journal.restored"), line("3")));
    QVERIFY(writeFile(dir.filePath("results.journal.previous"), line("previous")));
    QVERIFY(writeFile(dir.filePath("results.journal"), line("last")));
    HistoryStore store(dir.path());
    store.open();
    QCOMPARE(importJournals(store, dir.path(), PhoneNumbers("US")).files, 4);
    QCOMPARE(offered(store), (QList<QStringList>{{"last"}, {"previous"}, {"10"}, {"2"}}));
    // A restored session's rows are in a later one; its file is left alone.
    QVERIFY(QFileInfo::exists(dir.filePath("results-3.journal.restored")));
}

void TestHistoryImport::commandLineRunsBecomeUnfinishedRuns()
{
    QTemporaryDir dir;
    const QString done = dir.filePath("runs/abc123.journal");
    const QString running = dir.filePath("runs/def456.journal");
    QVERIFY(writeFile(done, cliLine("(413) 592-3823", "{\"a\":1}") +
                                cliLine("555-0100", "Could not connect") + "{\"op\":\"app"));
    QVERIFY(writeFile(running, cliLine("1", "{}")));
    QLockFile held(running + ".lock");
    QVERIFY(held.tryLock(0));
    HistoryStore store(dir.path());
    store.open();
    const JournalImport imported = importJournals(store, dir.path(), PhoneNumbers("US"));
    QCOMPARE(imported.files, 1);
    QCOMPARE(imported.leftOver, QStringList{running});
    QVERIFY(QFileInfo::exists(running));
    QVERIFY(QFileInfo::exists(done + ".imported"));

    const std::optional<HistorySession> run = store.unfinishedRun(kCliProgram, "abc123");
    QVERIFY(run);
    const QList<StoredAnswer> rows = store.sessionRows(run->id);
    QCOMPARE(typedOf(rows), (QStringList{"(413) 592-3823", "555-0100"}));
    QCOMPARE(rows[0].e164, QString("+14135923823"));
    QCOMPARE(rows[0].received, QFileInfo(done + ".imported").lastModified().toUTC());
    QVERIFY(!rows[0].failure);
    QVERIFY(rows[1].failure);
    // Only the answer is reused, under its E.164 form.
    const auto reusable = store.reusable({"+14135923823", "5550100"}, 30);
    QCOMPARE(reusable.keys(), QStringList{"+14135923823"});
    // Once that run has ended, the next start takes its journal in.
    held.unlock();
    QCOMPARE(importJournals(store, dir.path(), PhoneNumbers("US")).files, 1);
    QVERIFY(store.unfinishedRun(kCliProgram, "def456"));
}

void TestHistoryImport::fileTakenInBeforeAKillIsNotTakenTwice()
{
    QTemporaryDir dir;
    const QString journal = dir.filePath("results-1.journal");
    const QByteArray text = cliLine("A", "{}") + cliLine("B", "{}");
    QVERIFY(writeFile(journal, text));
    HistoryStore store(dir.path());
    store.open();
    QCOMPARE(importJournals(store, dir.path(), PhoneNumbers("US")).rows, 2);
    // As if the start was killed after the rows were in, before the rename.
    QVERIFY(QFile::rename(journal + ".imported", journal));
    const JournalImport again = importJournals(store, dir.path(), PhoneNumbers("US"));
    QCOMPARE(again.files, 0);
    QVERIFY(QFileInfo::exists(journal + ".imported"));
    QCOMPARE(offered(store), (QList<QStringList>{{"A", "B"}}));
}

void TestHistoryImport::rowsThatWereNoAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("failure");
    QTest::newRow("an answer") << R"({"phone_number":"4135923823"})"
                               << "Active" << false;
    QTest::newRow("not JSON, but an answer") << "not JSON at all"
                                             << "" << false;
    QTest::newRow("could not connect") << "Could not connect"
                                       << "Could not connect" << true;
    QTest::newRow("empty file") << "empty file"
                                << "" << true;
    QTest::newRow("no answer kept") << ""
                                    << "" << true;
    QTest::newRow("service error status") << "<html>Bad Gateway</html>"
                                          << "Service error (HTTP 502)" << true;
}

void TestHistoryImport::rowsThatWereNoAnswers()
{
    QFETCH(QString, answer);
    QFETCH(QString, status);
    QFETCH(bool, failure);
    const ResultRecord record{
        "+1 413 592 3823", {"4135923823", "", "", "", "", status}, answer, false};
    const StoredAnswer a = importedAnswer(record, PhoneNumbers("US"));
    QCOMPARE(a.failure, failure);
    QCOMPARE(a.sent, QString("14135923823"));
    QCOMPARE(a.e164, QString("+14135923823"));
    QCOMPARE(a.rowStatus, status);
}

QTEST_GUILESS_MAIN(TestHistoryImport)
#include "tst_historyimport.moc"
