// What the user paid for stays: the lookup history across a crash and a
// kill, restoring earlier sessions, the results list's exports and the
// number list's clean-ups, and the time left on the progress bar.
#include "export/journalformat.h"
#include "export/resultsmodel.h"
#include "history/desktopsession.h"
#include "history/historystore.h"
#include "numbers/phonenumbers.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "support/tmpfsmount.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/mainwindow.h"
#include "windows/resultslist.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const char kWriterVariable[] = "QUILLMORE_TEST_WRITE_HISTORY_AND_WAIT";
const QString kRestore = QStringLiteral("Restore Last Results");
const QString kSaveJsonLines = QStringLiteral("Save Full Answers As JSON Lines...");
const QStringList kCaptions{"Phone Number", "Type", "Name", "Location", "Provider", "Status"};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

ResultRecord record(const QString& number, const QStringList& cells, const QString& answer = {})
{
    return {number, cells, answer, false};
}

// The rows a killed session held: an answer in JSON, one that is not, none.
QList<ResultRecord> killedSessionRows()
{
    return {record("(413) 592-3823", {"4135923823", "Landline", "Margaret", "MA", "Verizon", ""},
                   R"({"phone_number":"4135923823","extra":[1,2]})"),
            record("334.222.8605", {"3342228605", "Mobile", "", "", "", ""}, "not JSON at all"),
            record("603 380 2932", {"6033802932", "", "", "", "", "Could not connect"}, "")};
}

// An earlier start of the program that kept these rows in its list.
void keptEarlier(HistoryStore& store, const QList<ResultRecord>& rows,
                 const QDateTime& when = QDateTime::currentDateTimeUtc())
{
    const PhoneNumbers numbers(QStringLiteral("US"));
    DesktopSession earlier(&store, store.startSession(kDesktopProgram, {}, when), numbers);
    quint64 id = 0;
    for (const ResultRecord& row : rows)
        earlier.rowArrived(++id, row, when);
}

// Another program's session in the history in the user's data folder: it
// stores the killed session's rows, one more removed again, and waits to be
// killed.
int writeHistoryUntilKilled(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Halvren"));
    QCoreApplication::setApplicationName(kProductName);
    HistoryStore store;
    store.open();
    const PhoneNumbers numbers;
    DesktopSession session(&store, store.startSession(kDesktopProgram), numbers);
    const QList<ResultRecord> rows = killedSessionRows();
    session.rowArrived(1, rows[0]);
    session.rowArrived(2, rows[1]);
    session.rowArrived(3, record("5550000000", {"removed"}, "{}"));
    session.rowArrived(4, rows[2]);
    session.rowRemoved(3);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (;;)
        pause();
}

// One start of the program: a session of its own in the fixture's history,
// which offers what earlier sessions left there, and its window.
struct Session
{
    explicit Session(WindowFixture& f)
    {
        f.keepResults();
        window = std::make_unique<MainWindow>(f.context);
    }
    QTreeView* results() const { return MainControls(*window).resultsList; }

    std::unique_ptr<MainWindow> window;
};

bool noneTicked(const QTreeView* list)
{
    for (int r = 0; r < rowCount(list); ++r)
        if (checkState(list, r) != Qt::Unchecked)
            return false;
    return true;
}

// The JSON Lines export of `list` through its menu, one object per line.
QList<QJsonObject> exportJsonLines(WindowFixture& f, QTreeView* list)
{
    const QString path = f.dir.filePath(QStringLiteral("answers.jsonl"));
    f.dialogs.saveAnswers << path;
    chooseFromContextMenu(list, kSaveJsonLines);
    QList<QJsonObject> objects;
    const QByteArray bytes = readAll(path);
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.isEmpty())
            continue;
        objects << QJsonDocument::fromJson(line).object();
        // The row's captions stand in column order, not sorted.
        qsizetype at = 0;
        for (const QString& caption : kCaptions) {
            at = line.indexOf('"' + caption.toUtf8() + "\":", at);
            if (at < 0) {
                qWarning("%s lacks %s in column order", line.constData(), qPrintable(caption));
                objects.last() = {};
                break;
            }
        }
    }
    if (!bytes.endsWith('\n'))
        objects << QJsonObject{{"unended", QString::fromUtf8(bytes)}};
    return objects;
}

QJsonObject rowObject(const QStringList& cells)
{
    QJsonObject row;
    for (int c = 0; c < kCaptions.size(); ++c)
        row.insert(kCaptions[c], cells.value(c));
    return row;
}

} // namespace

