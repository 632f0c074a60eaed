#include "errorreport.h"
#include "resultsjournal.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <QDir>

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

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class ResultsJournalTest : public QObject
{
    Q_OBJECT

private slots:
    void newSessionRestoresTheList();
    void eachChangeIsOnDiskAtOnce();
    void tornLastLineIsPassedOver();
    void onlyThePreviousSessionIsKept();
    void replayedRowsBelongToTheNewSession();
    void filesAreOwnerOnly();
    void fileWhereTheFolderBelongsThrows();
};

void ResultsJournalTest::newSessionRestoresTheList()
{
    QTemporaryDir dir;
    QList<ResultRecord> list;
    {
        ResultsJournal journal(dir.path());
        QVERIFY(journal.previousSession().isEmpty());
        // Mirror every change on a plain list: the journal must end up equal to it.
        auto append = [&](const QString& n) {
            journal.append(row(n));
            list.append(row(n));
        };
        auto removeAt = [&](qsizetype i) {
            journal.remove(i);
            list.removeAt(i);
        };
        append("1");
        append("2");
        journal.clear();
        list.clear();
        append("3");
        append("4");
        append("5");
        append("6");
        removeAt(0);
        removeAt(2);
        append("7");
        journal.remove(99); // past the end: the list ignores it too
    }
    ResultsJournal next(dir.path());
    QVERIFY(sameRows(next.previousSession(), unticked(list)));
    QCOMPARE(next.previousSession().size(), 3);
}

void ResultsJournalTest::eachChangeIsOnDiskAtOnce()
{
    QTemporaryDir dir;
    ResultsJournal journal(dir.path());
    journal.append(row("1"));
    // Read by another file handle while the journal is still open, as after a kill.
    const QByteArray text = readAll(journal.fileName());
    QVERIFY(sameRows(ResultsJournal::replayJournal(text), unticked({row("1")})));
    journal.remove(0);
    journal.clear();
    // Each line is a JSON object that any JSON tool reads.
    const QList<QByteArray> lines = readAll(journal.fileName()).split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.last().isEmpty());
    for (qsizetype i = 0; i < 3; ++i)
        QVERIFY2(QJsonDocument::fromJson(lines.at(i)).object().contains("op"), lines.at(i));
}

void ResultsJournalTest::tornLastLineIsPassedOver()
{
    QTemporaryDir dir;
    QString path;
    {
        ResultsJournal journal(dir.path());
        journal.append(row("1"));
        journal.append(row("2"));
        path = journal.fileName();
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write(R"({"op":"append","number":"3","cells":["3","Mob)");
    file.close();

    ResultsJournal next(dir.path());
    QVERIFY(sameRows(next.previousSession(), unticked({row("1"), row("2")})));
}

void ResultsJournalTest::onlyThePreviousSessionIsKept()
{
    QTemporaryDir dir;
    {
        ResultsJournal first(dir.path());
        first.append(row("first"));
    }
    {
        ResultsJournal second(dir.path());
        QVERIFY(sameRows(second.previousSession(), unticked({row("first")})));
        second.append(row("second"));
    }
    ResultsJournal third(dir.path());
    QVERIFY(sameRows(third.previousSession(), unticked({row("second")})));
    QVERIFY(readAll(third.fileName()).isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

void ResultsJournalTest::replayedRowsBelongToTheNewSession()
{
    QTemporaryDir dir;
    {
        ResultsJournal first(dir.path());
        first.append(row("1"));
        first.append(row("2"));
    }
    {
        ResultsJournal second(dir.path());
        second.replay(second.previousSession());
        second.append(row("3"));
    }
    ResultsJournal third(dir.path());
    QVERIFY(sameRows(third.previousSession(), unticked({row("1"), row("2"), row("3")})));
}

void ResultsJournalTest::filesAreOwnerOnly()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("data/quillmore"));
    {
        ResultsJournal journal(folder);
        journal.append(row("1"));
    }
    ResultsJournal journal(folder);
    const auto ownerRw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto kept = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                      QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                      QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QCOMPARE(QFileInfo(journal.fileName()).permissions() & kept, ownerRw);
    QCOMPARE(QFileInfo(journal.previousFileName()).permissions() & kept, ownerRw);
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
