#include "desktop/widgetstyle.h"
#include "numbers/numberlist.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windowchecks.h"
#include "windows/keywindow.h"
#include "windows/keywindowcontrols.h"
#include "windows/mainwindow.h"
#include "windows/mainwindowcontrols.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace quillmore;
using namespace quillmore::test;

namespace {

// A report names the procedure and the line the procedure counted itself.
bool reportsLineOf(const QString& report, const QString& procedure)
{
    const QRegularExpression named(
        QRegularExpression::escape(procedurePath(QStringLiteral("Form1"), procedure)) +
        QStringLiteral("at line \\d+"));
    return named.match(report).hasMatch();
}

// Picks an entry of the context menu that is about to open.
void chooseFromNextMenu(const QString& entry)
{
    QTimer::singleShot(0, [entry] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions())
            if (action->text() == entry)
                action->trigger();
        menu->close();
    });
}

void doubleClickRow(QTreeView* list, int row)
{
    selectRow(list, row);
    const QPoint at = list->visualRect(rowIndex(list, row)).center();
    // A real double-click: the view only reacts to one that follows a press.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void layoutMatchesTheFixedDesign();
    void startupRestoresTheNumberList_data();
    void startupRestoresTheNumberList();
    void closingSavesTheNumberList();
    void unusableSettingsFileStillStartsAndCloses();
    void largeListSurvivesARestart();
    void addTypedNumbers();
    void loadNumberFiles();
    void loadingDuringBusyKeepsBusy();
    void runEndingUnderABoxLeavesTheWindowIdle_data();
    void runEndingUnderABoxLeavesTheWindowIdle();
    void sampleNumbersTwice();
    void removeRows();
    void clearingRules();
    void pointerFollowsTheBusyState();
    void busyIsTheWindowsOwnState_data();
    void busyIsTheWindowsOwnState();
    void skinAndHandCursorFiles();
    void consoleKeepsExactText();
    void tickAllRows();
    void exportButtons();
};

void TestMainWindow::layoutMatchesTheFixedDesign()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    QCOMPARE(w.windowTitle(), QString("Quillmore"));
    QCOMPARE(f.dialogs.applicationTitle(), QString("Quillmore"));
    QCOMPARE(w.size(), QSize(536, 594));
    struct Expect
    {
        QWidget* widget;
        QString caption;
    };
    const QList<Expect> expected = {
        {c.keyButton, "Getting Started / Enter Your API Key"},
        {c.numberList, ""},
        {c.addButton, "Add Phone Number or Numbers"},
        {c.loadButton, "Load Numbers From Text File"},
        {c.clearNumbersButton, "Clear List"},
        {c.samplesButton, "Load Sample/Example Numbers"},
        {c.startButton, "Start Looking Up"},
        {c.consoleFrame, ""},
        {c.console, ""},
        {c.copyConsoleButton, "Copy Results To Clipboard"},
        {c.clearConsoleButton, "Clear"},
        {c.resultsList, ""},
        {c.saveTextButton, "Save Results As Text File"},
        {c.saveSheetButton, "Save Results As Excel File"},
        {c.copyResultsButton, "Copy Results To Clipboard"},
        {c.clearResultsButton, "Clear List"},
        {c.progressBar, ""},
    };
    // Every control stands where the window's table puts it, in the frame the
    // table names, and the table holds nothing else.
    QCOMPARE(tableMismatch(w, mainWindowControls()), QString());
    QCOMPARE(mainWindowControls().size(), expected.size());
    for (const Expect& e : expected) {
        if (auto* button = qobject_cast<QPushButton*>(e.widget)) {
            QCOMPARE(button->text(), e.caption);
            QCOMPARE(button->font().family(), QString("Arial"));
            QCOMPARE(button->font().pointSizeF(), 11.25);
            QVERIFY(button->font().bold());
        }
    }
    // Within the window, as laid out in twips.
    QVERIFY(w.rect().contains(c.progressBar->geometry()));
    QCOMPARE(c.consoleFrame->title(), QString("Console View"));
    QCOMPARE(w.font().pointSizeF(), 9.0);
    QVERIFY(w.font().bold());
    const auto caption = [](const QTreeView* list, int column) {
        return list->model()->headerData(column, Qt::Horizontal).toString();
    };
    QCOMPARE(c.numberList->model()->columnCount(), 1);
    QCOMPARE(caption(c.numberList, 0), QString("Phone Numbers"));
    QCOMPARE(c.numberList->columnWidth(0), 467);
    const QStringList captions = {"Phone Number", "Type", "Name", "Location", "Provider", "Status"};
    const QList<int> widths = {133, 100, 133, 167, 100, 67};
    QCOMPARE(c.resultsList->model()->columnCount(), 6);
    QCOMPARE(c.resultsList->header()->count(), 6);
    for (int col = 0; col < 6; ++col) {
        QCOMPARE(caption(c.resultsList, col), captions[col]);
        QCOMPARE(c.resultsList->columnWidth(col), widths[col]);
    }
    const QString tip = "Double-click item to remove it. Move | line to right and out of window "
                        "to reveal full names.";
    QCOMPARE(c.numberList->toolTip(), tip);
    QCOMPARE(c.resultsList->toolTip(), tip);
    QCOMPARE(c.progressBar->text(), QString("Progress Bar"));
    QCOMPARE(c.progressBar->value(), 0);
    QCOMPARE(c.console->toPlainText(), QString());
    QCOMPARE(w.palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestMainWindow::startupRestoresTheNumberList_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("nothing stored") << QString() << QStringList{};
    QTest::newRow("separators in a row") << "1;;2" << QStringList{"1", "2"};
    QTest::newRow("single separator") << ";" << QStringList{};
    QTest::newRow("spaces kept") << " 413;592 " << QStringList{" 413", "592 "};
}

