// What the user paid for stays: the results journal across a crash and a
// kill, the results list's exports and the number list's clean-ups, and the
// time left on the progress bar.
#include "export/resultsjournal.h"
#include "export/resultsmodel.h"
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
#include <QTest>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const char kWriterVariable[] = "QUILLMORE_TEST_WRITE_JOURNAL_AND_WAIT";
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

// Another program's session of the journal in the user's data folder: it
// writes the killed session's rows, one more removed again, and waits to be
// killed.
int writeJournalUntilKilled(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Halvren"));
    QCoreApplication::setApplicationName(kProductName);
    ResultsJournal journal;
    const QList<ResultRecord> rows = killedSessionRows();
    journal.append(1, rows[0]);
    journal.append(2, rows[1]);
    journal.append(3, record("5550000000", {"removed"}, "{}"));
    journal.append(4, rows[2]);
    journal.remove(3);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (;;)
        pause();
}

// One start of the program: a journal on the fixture's folder, which offers
// what earlier sessions left there, and its window.
struct Session
{
    explicit Session(WindowFixture& f)
        : journal(std::make_unique<ResultsJournal>(f.journalFolder())), context(f.context)
    {
        context.journal = journal.get();
        window = std::make_unique<MainWindow>(context);
    }
    QTreeView* results() const { return MainControls(*window).resultsList; }

    std::unique_ptr<ResultsJournal> journal;
    AppContext context;
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
    void killedProgramsRowsComeBack();
    void removalAfterALostLineTakesItsRow();
    void csvOfAwkwardCells();
    void exportOntoFullDiskKeepsOldFile_data();
    void exportOntoFullDiskKeepsOldFile();
    void fullJournalDiskIsToldOnceAndKeepsWhatItHas();
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

    // The crash: the next start finds the journal as the first session left it,
    // its window never closed and its file still open.
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

void TestKeepResults::killedProgramsRowsComeBack()
{
    QTemporaryDir dir;
    const QString data = dir.filePath("data");
    const QString folder = data + "/Halvren/Quillmore";
    // The killed program's session, this test's own restoring one, then the real program's.
    const auto sessionFile = [&](int n) {
        return folder + QStringLiteral("/results-%1.journal").arg(n);
    };
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
        AppContext context = f.context;
        ResultsJournal next(folder);
        context.journal = &next;
        MainWindow w(context);
        QTreeView* list = MainControls(w).resultsList;
        chooseFromContextMenu(list, kRestore);
        QCOMPARE(rowCount(list), expected.size());
        QVERIFY(noneTicked(list));
        const QList<QJsonObject> lines = exportJsonLines(f, list);
        QCOMPARE(lines.size(), expected.size());
        for (int r = 0; r < expected.size(); ++r) {
            QCOMPARE(rowCells(list, r), expected[r].cells);
            QCOMPARE(lines[r].value("number").toString(), expected[r].number);
        }
        QCOMPARE(lines[0].value("answer").toObject(),
                 QJsonDocument::fromJson(expected[0].answer.toUtf8()).object());
        QCOMPARE(lines[1].value("answer"), QJsonValue(expected[1].answer));
        QCOMPARE(lines[2].value("answer"), QJsonValue(QJsonValue::Null));
    }

    // The real program keeps its journal in the same place, owner-only: at
    // its start the restored session goes, the one that restored it stays.
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(QUILLMORE_EXECUTABLE), {});
    QVERIFY2(program.waitForStarted(30000), qPrintable(program.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(
        QFileInfo::exists(sessionFile(3)) || program.state() != QProcess::Running, 60000);
    QCOMPARE(program.state(), QProcess::Running);
    const auto ownerBits = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    QCOMPARE(QFile::permissions(sessionFile(3)) & ~ownerBits,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(QFile::permissions(folder) & ~ownerBits,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!QFileInfo::exists(sessionFile(1) + ".restored"));
    program.kill();
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);
    // The killed program's list was empty: the rows before it are still offered.
    ResultsJournal last(folder);
    QCOMPARE(last.takeLatestSession().rows.size(), expected.size());
    QVERIFY(!last.hasUnrestoredSession());
}

void TestKeepResults::removalAfterALostLineTakesItsRow()
{
    WindowFixture f;
    ResultsJournal& journal = f.keepResults();
    QTreeView tree;
    ResultsModel rows({QStringLiteral("Phone Number")});
    const PhoneNumbers numbers;
    ResultsList list(&tree, rows, f.dialogs, &journal, numbers, *f.clipboard, [] { return false; });
    list.append(record("A", {"A"}));
    {
        // The disk takes nothing more for one row: its line is lost.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit full = saved;
        full.rlim_cur = rlim_t(QFileInfo(journal.fileName()).size());
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &full), 0);
        list.append(record("B", {"B"}));
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
        std::signal(SIGXFSZ, previousHandler);
    }
    list.append(record("C", {"C"}));
    selectRow(&tree, 1);
    list.removeSelected();
    QCOMPARE(allRows(&tree), (QList<QStringList>{{"A"}, {"C"}}));
    QCOMPARE(f.dialogs.messageTexts().size(), 1);
    QVERIFY(f.dialogs.messageTexts().constFirst().startsWith(
        "The results cannot be kept for the next start: "));

    // Removing the row whose line was lost takes nothing from the journal.
    ResultsJournal next(f.journalFolder());
    const QList<ResultRecord> kept = next.takeLatestSession().rows;
    QCOMPARE(kept.size(), 2);
    QCOMPARE(kept[0].number, QString("A"));
    QCOMPARE(kept[1].number, QString("C"));
}

void TestKeepResults::csvOfAwkwardCells()
{
    WindowFixture f;
    {
        ResultsJournal earlier(f.journalFolder());
        earlier.append(1, record("1", {"=HYPERLINK(\"x\")", "Mobile", "O'Brien, Pat",
                                       "Zürich\r\nCH", "-5", "@home"}));
        earlier.append(2, record("2", {"4135923823", "Land\"line", "Émile Noël", "\tTab",
                                       "+1 carrier", "\rCR"}));
    }
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
        ResultsJournal earlier(f.journalFolder());
        for (int r = 0; r < rows; ++r) {
            const QString number = QString::number(4135920000LL + r);
            earlier.append(quint64(r + 1),
                           record(number, {number, "Mobile", "Owner", "MA", "Verizon", "Active"},
                                  R"({"phone_number":")" + number + "\"}"));
        }
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

void TestKeepResults::fullJournalDiskIsToldOnceAndKeepsWhatItHas()
{
    WindowFixture f;
    const TmpfsMount disk(f.journalFolder(), QStringLiteral("size=64k"));
    if (!disk.isMounted())
        QSKIP(kTmpfsSkipReason);
    f.keys->setKey(QStringLiteral("key"));
    f.keepResults();
    const QStringList first{"4135923823", "Mobile", "Margaret", "MA", "Verizon", "Active"};
    f.answerWith(first[0], answerShownAs(first));
    // Rows larger than a page of the disk, so that none fits in what the
    // journal file already holds.
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
            (QStringList{"The results cannot be kept for the next start: The results "
                         "journal " +
                             f.journal->fileName() + " cannot be written: No space left on device",
                         "Done."}));
        QCOMPARE(f.dialogs.messages.constFirst().icon, Dialogs::Icon::Warning);
    }
    // What reached the disk before it filled up comes back at the next start.
    f.journal.reset();
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
                              "Remove Numbers Already Looked Up"}));
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
        return writeJournalUntilKilled(argc, argv);
    QApplication app(argc, argv);
    TestKeepResults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keepresults.moc"
