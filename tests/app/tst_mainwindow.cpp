#include "keywindow.h"
#include "mainwindow.h"
#include "numberlist.h"
#include "windowfixture.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

using namespace quillmore;
using quillmore::test::WindowFixture;

namespace {

QString errorText(const QString& procedure)
{
    return QStringLiteral("in Vantrel2021/08/31.Form1.") + procedure + QStringLiteral(" at line ");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void doubleClickRow(QTreeWidget* list, int row)
{
    QTreeWidgetItem* item = list->topLevelItem(row);
    list->setCurrentItem(item);
    const QPoint at = list->visualItemRect(item).center();
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
    void sampleNumbersTwice();
    void removeRows();
    void clearingRules();
    void pointerFollowsTheBusyState();
    void skinAndHandCursorFiles();
    void keyWindowSwitching();
    void keyWindowStoresEveryKeystroke();
    void keyWindowFocusAndTabOrder();
    void keyWindowOpensAddresses();
    void keyIsReadWithoutShowingTheKeyWindow();
    void consoleKeepsExactText();
    void tickAllRows();
    void exportButtons();
};

void TestMainWindow::layoutMatchesTheFixedDesign()
{
    WindowFixture f;
    MainWindow w(f.context);
    QCOMPARE(w.windowTitle(), QString("Quillmore"));
    QCOMPARE(f.dialogs.applicationTitle(), QString("Quillmore"));
    QCOMPARE(w.size(), QSize(536, 594));
    struct Expect
    {
        QWidget* widget;
        QString caption;
        QRect rect;
    };
    const QList<Expect> expected = {
        {w.keyButton(), "Getting Started / Enter Your API Key", {8, 8, 520, 27}},
        {w.numberList(), "", {8, 41, 520, 106}},
        {w.addButton(), "Add Phone Number or Numbers", {8, 153, 256, 27}},
        {w.loadButton(), "Load Numbers From Text File", {272, 153, 256, 27}},
        {w.clearNumbersButton(), "Clear List", {8, 187, 256, 27}},
        {w.samplesButton(), "Load Sample/Example Numbers", {272, 187, 256, 27}},
        {w.startButton(), "Start Looking Up", {8, 221, 520, 27}},
        {w.consoleFrame(), "", {8, 251, 520, 121}},
        {w.console(), "", {16, 20, 489, 53}},
        {w.copyConsoleButton(), "Copy Results To Clipboard", {16, 80, 240, 27}},
        {w.clearConsoleButton(), "Clear", {264, 80, 240, 27}},
        {w.resultsList(), "", {8, 379, 520, 106}},
        {w.saveTextButton(), "Save Results As Text File", {8, 491, 256, 27}},
        {w.saveSheetButton(), "Save Results As Excel File", {272, 491, 256, 27}},
        {w.copyResultsButton(), "Copy Results To Clipboard", {8, 525, 256, 27}},
        {w.clearResultsButton(), "Clear List", {272, 525, 256, 27}},
        {w.progressBar(), "", {8, 560, 520, 27}},
    };
    for (const Expect& e : expected) {
        QCOMPARE(e.widget->geometry(), e.rect);
        if (auto* button = qobject_cast<QPushButton*>(e.widget)) {
            QCOMPARE(button->text(), e.caption);
            QCOMPARE(button->font().family(), QString("Arial"));
            QCOMPARE(button->font().pointSizeF(), 11.25);
            QVERIFY(button->font().bold());
        }
    }
    QCOMPARE(w.consoleFrame()->title(), QString("Console View"));
    QCOMPARE(w.font().pointSizeF(), 9.0);
    QVERIFY(w.font().bold());
    QCOMPARE(w.numberList()->headerItem()->text(0), QString("Phone Numbers"));
    QCOMPARE(w.numberList()->columnWidth(0), 467);
    const QStringList captions = {"Phone Number", "Type", "Name", "Location", "Provider", "Status"};
    const QList<int> widths = {133, 100, 133, 167, 100, 67};
    QCOMPARE(w.resultsList()->columnCount(), 6);
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(w.resultsList()->headerItem()->text(c), captions[c]);
        QCOMPARE(w.resultsList()->columnWidth(c), widths[c]);
    }
    const QString tip = "Double-click item to remove it. Move | line to right and out of window "
                        "to reveal full names.";
    QCOMPARE(w.numberList()->toolTip(), tip);
    QCOMPARE(w.resultsList()->toolTip(), tip);
    QCOMPARE(w.progressBar()->text(), QString("Progress Bar"));
    QCOMPARE(w.progressBar()->value(), 0);
    QCOMPARE(w.console()->toPlainText(), QString());
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
    QCOMPARE(w.numbers(), entries);
}

void TestMainWindow::closingSavesTheNumberList()
{
    WindowFixture f;
    {
        MainWindow w(f.context);
        f.dialogs.inputAnswers << "1,2,3";
        w.addButton()->click();
        QSignalSpy closed(&w, &MainWindow::closed);
        w.show();
        QVERIFY(w.close());
        QCOMPARE(closed.count(), 1);
    }
    QCOMPARE(f.storedValue(kPhoneNumbersKey), QString("1;2;3"));
    {
        MainWindow w(f.context);
        QCOMPARE(w.numbers(), QStringList({"1", "2", "3"}));
        w.clearNumbersButton()->click();
        w.close();
    }
    // An emptied list is saved empty, so it stays empty at the next start.
    QCOMPARE(f.storedValue(kPhoneNumbersKey), QString(""));
    MainWindow again(f.context);
    QCOMPARE(again.numbers(), QStringList());
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestMainWindow::unusableSettingsFileStillStartsAndCloses()
{
    WindowFixture f;
    f.settings.reset();
    QVERIFY(QDir().mkpath(f.settingsFile())); // a folder where the file belongs
    SettingsStore store(f.settingsFile());
    f.context.settings = &store;
    MainWindow w(f.context);
    QCOMPARE(w.numbers(), QStringList());
    QVERIFY(f.dialogs.messages.isEmpty());
    w.samplesButton()->click();
    w.close();
    // The failed save is reported, not swallowed, and nothing crashes.
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages[0].title, QString("Application Error"));
    QVERIFY(f.dialogs.messages[0].text.contains(errorText("Form_QueryUnload")));
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
        f.dialogs.inputAnswers << typed.join(',');
        w.addButton()->click();
        w.close();
    }
    MainWindow again(f.context);
    qInfo("10,000 entries typed, saved at close and restored at start in %lld ms", timer.elapsed());
    QCOMPARE(again.numbers(), typed);
}