void TestMainWindow::startupRestoresTheNumberList()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, entries);
    WindowFixture f;
    if (!stored.isNull())
        f.settings->writeSetting(kPhoneNumbersKey, stored);
    MainWindow w(f.context);
    QCOMPARE(numbers(w), entries);
}

void TestMainWindow::closingSavesTheNumberList()
{
    WindowFixture f;
    {
        MainWindow w(f.context);
        MainControls c(w);
        f.dialogs.inputAnswers << "1,2,3";
        c.addButton->click();
        QSignalSpy closed(&w, &MainWindow::closed);
        w.show();
        QVERIFY(w.close());
        QCOMPARE(closed.count(), 1);
    }
    QCOMPARE(f.storedValue(kPhoneNumbersKey), QString("1;2;3"));
    {
        MainWindow w(f.context);
        MainControls c(w);
        QCOMPARE(numbers(w), QStringList({"1", "2", "3"}));
        c.clearNumbersButton->click();
        w.close();
    }
    // An emptied list is saved empty, so it stays empty at the next start.
    QCOMPARE(f.storedValue(kPhoneNumbersKey), QString(""));
    MainWindow again(f.context);
    QCOMPARE(numbers(again), QStringList());
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestMainWindow::unusableSettingsFileStillStartsAndCloses()
{
    WindowFixture f;
    f.keys.reset();
    f.settings.reset();
    QVERIFY(QDir().mkpath(f.settingsFile())); // a folder where the file belongs
    SettingsStore store(f.settingsFile());
    KeyStore keys(&store);
    f.context.settings = &store;
    f.context.keys = &keys;
    MainWindow w(f.context);
    MainControls c(w);
    QCOMPARE(numbers(w), QStringList());
    QVERIFY(f.dialogs.messages.isEmpty());
    c.samplesButton->click();
    w.close();
    // The folder was moved aside, so the list typed in this session is saved.
    QVERIFY(f.dialogs.messages.isEmpty());
    QCOMPARE(splitFromStorage(SettingsStore(f.settingsFile()).readSetting(kPhoneNumbersKey)),
             sampleNumbers());
    const QFileInfo file(f.settingsFile());
    QCOMPARE(file.dir()
                 .entryList({file.fileName() + QStringLiteral(".damaged-*")},
                            QDir::AllEntries | QDir::NoDotAndDotDot)
                 .size(),
             1);
}

void TestMainWindow::largeListSurvivesARestart()
{
    WindowFixture f;
    QStringList typed;
    for (int i = 0; i < 10000; ++i)
        typed << QString::number(2125550000LL + (i * 7919) % 10000) + (i % 3 ? "" : " ext");
    QElapsedTimer timer;
    timer.start();
    {
        MainWindow w(f.context);
        MainControls c(w);
        f.dialogs.inputAnswers << typed.join(',');
        c.addButton->click();
        w.close();
    }
    MainWindow again(f.context);
    qInfo("10,000 entries typed, saved at close and restored at start in %lld ms", timer.elapsed());
    QCOMPARE(numbers(again), typed);
}

void TestMainWindow::addTypedNumbers()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    f.dialogs.inputAnswers << "4135923823, 3342228605"
                           << ""
                           << "7,, 8 ";
    c.addButton->click();
    QCOMPARE(f.dialogs.prompts.size(), 1);
    QCOMPARE(f.dialogs.prompts[0].text, QString("Enter phone number or numbers (use commas): "));
    QCOMPARE(f.dialogs.prompts[0].title, QString("Quillmore"));
    QCOMPARE(numbers(w), QStringList({"4135923823", "3342228605"}));
    c.addButton->click(); // cancelled
    QCOMPARE(numbers(w).size(), 2);
    c.addButton->click();
    QCOMPARE(numbers(w), QStringList({"4135923823", "3342228605", "7", "", "8"}));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestMainWindow::loadNumberFiles()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    const QString first = f.dir.filePath("first.txt");
    const QString third = f.dir.filePath("third list.txt");
    writeFile(first, "4135923823\r\n\r\n3342228605\r\n");
    writeFile(third, "a\nb\n");
    const QString folder = f.dir.filePath("afolder");
    QDir().mkpath(folder);

    f.dialogs.openAnswers << QStringList{first, f.dir.filePath("missing.txt"), folder, third};
    c.loadButton->click();
    QCOMPARE(f.dialogs.openAsks.size(), 1);
    QCOMPARE(f.dialogs.openAsks[0].title,
             QString("Load List(s) - Hold Ctrl to select multiple list files"));
    QCOMPARE(f.dialogs.openAsks[0].filter,
             QString("Text Files (*.txt)|*.txt|Tables (*.csv *.tsv *.xlsx)|*.csv;*.tsv;*.xlsx|"
                     "All Files (*.*)|*.*|"));
    QCOMPARE(numbers(w), QStringList({"4135923823", "", "3342228605", "a", "b", ""}));
    QCOMPARE(f.dialogs.messages.size(), 2);
    QCOMPARE(f.dialogs.messages[0].text, QString("File not found"));
    QCOMPARE(f.dialogs.messages[0].title, QString("Quillmore"));
    QCOMPARE(f.dialogs.messages[0].icon, Dialogs::Icon::None);
    QCOMPARE(f.dialogs.messages[1].title, QString("Application Error"));
    QVERIFY(reportsLineOf(f.dialogs.messages[1].text, "PushButton3_Click"));
    QVERIFY(!w.isBusy());

    c.loadButton->click(); // cancelled: nothing happens
    QCOMPARE(numbers(w).size(), 6);
    QCOMPARE(f.dialogs.messages.size(), 2);
}