class TestKeepResults : public QObject
{
    Q_OBJECT
private slots:
    void crashedSessionComesBackOnRestore();
    void restoresNewestFirstWithinTheLimits();
    void killedProgramsRowsComeBack();
    void lockedHistoryIsToldOnceAndTheRunGoesOn();
    void csvOfAwkwardCells();
    void exportOntoFullDiskKeepsOldFile_data();
    void exportOntoFullDiskKeepsOldFile();
    void fullHistoryDiskIsToldOnceAndKeepsWhatItHas();
    void duplicatesInThreeSpellings();
    void pastedLinesBecomeEntries();
    void timeLeftOnTheProgressBar();

private:
    // Types the numbers into the list and runs them to the end.
    static void run(WindowFixture& f, MainWindow& w, const QString& typed);
};

void TestKeepResults::run(WindowFixture& f, MainWindow& w, const QString& typed)
{
    MainControls c(w);
    f.dialogs.inputAnswers << typed;
    c.addButton->click();
    c.startButton->click();
    QVERIFY(w.isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);
}

void TestKeepResults::crashedSessionComesBackOnRestore()
{
    WindowFixture f;
    f.keys->setKey(QStringLiteral("key"));
    f.keepResults();
    const QStringList typed{"(413) 592-3823", "334.222.8605", "6033802932"};
    QList<QByteArray> answers;
    for (const QString& number : typed) {
        const QString digits = QString(number).remove(QRegularExpression("[^0-9]"));
        answers << answerShownAs({digits, "Mobile", "Owner " + digits, "US", "Carrier", "Active"});
        f.answerWith(digits, answers.last());
    }
    MainWindow first(f.context);
    run(f, first, typed.join(','));
    QTreeView* firstList = MainControls(first).resultsList;
    QCOMPARE(rowCount(firstList), 3);
    chooseFromContextMenu(firstList, "Tick All Rows");
    QCOMPARE(checkState(firstList, 2), Qt::Checked);
    const QList<QStringList> rows = allRows(firstList);

    // The crash: the next start finds the history as the first session left
    // it, its window never closed.
    Session second(f);
    QCOMPARE(rowCount(second.results()), 0);
    QCOMPARE(chooseFromContextMenu(second.results(), kRestore),
             (QStringList{"Tick All Rows", "Untick All Rows", "Tick Rows Where", "-",
                          "Save Results As CSV File...", kSaveJsonLines,
                          "Save Table With Results...", "-", "Show Summary", "-", kRestore}));
    QCOMPARE(allRows(second.results()), rows);
    QVERIFY(noneTicked(second.results()));
    const QList<QJsonObject> lines = exportJsonLines(f, second.results());
    QCOMPARE(lines.size(), 3);
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(lines[r].value("number").toString(), typed[r]);
        QCOMPARE(lines[r].value("row").toObject(), rowObject(rows[r]));
        QCOMPARE(lines[r].value("answer").toObject(), QJsonDocument::fromJson(answers[r]).object());
    }

    // A removed row does not come back, and a cleared list brings back nothing.
    selectRow(second.results(), 1);
    QTest::keyClick(second.results(), Qt::Key_Delete);
    QCOMPARE(rowCount(second.results()), 2);
    Session third(f);
    chooseFromContextMenu(third.results(), kRestore);
    QCOMPARE(allRows(third.results()), (QList<QStringList>{rows[0], rows[2]}));
    MainControls(*third.window).clearResultsButton->click();
    Session fourth(f);
    chooseFromContextMenu(fourth.results(), kRestore);
    QCOMPARE(rowCount(fourth.results()), 0);
}