void TestMainWindow::addTypedNumbers()
{
    WindowFixture f;
    MainWindow w(f.context);
    f.dialogs.inputAnswers << "4135923823, 3342228605"
                           << ""
                           << "7,, 8 ";
    w.addButton()->click();
    QCOMPARE(f.dialogs.prompts.size(), 1);
    QCOMPARE(f.dialogs.prompts[0].text, QString("Enter phone number or numbers (use commas): "));
    QCOMPARE(f.dialogs.prompts[0].title, QString("Quillmore"));
    QCOMPARE(w.numbers(), QStringList({"4135923823", "3342228605"}));
    w.addButton()->click(); // cancelled
    QCOMPARE(w.numbers().size(), 2);
    w.addButton()->click();
    QCOMPARE(w.numbers(), QStringList({"4135923823", "3342228605", "7", "", "8"}));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestMainWindow::loadNumberFiles()
{
    WindowFixture f;
    MainWindow w(f.context);
    const QString first = f.dir.filePath("first.txt");
    const QString third = f.dir.filePath("third list.txt");
    writeFile(first, "4135923823\r\n\r\n3342228605\r\n");
    writeFile(third, "a\nb\n");
    const QString folder = f.dir.filePath("afolder");
    QDir().mkpath(folder);

    f.dialogs.openAnswers << QStringList{first, f.dir.filePath("missing.txt"), folder, third};
    w.loadButton()->click();
    QCOMPARE(f.dialogs.openAsks.size(), 1);
    QCOMPARE(f.dialogs.openAsks[0].title,
             QString("Load List(s) - Hold Ctrl to select multiple list files"));
    QCOMPARE(f.dialogs.openAsks[0].filter,
             QString("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"));
    QCOMPARE(w.numbers(), QStringList({"4135923823", "", "3342228605", "a", "b", ""}));
    QCOMPARE(f.dialogs.messages.size(), 2);
    QCOMPARE(f.dialogs.messages[0].text, QString("File not found"));
    QCOMPARE(f.dialogs.messages[0].title, QString("Quillmore"));
    QCOMPARE(f.dialogs.messages[0].icon, Dialogs::Icon::None);
    QCOMPARE(f.dialogs.messages[1].title, QString("Application Error"));
    QVERIFY(f.dialogs.messages[1].text.contains(errorText("PushButton3_Click")));
    QVERIFY(!w.isBusy());

    w.loadButton()->click(); // cancelled: nothing happens
    QCOMPARE(w.numbers().size(), 6);
    QCOMPARE(f.dialogs.messages.size(), 2);
}

void TestMainWindow::loadingDuringBusyKeepsBusy()
{
    WindowFixture f;
    MainWindow w(f.context);
    const QString file = f.dir.filePath("n.txt");
    writeFile(file, "1\r\n");
    w.setBusy(true); // as a lookup run does
    f.dialogs.openAnswers << QStringList{file};
    w.loadButton()->click();
    QCOMPARE(w.numbers(), QStringList({"1"}));
    QVERIFY(w.isBusy());
}

void TestMainWindow::sampleNumbersTwice()
{
    WindowFixture f;
    MainWindow w(f.context);
    w.samplesButton()->click();
    w.samplesButton()->click();
    QCOMPARE(w.numbers(), sampleNumbers() + sampleNumbers());
}

void TestMainWindow::removeRows()
{
    WindowFixture f;
    MainWindow w(f.context);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Nothing to remove: nothing happens.
    QTest::keyClick(w.numberList(), Qt::Key_Delete);
    QCOMPARE(w.numbers(), QStringList());

    f.dialogs.inputAnswers << "a,b,c,d,e";
    w.addButton()->click();
    doubleClickRow(w.numberList(), 1);
    QCOMPARE(w.numbers(), QStringList({"a", "c", "d", "e"}));
    w.numberList()->setCurrentItem(w.numberList()->topLevelItem(2));
    QTest::keyClick(w.numberList(), Qt::Key_Delete);
    QCOMPARE(w.numbers(), QStringList({"a", "c", "e"}));
    w.numberList()->setCurrentItem(w.numberList()->topLevelItem(0));
    QTest::keyClick(w.numberList(), Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(w.numbers(), QStringList({"c", "e"}));
    QTest::keyClick(w.numberList(), Qt::Key_Backspace);
    QCOMPARE(w.numbers().size(), 2);

    w.setBusy(true);
    w.numberList()->setCurrentItem(w.numberList()->topLevelItem(0));
    QTest::keyClick(w.numberList(), Qt::Key_Delete);
    doubleClickRow(w.numberList(), 0);
    QCOMPARE(w.numbers(), QStringList({"c", "e"}));
    w.setBusy(false);

    // The results list follows the same rule on its own rows.
    w.appendResultRow({"1", "Mobile", "A", "L", "P", "Active"});
    w.appendResultRow({"2", "Landline", "B", "L", "P", "Inactive"});
    w.resultsList()->setCurrentItem(w.resultsList()->topLevelItem(0));
    QTest::keyClick(w.resultsList(), Qt::Key_Delete);
    QCOMPARE(w.resultsList()->topLevelItemCount(), 1);
    QCOMPARE(w.resultsList()->topLevelItem(0)->text(0), QString("2"));
    w.setBusy(true);
    doubleClickRow(w.resultsList(), 0);
    QCOMPARE(w.resultsList()->topLevelItemCount(), 1);
}

void TestMainWindow::clearingRules()
{
    WindowFixture f;
    MainWindow w(f.context);
    w.samplesButton()->click();
    w.appendResultRow({"1", "", "", "", "", "Inactive"});
    w.setBusy(true);
    w.clearNumbersButton()->click();
    QCOMPARE(w.numbers().size(), 6);
    w.clearResultsButton()->click();
    QCOMPARE(w.resultsList()->topLevelItemCount(), 0);
    w.appendResultRow({"2", "", "", "", "", "Inactive"}); // a run goes on adding
    QCOMPARE(w.resultsList()->topLevelItemCount(), 1);
    w.setBusy(false);
    w.clearNumbersButton()->click();
    QCOMPARE(w.numbers().size(), 0);
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestMainWindow::pointerFollowsTheBusyState()
{
    WindowFixture f;
    MainWindow w(f.context);
    QCOMPARE(w.startButton()->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(w.numberList()->viewport()->cursor().shape(), Qt::ArrowCursor);
    w.setBusy(true);
    for (QWidget* widget :
         {static_cast<QWidget*>(&w), static_cast<QWidget*>(w.startButton()),
          static_cast<QWidget*>(w.clearConsoleButton()), w.numberList()->viewport(),
          w.resultsList()->viewport(), static_cast<QWidget*>(w.consoleFrame())})
        QCOMPARE(widget->cursor().shape(), Qt::WaitCursor);
    w.setBusy(false);
    QCOMPARE(w.startButton()->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
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
    QCOMPARE(w.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    QCOMPARE(w.startButton()->cursor().shape(), Qt::BitmapCursor);
    QVERIFY(f.dialogs.messages.isEmpty());

    // A folder named like the skin file is no skin.
    WindowFixture g;
    QDir(g.programFolder()).mkpath("x/o.cjs");
    MainWindow plain(g.context);
    QCOMPARE(plain.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(plain.startButton()->cursor().shape(), Qt::PointingHandCursor);
}

void TestMainWindow::keyWindowSwitching()
{
    WindowFixture f;
    MainWindow w(f.context);
    w.samplesButton()->click();
    w.appendResultRow({"1", "", "", "", "", "Inactive"});
    w.show();
    w.keyButton()->click();
    QVERIFY(!w.isVisible());
    QPointer<KeyWindow> key = w.loadedKeyWindow();
    QVERIFY(key);
    QVERIFY(key->isVisible());
    QCOMPARE(key->windowTitle(), QString("Key Options"));

    key->okButton()->click();
    QVERIFY(w.isVisible());
    QVERIFY(!key->isVisible());
    QCOMPARE(w.numbers().size(), 6);
    QCOMPARE(w.resultsList()->topLevelItemCount(), 1);

    // "OK" keeps the window loaded with its text; the close box unloads it.
    w.keyButton()->click();
    QCOMPARE(w.loadedKeyWindow(), key.data());
    key->keyField()->setText("typed");
    key->close();
    QVERIFY(w.isVisible());
    QTRY_VERIFY(!key);
    w.keyButton()->click();
    QVERIFY(w.loadedKeyWindow());
    QCOMPARE(w.loadedKeyWindow()->key(), QString("typed"));
    QCOMPARE(w.numbers().size(), 6);
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestMainWindow::keyWindowStoresEveryKeystroke()
{
    WindowFixture f;
    f.settings->writeSetting(kApiKeyKey, " old key ");
    MainWindow w(f.context);
    w.show();
    w.keyButton()->click();
    KeyWindow* key = w.loadedKeyWindow();
    QCOMPARE(key->key(), QString(" old key "));
    key->keyField()->clear();
    QCOMPARE(f.storedValue(kApiKeyKey), QString());
    QStringList seen;
    for (const QChar c : QString(" ab1")) {
        QTest::keyClick(key->keyField(), c.toLatin1());
        seen << f.storedValue(kApiKeyKey);
    }
    QCOMPARE(seen, QStringList({" ", " a", " ab", " ab1"}));
    // The program ends from the key window's side: the last text is kept.
    w.close();
    MainWindow next(f.context);
    QCOMPARE(next.apiKey(), QString(" ab1"));
}

void TestMainWindow::keyWindowFocusAndTabOrder()
{
    WindowFixture f;
    f.settings->writeSetting(kApiKeyKey, "secret-key");
    MainWindow w(f.context);
    w.show();
    w.keyButton()->click();
    KeyWindow* key = w.loadedKeyWindow();
    QApplication::setActiveWindow(key);
    QVERIFY(QTest::qWaitForWindowActive(key));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(key->keyField()));
    QTRY_COMPARE(key->keyField()->selectedText(), QString("secret-key"));

    QList<QWidget*> order;
    QWidget* at = key->keyField();
    for (int i = 0; i < 5; ++i) {
        at = at->nextInFocusChain();
        while (at->focusPolicy() == Qt::NoFocus)
            at = at->nextInFocusChain();
        order << at;
    }
    QCOMPARE(order, (QList<QWidget*>{key->okButton(), key->whatIsButton(), key->docsButton(),
                                     key->testButton(), key->videoButton()}));

    key->okButton()->setFocus();
    key->keyField()->deselect();
    key->keyField()->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(key->keyField()->selectedText(), QString("secret-key"));
}

void TestMainWindow::keyWindowOpensAddresses()
{
    WindowFixture f;
    MainWindow w(f.context);
    KeyWindow& key = w.keyWindow();
    QVERIFY(key.docsButton()->text().startsWith("Open "));
    QCOMPARE(key.whatIsButton()->text(), QString("What is an API key?"));
    QCOMPARE(key.videoButton()->text(), QString("Watch Instructional Video On How To Get Key"));
    QCOMPARE(key.testButton()->text(), QString("Test API Key"));
    key.docsButton()->click();
    key.whatIsButton()->click();
    // No video folder: the folder itself is opened, and nothing is said.
    key.videoButton()->click();
    QDir(f.programFolder()).mkpath("VideoKey/sub");
    writeFile(f.programFolder() + "/VideoKey/b clip.mp4", "x");
    writeFile(f.programFolder() + "/VideoKey/.hidden", "x");
    writeFile(f.programFolder() + "/VideoKey/a clip.mp4", "x");
    key.videoButton()->click();
    QCOMPARE(f.dialogs.opened.size(), 4);
    QVERIFY(f.dialogs.opened[0].toString().endsWith(
        "/developer/documentation/api-overview/#tag/Phone-Intelligence-API"));
    QCOMPARE(f.dialogs.opened[1].toString(),
             QString("https://en.wikipedia.org/wiki/Application_programming_interface_key"));
    QCOMPARE(f.dialogs.opened[2], QUrl::fromLocalFile(f.programFolder() + "/VideoKey/"));
    QCOMPARE(f.dialogs.opened[3], QUrl::fromLocalFile(f.programFolder() + "/VideoKey/a clip.mp4"));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestMainWindow::keyIsReadWithoutShowingTheKeyWindow()
{
    WindowFixture f;
    f.settings->writeSetting(kApiKeyKey, "stored-key");
    MainWindow w(f.context);
    QVERIFY(!w.loadedKeyWindow());
    QCOMPARE(w.apiKey(), QString("stored-key"));
    QVERIFY(w.loadedKeyWindow());
    QVERIFY(!w.loadedKeyWindow()->isVisible());

    // A first load with nothing stored leaves an empty key in the store.
    WindowFixture g;
    MainWindow fresh(g.context);
    QCOMPARE(g.storedValue(kApiKeyKey), QString("<missing>"));
    QCOMPARE(fresh.apiKey(), QString());
    QCOMPARE(g.storedValue(kApiKeyKey), QString());
}

void TestMainWindow::consoleKeepsExactText()
{
    WindowFixture f;
    MainWindow w(f.context);
    w.appendConsole("{\"a\":1}");
    w.appendConsole("Could not connect");
    QCOMPARE(w.consoleText(), QString("{\"a\":1}\r\nCould not connect\r\n"));
    QCOMPARE(w.console()->toPlainText(), QString("{\"a\":1}\nCould not connect"));
    w.copyConsoleButton()->click();
    QCOMPARE(f.clipboard->text, QString("{\"a\":1}\r\nCould not connect\r\n"));
    w.clearConsoleButton()->click();
    QCOMPARE(w.consoleText(), QString());
    QCOMPARE(w.console()->toPlainText(), QString());
    w.appendConsole("x");
    QCOMPARE(w.console()->toPlainText(), QString("x"));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestMainWindow::tickAllRows()
{
    WindowFixture f;
    MainWindow w(f.context);
    w.appendResultRow({"1", "Mobile", "A", "L", "P", "Active"});
    w.appendResultRow({"2", "Landline", "B", "L", "P", "Inactive"});
    QCOMPARE(w.resultsTable().rows.size(), 2);
    QVERIFY(!w.resultsTable().rows[0].ticked);
    QVERIFY(w.resultsList()->topLevelItem(0)->flags() & Qt::ItemIsUserCheckable);
    w.setAllResultsTicked(true);
    QVERIFY(w.resultsTable().rows[0].ticked && w.resultsTable().rows[1].ticked);
    w.setAllResultsTicked(false);
    QVERIFY(!w.resultsTable().rows[1].ticked);
    const ReportTable table = w.resultsTable();
    QCOMPARE(table.headers,
             QStringList({"Phone Number", "Type", "Name", "Location", "Provider", "Status"}));
    QCOMPARE(table.rows[1].cells, QStringList({"2", "Landline", "B", "L", "P", "Inactive"}));
}

void TestMainWindow::exportButtons()
{
    WindowFixture f;
    f.context.clipboard = std::make_shared<SystemClipboard>();
    MainWindow w(f.context);
    w.appendResultRow({"555-0100", "Mobile", "Ann", "L", "P", "Active"});
    w.appendResultRow({"555-0199999", "Landline", "=Bob", "", "P", "Inactive"});
    w.resultsList()->topLevelItem(0)->setCheckState(0, Qt::Checked);

    const QString path = f.dir.filePath("out.txt");
    f.dialogs.saveAnswers << path;
    w.saveTextButton()->click();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("Phone Number\tType    \tName\tLocation\tProvider\tStatus  \t\r\n"
                        "555-0100    \tMobile  \tAnn \tL       \tP       \tActive  \t\r\n"));
    QCOMPARE(f.dialogs.saveAsks.size(), 1);
    QCOMPARE(f.dialogs.saveAsks[0].title, QString("Save"));
    QVERIFY(!w.isBusy());
    QCOMPARE(w.progressBar()->text(), QString("Progress Bar"));
    QCOMPARE(w.progressBar()->value(), 0);

    w.copyResultsButton()->click();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString("555-0100   \tMobile  \tAnn \tL\tP\tActive\r\n"));
    QCOMPARE(f.dialogs.messageTexts(),
             QStringList({"Results have been copied to the clipboard.\r\rClick a text area where "
                          "you normally type and press Ctrl+V to paste the clipboard."}));
    QCOMPARE(f.dialogs.messages[0].title, QString("Quillmore"));

    w.appendConsole("answer one");
    w.copyConsoleButton()->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("answer one\r\n"));

    // No spreadsheet application on this desktop: the two messages, in order.
    f.dialogs.messages.clear();
    w.saveSheetButton()->click();
    QCOMPARE(f.dialogs.messageTexts(),
             QStringList({"Excel is not installed on this computer. You need to have it "
                          "installed to use this software without error.",
                          "Excel is not installed on this computer. You need to have it "
                          "installed to use this feature."}));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