void TestMainWindow::loadingDuringBusyKeepsBusy()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    const QString file = f.dir.filePath("n.txt");
    writeFile(file, "1\r\n");
    w.setBusy(true); // as a lookup run does
    f.dialogs.openAnswers << QStringList{file};
    c.loadButton->click();
    QCOMPARE(numbers(w), QStringList({"1"}));
    QVERIFY(w.isBusy());
}

void TestMainWindow::runEndingUnderABoxLeavesTheWindowIdle_data()
{
    // Which button is clicked during the run, and the answer to its file
    // dialog that makes it show a box.
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("opens");
    QTest::newRow("file load") << "PushButton3" << true;
    QTest::newRow("text export") << "PushButton4" << false;
}

void TestMainWindow::runEndingUnderABoxLeavesTheWindowIdle()
{
    QFETCH(QString, button);
    QFETCH(bool, opens);
    WindowFixture f;
    f.keys->setKey(QStringLiteral("key"));
    MainWindow w(f.context);
    MainControls c(w);
    // A missing file, or a folder where the text file belongs.
    if (opens)
        f.dialogs.openAnswers << QStringList{f.dir.filePath("missing.txt")};
    else
        f.dialogs.saveAnswers << f.dir.path();
    bool endedUnderTheBox = false;
    f.dialogs.onMessage = [&](const ScriptedDialogs::Shown&) {
        if (std::exchange(endedUnderTheBox, true))
            return;
        QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);
    };
    f.onPause = [&] {
        QTimer::singleShot(0, &w, [&] { w.findChild<QPushButton*>(button)->click(); });
    };
    f.dialogs.inputAnswers << "1111111111,2222222222";
    c.addButton->click();
    c.startButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(endedUnderTheBox, 30000);
    QVERIFY(!w.isBusy());
    QCOMPARE(c.startButton->cursor().shape(), Qt::PointingHandCursor);
    c.clearNumbersButton->click();
    QCOMPARE(numbers(w), QStringList());
}