void TestKeepResults::restoresNewestFirstWithinTheLimits()
{
    WindowFixture f;
    f.history = std::make_unique<HistoryStore>(f.historyFolder());
    f.history->open();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto rowOf = [](const QString& number) {
        return record(number, {number, "Mobile", "Owner", "MA", "Verizon", "Active"},
                      R"({"phone_number":")" + number + "\"}");
    };
    // Twelve sessions an hour apart, oldest first; before them one too old,
    // after them one whose list ended empty.
    keptEarlier(*f.history, {rowOf("5550000031")}, now.addDays(-31));
    for (int n = 1; n <= 12; ++n)
        keptEarlier(*f.history, {rowOf(QStringLiteral("55500001%1").arg(n, 2, 10, QChar('0')))},
                    now.addSecs(-3600 * (13 - n)));
    f.history->startSession(kDesktopProgram);

    Session s(f);
    QStringList restored;
    for (int n = 12; n >= 3; --n) {
        chooseFromContextMenu(s.results(), kRestore);
        restored << QStringLiteral("55500001%1").arg(n, 2, 10, QChar('0'));
    }
    QStringList shown;
    for (const QStringList& row : allRows(s.results()))
        shown << row.value(0);
    QCOMPARE(shown, restored);
    // The ten latest only: the eleventh is not offered, nor the too old one.
    chooseFromContextMenu(s.results(), kRestore);
    QCOMPARE(rowCount(s.results()), 10);
    QVERIFY(noneTicked(s.results()));

    // The next start offers the session that restored them, and nothing
    // from before it comes back.
    Session next(f);
    chooseFromContextMenu(next.results(), kRestore);
    QCOMPARE(allRows(next.results()), allRows(s.results()));
    chooseFromContextMenu(next.results(), kRestore);
    QCOMPARE(rowCount(next.results()), 10);
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestKeepResults::killedProgramsRowsComeBack()
{
    QTemporaryDir dir;
    const QString data = dir.filePath("data");
    const QString folder = data + "/Halvren/Quillmore";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", data);
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("HOME", dir.filePath("home"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // No session bus: the key stays in the test's settings file, out of any
    // keyring of the machine's.
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quillmore-bus");
    QVERIFY(QDir().mkpath(dir.filePath("home")));
    QVERIFY(QDir().mkpath(dir.filePath("config")));

    QProcess writer;
    QProcessEnvironment writerEnv = env;
    writerEnv.insert(kWriterVariable, "1");
    writer.setProcessEnvironment(writerEnv);
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(writer.waitForReadyRead(30000));
    QCOMPARE(writer.readLine(), QByteArray("ready\n"));
    writer.kill();
    QVERIFY(writer.waitForFinished(30000));
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

    const QList<ResultRecord> expected = killedSessionRows();
    {
        WindowFixture f;
        f.history = std::make_unique<HistoryStore>(folder);
        f.history->open();
        Session s(f);
        QTreeView* list = s.results();
        chooseFromContextMenu(list, kRestore);
        QCOMPARE(rowCount(list), expected.size());
        QVERIFY(noneTicked(list));
        const QList<QJsonObject> lines = exportJsonLines(f, list);
        QCOMPARE(lines.size(), expected.size());
        for (int r = 0; r < expected.size(); ++r) {
            QCOMPARE(rowCells(list, r), expected[r].cells);
            QCOMPARE(lines[r].value("number").toString(), expected[r].number);
            QVERIFY(!lines[r].contains("reused_from"));
        }
        QCOMPARE(lines[0].value("answer").toObject(),
                 QJsonDocument::fromJson(expected[0].answer.toUtf8()).object());
        QCOMPARE(lines[1].value("answer"), QJsonValue(expected[1].answer));
        QCOMPARE(lines[2].value("answer"), QJsonValue(QJsonValue::Null));
    }

    // An earlier version's journal, and a command-line run's that its own
    // program still resumes from.
    const ResultRecord journalled =
        record("(334) 222-8605", {"3342228605", "Landline", "Ann", "AL", "AT&T", "Active"},
               R"({"phone_number":"3342228605"})");
    const QString oldJournal = folder + "/results-7.journal";
    const QString runJournal = folder + "/runs/0123abcd.journal";
    QVERIFY(QDir().mkpath(folder + "/runs"));
    for (const QString& path : {oldJournal, runJournal}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(journalAppendLine(1, journalled));
    }

    // The real program keeps its history in the same place, owner-only, and
    // takes the old journal in at its start.
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(QUILLMORE_EXECUTABLE), {});
    QVERIFY2(program.waitForStarted(30000), qPrintable(program.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(
        QFileInfo::exists(oldJournal + ".imported") || program.state() != QProcess::Running, 60000);
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY(!QFileInfo::exists(oldJournal));
    QVERIFY(QFileInfo::exists(runJournal));
    const auto ownerBits = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    QCOMPARE(QFile::permissions(folder + "/history.sqlite") & ~ownerBits,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(QFile::permissions(folder) & ~ownerBits,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    program.kill();
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);

    // The killed program's list was empty: the old journal's session comes
    // first, then the one that restored the writer's rows.
    WindowFixture f;
    f.history = std::make_unique<HistoryStore>(folder);
    f.history->open();
    Session last(f);
    chooseFromContextMenu(last.results(), kRestore);
    QCOMPARE(allRows(last.results()), QList<QStringList>{journalled.cells});
    chooseFromContextMenu(last.results(), kRestore);
    QCOMPARE(rowCount(last.results()), 1 + expected.size());
    QCOMPARE(rowCells(last.results(), 1), expected[0].cells);
}

void TestKeepResults::lockedHistoryIsToldOnceAndTheRunGoesOn()
{
    WindowFixture f;
    f.keys->setKey(QStringLiteral("key"));
    f.history = std::make_unique<HistoryStore>(f.historyFolder());
    f.history->setBusyTimeout(1);
    f.history->open();
    f.keepResults();
    const QStringList first{"4135923823", "Mobile", "Margaret", "MA", "Verizon", "Active"};
    f.answerWith(first[0], answerShownAs(first));
    for (const QString& number : {QStringLiteral("3342228605"), QStringLiteral("6033802932")})
        f.answerWith(number, answerShownAs({number, "Mobile", "Ann", "AL", "AT&T", "Active"}));
    {
        MainWindow w(f.context);
        MainControls c(w);
        run(f, w, first[0]);
        // Another program holds the file for writing from now on.
        const QString connection = QStringLiteral("tst_keepresults_lock");
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            other.setDatabaseName(f.history->fileName());
            QVERIFY(other.open());
            QSqlQuery lock(other);
            QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
            f.dialogs.messages.clear();
            c.clearNumbersButton->click();
            run(f, w, QStringLiteral("3342228605,6033802932"));
            QCOMPARE(rowCount(c.resultsList), 3);
            const QStringList told = f.dialogs.messageTexts();
            QCOMPARE(told.size(), 2);
            QVERIFY2(told[0].startsWith("The results cannot be kept for the next start: The "
                                        "lookup history " +
                                        f.history->fileName() + " cannot be used: "),
                     qPrintable(told[0]));
            QCOMPARE(told[1], QString("Done."));
            QCOMPARE(f.dialogs.messages.constFirst().icon, Dialogs::Icon::Warning);
            // Nothing more is told for the rest of the session.
            selectRow(c.resultsList, 0);
            QTest::keyClick(c.resultsList, Qt::Key_Delete);
            c.clearResultsButton->click();
            QCOMPARE(f.dialogs.messages.size(), 2);
            other.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }
    // What was kept before the lock comes back at the next start.
    f.history.reset();
    Session next(f);
    chooseFromContextMenu(next.results(), kRestore);
    QCOMPARE(allRows(next.results()), QList<QStringList>{first});
}

void TestKeepResults::csvOfAwkwardCells()
{
    WindowFixture f;
    f.keepResults();
    keptEarlier(
        *f.history,
        {record("1",
                {"=HYPERLINK(\"x\")", "Mobile", "O'Brien, Pat", "Zürich\r\nCH", "-5", "@home"}),
         record("2", {"4135923823", "Land\"line", "Émile Noël", "\tTab", "+1 carrier", "\rCR"})});
    Session s(f);
    chooseFromContextMenu(s.results(), kRestore);
    setCheckState(s.results(), 1, Qt::Checked);
    const QString path = f.dir.filePath("results.csv");
    f.dialogs.saveAnswers << path;
    chooseFromContextMenu(s.results(), "Save Results As CSV File...");

    QCOMPARE(f.dialogs.saveAsks.size(), 1);
    QCOMPARE(f.dialogs.saveAsks[0].title, QString("Save"));
    QCOMPARE(f.dialogs.saveAsks[0].filter, QString("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"));
    const QByteArray expected = "\xEF\xBB\xBF"
                                "Phone Number,Type,Name,Location,Provider,Status\r\n"
                                "\"'=HYPERLINK(\"\"x\"\")\",Mobile,\"O'Brien, Pat\",\"" +
                                QString("Zürich").toUtf8() +
                                "\r\nCH\",'-5,'@home\r\n"
                                "4135923823,\"Land\"\"line\",\xC3\x89mile No\xC3\xABl,'\tTab,'+1 "
                                "carrier,\"'\rCR\"\r\n";
    QCOMPARE(readAll(path), expected);
}

void TestKeepResults::exportOntoFullDiskKeepsOldFile_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("procedure");
    QTest::addColumn<int>("rows");
    // A few rows stay in the write buffer until the file is put in place;
    // many meet the full disk while they are written.
    QTest::newRow("CSV, a few rows") << "Save Results As CSV File..."
                                     << "SaveResultsAsCsv_Click" << 20;
    QTest::newRow("CSV, many rows") << "Save Results As CSV File..."
                                    << "SaveResultsAsCsv_Click" << 2000;
    QTest::newRow("JSON Lines, a few rows")
        << kSaveJsonLines << "SaveFullAnswersAsJsonLines_Click" << 20;
    QTest::newRow("JSON Lines, many rows")
        << kSaveJsonLines << "SaveFullAnswersAsJsonLines_Click" << 2000;
}

void TestKeepResults::exportOntoFullDiskKeepsOldFile()
{
    QFETCH(QString, entry);
    QFETCH(QString, procedure);
    QFETCH(int, rows);
    WindowFixture f;
    const TmpfsMount disk(f.dir.filePath(QStringLiteral("disk")), QStringLiteral("size=64k"));
    if (!disk.isMounted())
        QSKIP(kTmpfsSkipReason);
    {
        QList<ResultRecord> earlier;
        for (int r = 0; r < rows; ++r) {
            const QString number = QString::number(4135920000LL + r);
            earlier << record(number, {number, "Mobile", "Owner", "MA", "Verizon", "Active"},
                              R"({"phone_number":")" + number + "\"}");
        }
        f.keepResults();
        keptEarlier(*f.history, earlier);
    }
    Session s(f);
    chooseFromContextMenu(s.results(), kRestore);
    QCOMPARE(rowCount(s.results()), rows);
    const QString path = disk.filePath(QStringLiteral("results"));
    QByteArray old;
    for (int i = 0; i < 300; ++i)
        old += "the good old file, line " + QByteArray::number(i) + "\r\n";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(old), old.size());
    }
    QVERIFY(disk.fill());
    f.dialogs.saveAnswers << path;
    chooseFromContextMenu(s.results(), entry);

    QCOMPARE(f.dialogs.messageTexts(),
             QStringList{"Could not save " + path + ": No space left on device\r\n" +
                         procedurePath(QStringLiteral("Form1"), procedure) +
                         "at line 102\r\rPlease email screenshot of this message to " +
                         supportEmail()});
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"filler", "results"}));
}

