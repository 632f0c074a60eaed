#include "export/journalformat.h"
#include "export/resultsjournal.h"
#include "shell/errorreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

using namespace quillmore;

namespace {

ResultRecord row(const QString& number)
{
    return ResultRecord{
        number,
        {number, "Mobile", QString::fromUtf8("Zoë \"Li\" 😀\\"), "a,b\r\nc\x01", "", "Active"},
        QStringLiteral("{\"phone\":\"%1\", \"note\":\"line\\nbreak\"}").arg(number),
        true};
}

// What a restored list holds: everything but the ticks.
QList<ResultRecord> unticked(QList<ResultRecord> rows)
{
    for (ResultRecord& r : rows)
        r.ticked = false;
    return rows;
}

bool sameRows(const QList<ResultRecord>& a, const QList<ResultRecord>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].number != b[i].number || a[i].cells != b[i].cells || a[i].answer != b[i].answer ||
            a[i].ticked != b[i].ticked)
            return false;
    }
    return true;
}

QStringList numbersOf(const QList<ResultRecord>& rows)
{
    QStringList numbers;
    for (const ResultRecord& r : rows)
        numbers << r.number;
    return numbers;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One session that ends holding these rows, the ids counted from 1.
void sessionWith(const QString& folder, const QStringList& numbers)
{
    ResultsJournal journal(folder);
    quint64 id = 1;
    for (const QString& n : numbers)
        journal.append(id++, row(n));
}

// The numbers of every session a new start offers, latest first.
QList<QStringList> restoreAll(ResultsJournal& journal)
{
    QList<QStringList> sessions;
    while (journal.hasUnrestoredSession())
        sessions << numbersOf(journal.takeLatestSession().rows);
    return sessions;
}

} // namespace

class ResultsJournalTest : public QObject
{
    Q_OBJECT

private slots:
    void newSessionRestoresTheList();
    void eachChangeIsOnDiskAtOnce();
    void linesAreReadAsFarAsKnown_data();
    void linesAreReadAsFarAsKnown();
    void sessionsWaitUntilRestored();
    void oldAndSurplusSessionsGo();
    void earlierLayoutIsTakenIn();
    void journalThatCannotBeMadeLosesNothing();
    void filesAreOwnerOnly();
    void fileWhereTheFolderBelongsThrows();
};

void ResultsJournalTest::newSessionRestoresTheList()
{
    QTemporaryDir dir;
    QList<ResultRecord> list;
    {
        ResultsJournal journal(dir.path());
        QVERIFY(!journal.hasUnrestoredSession());
        // Mirror every change on a plain list: the journal must end up equal to it.
        QList<quint64> ids;
        quint64 nextId = 1;
        auto append = [&](const QString& n) {
            ids.append(nextId);
            journal.append(nextId++, row(n));
            list.append(row(n));
        };
        auto removeAt = [&](qsizetype i) {
            journal.remove(ids.takeAt(i));
            list.removeAt(i);
        };
        append("1");
        append("2");
        journal.clear();
        list.clear();
        ids.clear();
        append("3");
        append("4");
        append("5");
        append("6");
        removeAt(0);
        removeAt(2);
        append("7");
        journal.remove(99); // no such row: the list ignores it too
    }
    ResultsJournal next(dir.path());
    QVERIFY(sameRows(next.takeLatestSession().rows, unticked(list)));
    QCOMPARE(list.size(), 3);
}

void ResultsJournalTest::eachChangeIsOnDiskAtOnce()
{
    QTemporaryDir dir;
    ResultsJournal journal(dir.path());
    journal.append(7, row("1"));
    // Read by another file handle while the journal is still open, as after a kill.
    const QByteArray text = readAll(journal.fileName());
    QVERIFY(sameRows(replayJournal(text), unticked({row("1")})));
    journal.remove(7);
    journal.clear();
    // Each line is a JSON object that any JSON tool reads.
    const QList<QByteArray> lines = readAll(journal.fileName()).split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.last().isEmpty());
    for (qsizetype i = 0; i < 3; ++i)
        QVERIFY2(QJsonDocument::fromJson(lines.at(i)).object().contains("op"), lines.at(i));
}

void ResultsJournalTest::linesAreReadAsFarAsKnown_data()
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
    QTest::newRow("unknown op with a boolean")
        << a + R"({"op":"tick","id":1,"on":true})" << QStringList{"A"};
    QTest::newRow("unknown op") << a + R"({"op":"rename","id":1,"number":"B","cells":["B"]})"
                                << QStringList{"A"};
    QTest::newRow("append without cells")
        << a + R"({"op":"append","id":2,"number":"B"})" + "\n" +
               R"({"op":"append","id":3,"number":"C","cells":"C"})" + "\n" +
               R"({"op":"append","id":4,"cells":["D"]})"
        << QStringList{"A"};
    QTest::newRow("torn last line")
        << a + R"({"op":"append","id":2,"number":"B","cells":["B)" << QStringList{"A"};
    // As the earlier version wrote them: no ids, removes by position.
    QTest::newRow("rows by position")
        << QByteArray(R"({"op":"append","number":"A","cells":["A"],"answer":""})"
                      "\n"
                      R"({"op":"append","number":"B","cells":["B"],"answer":""})"
                      "\n"
                      R"({"op":"append","number":"C","cells":["C"],"answer":""})"
                      "\n"
                      R"({"op":"remove","index":1})"
                      "\n"
                      R"({"op":"remove","index":5})"
                      "\n")
        << QStringList{"A", "C"};
}