void TestMainWindow::sampleNumbersTwice()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    c.samplesButton->click();
    c.samplesButton->click();
    QCOMPARE(numbers(w), sampleNumbers() + sampleNumbers());
}

void TestMainWindow::removeRows()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Nothing to remove: nothing happens.
    QTest::keyClick(c.numberList, Qt::Key_Delete);
    QCOMPARE(numbers(w), QStringList());

    f.dialogs.inputAnswers << "a,b,c,d,e";
    c.addButton->click();
    doubleClickRow(c.numberList, 1);
    QCOMPARE(numbers(w), QStringList({"a", "c", "d", "e"}));
    selectRow(c.numberList, 2);
    QTest::keyClick(c.numberList, Qt::Key_Delete);
    QCOMPARE(numbers(w), QStringList({"a", "c", "e"}));
    selectRow(c.numberList, 0);
    QTest::keyClick(c.numberList, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(numbers(w), QStringList({"c", "e"}));
    QTest::keyClick(c.numberList, Qt::Key_Backspace);
    QCOMPARE(numbers(w).size(), 2);

    w.setBusy(true);
    selectRow(c.numberList, 0);
    QTest::keyClick(c.numberList, Qt::Key_Delete);
    doubleClickRow(c.numberList, 0);
    QCOMPARE(numbers(w), QStringList({"c", "e"}));
    w.setBusy(false);

    // The results list follows the same rule on its own rows.
    QVERIFY(addResultRows(
        f, w,
        {{"1", "Mobile", "A", "L", "P", "Active"}, {"2", "Landline", "B", "L", "P", "Inactive"}}));
    QCOMPARE(numbers(w), QStringList({"c", "e"}));
    selectRow(c.resultsList, 0);
    QTest::keyClick(c.resultsList, Qt::Key_Delete);
    QCOMPARE(rowCount(c.resultsList), 1);
    QCOMPARE(rowIndex(c.resultsList, 0).data().toString(), QString("2"));
    w.setBusy(true);
    doubleClickRow(c.resultsList, 0);
    QCOMPARE(rowCount(c.resultsList), 1);
}

void TestMainWindow::clearingRules()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    c.samplesButton->click();
    w.setBusy(true);
    c.clearNumbersButton->click();
    QCOMPARE(numbers(w).size(), 6);
    w.setBusy(false);

    // During a run: the number list stays, the results list empties and the
    // run goes on adding to it.
    f.answerWith("1111111111", answerShownAs({"1", "", "", "", "", "Inactive"}));
    f.answerWith("2222222222", answerShownAs({"2", "", "", "", "", "Inactive"}));
    c.clearNumbersButton->click();
    f.dialogs.inputAnswers << "1111111111,2222222222";
    c.addButton->click();
    f.onPause = [&] {
        if (f.pauses.size() == 1) {
            QCOMPARE(rowCount(c.resultsList), 1);
            c.clearNumbersButton->click();
            c.clearResultsButton->click();
        }
    };
    c.startButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);
    QCOMPARE(f.pauses.size(), 2);
    QCOMPARE(numbers(w).size(), 2);
    QCOMPARE(shownRows(c.resultsList), QStringList{"2"});
    QCOMPARE(f.dialogs.messageTexts(), QStringList{"Done."});
    c.clearNumbersButton->click();
    QCOMPARE(numbers(w).size(), 0);
    // Emptied lists keep their columns as they were laid out.
    c.clearResultsButton->click();
    QCOMPARE(rowCount(c.resultsList), 0);
    QCOMPARE(c.numberList->columnWidth(0), 467);
    QCOMPARE(c.resultsList->header()->count(), 6);
    QCOMPARE(c.resultsList->columnWidth(3), 167);
}