void TestKeepResults::fullHistoryDiskIsToldOnceAndKeepsWhatItHas()
{
    WindowFixture f;
    // Room for the history's first pages, and no more once it is filled.
    const TmpfsMount disk(f.historyFolder(), QStringLiteral("size=1m"));
    if (!disk.isMounted())
        QSKIP(kTmpfsSkipReason);
    f.keys->setKey(QStringLiteral("key"));
    f.keepResults();
    const QStringList first{"4135923823", "Mobile", "Margaret", "MA", "Verizon", "Active"};
    f.answerWith(first[0], answerShownAs(first));
    // Rows larger than a page of the history, so that none fits in what its
    // files already hold.
    const QString longName(5000, u'x');
    for (const QString& number : {QStringLiteral("3342228605"), QStringLiteral("6033802932")})
        f.answerWith(number, answerShownAs({number, "Mobile", longName, "AL", "AT&T", "Active"}));
    {
        MainWindow w(f.context);
        MainControls c(w);
        run(f, w, first[0]);
        QVERIFY(disk.fill());
        f.dialogs.messages.clear();
        c.clearNumbersButton->click();
        run(f, w, QStringLiteral("3342228605,6033802932"));
        QCOMPARE(rowCount(c.resultsList), 3);
        QCOMPARE(
            f.dialogs.messageTexts(),
            (QStringList{"The results cannot be kept for the next start: The lookup "
                         "history " +
                             f.history->fileName() + " cannot be used: database or disk is full",
                         "Done."}));
        QCOMPARE(f.dialogs.messages.constFirst().icon, Dialogs::Icon::Warning);
    }
    // What reached the disk before it filled up comes back at the next start.
    f.history.reset();
    QVERIFY(QFile::remove(disk.filePath(QStringLiteral("filler"))));
    Session next(f);
    chooseFromContextMenu(next.results(), kRestore);
    QCOMPARE(allRows(next.results()), QList<QStringList>{first});
}