void ResultsJournalTest::linesAreReadAsFarAsKnown()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, numbers);
    const QList<ResultRecord> rows = replayJournal(text);
    QCOMPARE(numbersOf(rows), numbers);
    for (const ResultRecord& r : rows)
        QCOMPARE(r.cells, QStringList{r.number});
}

void ResultsJournalTest::sessionsWaitUntilRestored()
{
    // A crash, then starts that restore nothing: one with no rows, one with rows.
    QTemporaryDir dir;
    sessionWith(dir.path(), {"crashed 1", "crashed 2"});
    sessionWith(dir.path(), {});
    sessionWith(dir.path(), {"later"});
    sessionWith(dir.path(), {});
    {
        // Rows that were all taken away again leave a session with none.
        ResultsJournal emptied(dir.path());
        emptied.append(1, row("removed"));
        emptied.append(2, row("cleared"));
        emptied.remove(1);
        emptied.clear();
    }
    ResultsJournal journal(dir.path());
    QCOMPARE(restoreAll(journal), (QList<QStringList>{{"later"}, {"crashed 1", "crashed 2"}}));
    QVERIFY_THROWS_EXCEPTION(Failure, journal.takeLatestSession());
}

void ResultsJournalTest::oldAndSurplusSessionsGo()
{
    QTemporaryDir dir;
    const int sessions = ResultsJournal::kKeepSessions + 2;
    for (int s = 1; s <= sessions; ++s)
        sessionWith(dir.path(), {QString::number(s)});
    // The third session was last written a little over the kept time ago.
    {
        QFile third(dir.filePath("results-3.journal"));
        QVERIFY(third.open(QIODevice::ReadWrite));
        QVERIFY(third.setFileTime(
            QDateTime::currentDateTimeUtc().addDays(-ResultsJournal::kKeepDays).addSecs(-60),
            QFileDevice::FileModificationTime));
    }
    ResultsJournal journal(dir.path());
    QList<QStringList> expected;
    for (int s = sessions; s >= 1 && expected.size() < ResultsJournal::kKeepSessions; --s)
        if (s != 3)
            expected << QStringList{QString::number(s)};
    QCOMPARE(restoreAll(journal), expected);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), ResultsJournal::kKeepSessions + 1);
}

void ResultsJournalTest::earlierLayoutIsTakenIn()
{
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    QVERIFY(write("results.journal.previous",
                  R"({"op":"append","number":"P","cells":["P"],"answer":""})"
                  "\n"));
    QVERIFY(write("results.journal", R"({"op":"append","number":"A","cells":["A"],"answer":""})"
                                     "\n"));
    ResultsJournal journal(dir.path());
    QCOMPARE(restoreAll(journal), (QList<QStringList>{{"A"}, {"P"}}));
}

void ResultsJournalTest::journalThatCannotBeMadeLosesNothing()
{
    QTemporaryDir dir;
    sessionWith(dir.path(), {"kept"});
    {
        // No file can be opened at all for a moment: the start fails.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
        const int lowestFree = dup(0);
        QVERIFY(lowestFree >= 0);
        close(lowestFree);
        rlimit none = saved;
        none.rlim_cur = rlim_t(lowestFree);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &none), 0);
        bool failed = false;
        try {
            ResultsJournal cannot(dir.path());
        } catch (const Failure&) {
            failed = true;
        }
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
        QVERIFY(failed);
    }
    ResultsJournal journal(dir.path());
    QCOMPARE(restoreAll(journal), QList<QStringList>{{"kept"}});
}

void ResultsJournalTest::filesAreOwnerOnly()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("data/quillmore"));
    sessionWith(folder, {"1"});
    ResultsJournal journal(folder);
    const auto ownerRw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto kept = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                      QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                      QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    const QStringList files = QDir(folder).entryList(QDir::Files);
    QCOMPARE(files.size(), 2);
    for (const QString& name : files)
        QCOMPARE(QFileInfo(QDir(folder).filePath(name)).permissions() & kept, ownerRw);
    QCOMPARE(QFileInfo(folder).permissions() & kept, ownerRw | QFileDevice::ExeOwner);
}

void ResultsJournalTest::fileWhereTheFolderBelongsThrows()
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("quillmore"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY_THROWS_EXCEPTION(Failure, ResultsJournal{blocker});
    QVERIFY_THROWS_EXCEPTION(Failure, ResultsJournal{blocker + QStringLiteral("/below")});
}

QTEST_GUILESS_MAIN(ResultsJournalTest)
#include "tst_resultsjournal.moc"