void TestMainWindow::pointerFollowsTheBusyState()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    QCOMPARE(c.startButton->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(c.numberList->viewport()->cursor().shape(), Qt::ArrowCursor);
    w.setBusy(true);
    for (QWidget* widget : {static_cast<QWidget*>(&w), static_cast<QWidget*>(c.startButton),
                            static_cast<QWidget*>(c.clearConsoleButton), c.numberList->viewport(),
                            c.resultsList->viewport(), static_cast<QWidget*>(c.consoleFrame)})
        QCOMPARE(widget->cursor().shape(), Qt::WaitCursor);
    w.setBusy(false);
    QCOMPARE(c.startButton->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
}

void TestMainWindow::busyIsTheWindowsOwnState_data()
{
    QTest::addColumn<QList<bool>>("set");
    QTest::addColumn<QList<bool>>("told");
    QTest::newRow("busy") << QList<bool>{true} << QList<bool>{true};
    QTest::newRow("busy twice") << QList<bool>{true, true} << QList<bool>{true};
    QTest::newRow("busy, then not") << QList<bool>{true, false} << QList<bool>{true, false};
    QTest::newRow("idle stays idle") << QList<bool>{false} << QList<bool>{};
    QTest::newRow("back and forth")
        << QList<bool>{true, false, false, true} << QList<bool>{true, false, true};
}

void TestMainWindow::busyIsTheWindowsOwnState()
{
    QFETCH(QList<bool>, set);
    QFETCH(QList<bool>, told);
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    QSignalSpy changed(&w, &MainWindow::busyChanged);
    for (bool busy : set) {
        QVERIFY(w.setProperty("busy", busy));
        // The pointer follows the state, over the window and its buttons alike.
        QCOMPARE(w.cursor().shape(), busy ? Qt::WaitCursor : Qt::ArrowCursor);
        QCOMPARE(c.startButton->cursor().shape(), busy ? Qt::WaitCursor : Qt::PointingHandCursor);
    }
    QList<bool> seen;
    for (const QList<QVariant>& args : std::as_const(changed))
        seen << args.at(0).toBool();
    QCOMPARE(seen, told);
    QCOMPARE(w.property("busy").toBool(), set.constLast());
    QCOMPARE(w.isBusy(), set.constLast());
}

void TestMainWindow::skinAndHandCursorFiles()
{
    WindowFixture f;
    QDir(f.programFolder()).mkpath("x");
    writeFile(f.programFolder() + "/x/o.cjs", "skin");
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    image.save(f.programFolder() + "/HAND-M.CUR", "ico");
    QFile cur(f.programFolder() + "/HAND-M.CUR");
    QVERIFY(cur.open(QIODevice::ReadWrite));
    cur.seek(2);
    cur.write("\x02", 1);
    cur.close();
    MainWindow w(f.context);
    MainControls c(w);
    QCOMPARE(w.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    QCOMPARE(c.startButton->cursor().shape(), Qt::BitmapCursor);
    QVERIFY(f.dialogs.messages.isEmpty());

    // A folder named like the skin file is no skin.
    WindowFixture g;
    QDir(g.programFolder()).mkpath("x/o.cjs");
    MainWindow plain(g.context);
    QCOMPARE(plain.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(MainControls(plain).startButton->cursor().shape(), Qt::PointingHandCursor);
}

void TestMainWindow::consoleKeepsExactText()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    // The second number gets no answer at all, so the console shows "Could not connect".
    f.answerWith("1111111111", "{\"a\":1}");
    QVERIFY(runOver(f, w, {"1111111111", "2222222222"}));
    QCOMPARE(w.consoleText(), QString("{\"a\":1}\r\nCould not connect\r\n"));
    QCOMPARE(c.console->toPlainText(), QString("{\"a\":1}\nCould not connect"));
    c.copyConsoleButton->click();
    QCOMPARE(f.clipboard->held, QString("{\"a\":1}\r\nCould not connect\r\n"));
    c.clearConsoleButton->click();
    QCOMPARE(w.consoleText(), QString());
    QCOMPARE(c.console->toPlainText(), QString());
    f.answerWith("3333333333", "x");
    QVERIFY(runOver(f, w, {"3333333333"}));
    QCOMPARE(c.console->toPlainText(), QString("x"));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestMainWindow::tickAllRows()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(addResultRows(
        f, w,
        {{"1", "Mobile", "A", "L", "P", "Active"}, {"2", "Landline", "B", "L", "P", "Inactive"}}));
    QCOMPARE(w.resultsTable().rows.size(), 2);
    QVERIFY(!w.resultsTable().rows[0].ticked);
    QVERIFY(c.resultsList->model()->flags(rowIndex(c.resultsList, 0)) & Qt::ItemIsUserCheckable);
    chooseFromNextMenu("Tick All Rows");
    emit c.resultsList->customContextMenuRequested(QPoint(4, 4));
    QVERIFY(w.resultsTable().rows[0].ticked && w.resultsTable().rows[1].ticked);
    chooseFromNextMenu("Untick All Rows");
    emit c.resultsList->customContextMenuRequested(QPoint(4, 4));
    QVERIFY(!w.resultsTable().rows[1].ticked);
    const ReportTable table = w.resultsTable();
    QCOMPARE(table.headers,
             QStringList({"Phone Number", "Type", "Name", "Location", "Provider", "Status"}));
    QCOMPARE(table.rows[1].cells, QStringList({"2", "Landline", "B", "L", "P", "Inactive"}));

    // The user's own tick, by the keyboard and on the box itself, is what the exports see.
    selectRow(c.resultsList, 1);
    QTest::keyClick(c.resultsList, Qt::Key_Space);
    QVERIFY(w.resultsTable().rows[1].ticked);
    QStyleOptionViewItem option;
    option.initFrom(c.resultsList);
    option.rect = c.resultsList->visualRect(rowIndex(c.resultsList, 0));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QPoint box =
        c.resultsList->style()
            ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, c.resultsList)
            .center();
    QTest::mouseClick(c.resultsList->viewport(), Qt::LeftButton, {}, box);
    QVERIFY(w.resultsTable().rows[0].ticked);
    QCOMPARE(checkState(c.resultsList, 0), Qt::Checked);
}

void TestMainWindow::exportButtons()
{
    WindowFixture f;
    f.context.clipboard = std::make_shared<SystemClipboard>();
    MainWindow w(f.context);
    MainControls c(w);
    QVERIFY(addResultRows(f, w,
                          {{"555-0100", "Mobile", "Ann", "L", "P", "Active"},
                           {"555-0199999", "Landline", "=Bob", "", "P", "Inactive"}}));
    setCheckState(c.resultsList, 0, Qt::Checked);

    const QString path = f.dir.filePath("out.txt");
    f.dialogs.saveAnswers << path;
    c.saveTextButton->click();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("Phone Number\tType    \tName\tLocation\tProvider\tStatus  \t\r\n"
                        "555-0100    \tMobile  \tAnn \tL       \tP       \tActive  \t\r\n"));
    QCOMPARE(f.dialogs.saveAsks.size(), 1);
    QCOMPARE(f.dialogs.saveAsks[0].title, QString("Save"));
    QVERIFY(!w.isBusy());
    QCOMPARE(c.progressBar->text(), QString("Progress Bar"));
    QCOMPARE(c.progressBar->value(), 0);

    c.copyResultsButton->click();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString("555-0100   \tMobile  \tAnn \tL\tP\tActive\r\n"));
    QCOMPARE(f.dialogs.messageTexts(),
             QStringList({"Results have been copied to the clipboard.\r\rClick a text area where "
                          "you normally type and press Ctrl+V to paste the clipboard."}));
    QCOMPARE(f.dialogs.messages[0].title, QString("Quillmore"));

    c.clearConsoleButton->click();
    f.answerWith("5550100000", "answer one");
    QVERIFY(runOver(f, w, {"5550100000"}));
    c.copyConsoleButton->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("answer one\r\n"));

    // No spreadsheet application on this desktop: the two messages, in order.
    f.dialogs.messages.clear();
    c.saveSheetButton->click();
    QCOMPARE(f.dialogs.messageTexts(),
             QStringList({"Excel is not installed on this computer. You need to have it "
                          "installed to use this software without error.",
                          "Excel is not installed on this computer. You need to have it "
                          "installed to use this feature."}));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