void TestKeepResults::duplicatesInThreeSpellings()
{
    WindowFixture f;
    f.keys->setKey(QStringLiteral("key"));
    {
        MainWindow w(f.context);
        MainControls c(w);
        f.dialogs.inputAnswers << "413-592-3823,(413) 592-3823,n/a,4135923823,n/a,334.222.8605";
        c.addButton->click();
        QCOMPARE(chooseFromContextMenu(c.numberList, "Remove Duplicate Numbers"),
                 (QStringList{"Paste Numbers", "Remove Duplicate Numbers",
                              "Remove Numbers That Cannot Be Valid",
                              "Remove Numbers Already Looked Up", "Use Earlier Answers..."}));
        QCOMPARE(shownRows(c.numberList),
                 (QStringList{"413-592-3823", "n/a", "n/a", "334.222.8605"}));
        chooseFromContextMenu(c.numberList, "Remove Duplicate Numbers");
        f.dialogs.inputAnswers << "3342228605";
        c.addButton->click();
        chooseFromContextMenu(c.numberList, "Remove Duplicate Numbers");
        QCOMPARE(shownRows(c.numberList).size(), 4);
        QCOMPARE(f.dialogs.messageTexts(),
                 (QStringList{"2 duplicate numbers removed.", "No duplicate numbers found.",
                              "1 duplicate number removed."}));
    }

    // During a run the list stays as the run reads it.
    f.dialogs.messages.clear();
    f.answerWith("4135923823", answerShownAs({"4135923823", "Mobile", "A", "US", "B", "Active"}));
    MainWindow w(f.context);
    MainControls c(w);
    c.clearNumbersButton->click();
    bool wasBusy = false;
    f.onPause = [&] {
        if (f.pauses.size() == 1) {
            wasBusy = w.isBusy();
            chooseFromContextMenu(c.numberList, "Remove Duplicate Numbers");
        }
    };
    run(f, w, "4135923823,413-592-3823");
    QVERIFY(wasBusy);
    QCOMPARE(shownRows(c.numberList), (QStringList{"4135923823", "413-592-3823"}));
    QCOMPARE(rowCount(c.resultsList), 2);
    QCOMPARE(f.dialogs.messageTexts(), QStringList{"Done."});
}

void TestKeepResults::pastedLinesBecomeEntries()
{
    WindowFixture f;
    f.keys->setKey(QStringLiteral("key"));
    f.answerWith("4135923823", answerShownAs({"4135923823", "Mobile", "A", "US", "B", "Active"}));
    MainWindow w(f.context);
    MainControls c(w);
    f.clipboard->held =
        "413-592-3823\r\n\r\n(413) 592-3823, 334.222.8605\r\n\n6033802932\r7605467993\n";
    c.numberList->setFocus();
    QTest::keyClick(c.numberList, Qt::Key_V, Qt::ControlModifier);
    const QStringList pasted{"413-592-3823", "(413) 592-3823, 334.222.8605", "6033802932",
                             "7605467993"};
    QCOMPARE(shownRows(c.numberList), pasted);

    // The menu's paste, also while a run reads the list.
    c.clearNumbersButton->click();
    f.onPause = [&] {
        f.clipboard->held = "\n555-0101\r\n555-0102";
        chooseFromContextMenu(c.numberList, "Paste Numbers");
    };
    run(f, w, "4135923823");
    QCOMPARE(shownRows(c.numberList), (QStringList{"4135923823", "555-0101", "555-0102"}));
    chooseFromContextMenu(c.numberList, "Paste Numbers");
    QCOMPARE(shownRows(c.numberList).size(), 5);
    QVERIFY(f.dialogs.errorReports().isEmpty());
}

void TestKeepResults::timeLeftOnTheProgressBar()
{
    WindowFixture f;
    f.keys->setKey(QStringLiteral("key"));
    const QStringList digits{"4135923823", "3342228605", "6033802932", "7605467993"};
    for (const QString& number : digits)
        f.answerWith(number, answerShownAs({number, "Mobile", "A", "US", "B", "Active"}));
    MainWindow w(f.context);
    MainControls c(w);
    QVERIFY(c.progressBar->toolTip().isEmpty());
    f.dialogs.inputAnswers << digits.join(',');
    c.addButton->click();
    QString afterSecond;
    f.onPause = [&] {
        if (f.pauses.size() == 2)
            afterSecond = c.progressBar->toolTip();
    };
    c.startButton->click();
    QCOMPARE(c.progressBar->toolTip(), QString("Number 1 of 4"));
    QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);
    // How much is left depends on how fast this machine ran the first two.
    QVERIFY2(QRegularExpression("^Number 3 of 4, (less than a minute|about [1-9][0-9]* min) left$")
                 .match(afterSecond)
                 .hasMatch(),
             qPrintable(afterSecond));
    QVERIFY(c.progressBar->toolTip().isEmpty());
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet(kWriterVariable))
        return writeHistoryUntilKilled(argc, argv);
    QApplication app(argc, argv);
    TestKeepResults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keepresults.moc"
