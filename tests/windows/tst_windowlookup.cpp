// The real windows against the local stand-in service: the lookup run from the
// main window's button and the key test from the key window's.
#include "shell/errorreport.h"
#include "support/fakeservice.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/keywindow.h"
#include "windows/mainwindow.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;
using namespace std::chrono_literals;

namespace {

const QString kQuotaMessage =
    QStringLiteral("Daily (24-hour) limit has been exceeded. Please try again later.");
const QString kUnreachable = QStringLiteral(
    "Could not reach the lookup service. Check the network connection and try again.");
const QString kEmptyAnswer =
    QStringLiteral("The lookup service sent an empty answer. Please try again later.");

bool folderIsEmpty(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
}

// A row for a lookup that got no answer: the number as listed and what happened.
QStringList unansweredRow(const QString& number, const QString& status)
{
    return {number, {}, {}, {}, {}, status};
}

} // namespace

class TestWindowLookup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void fourNumbersFromTheWindow();
    void quotaOnThirdOfFiveKeepsEarlierRows();
    void stopDuringThePauseAfterTheSecond();
    void stopPressedTwiceWhileStopPending();
    void closingDuringARunEndsItCleanly();
    void droppedAndEmptyAnswersGetRows();
    void serviceStopped();
    void keyTestOutcomes_data();
    void keyTestOutcomes();
    void errorPagesAndCutOffAnswersAreNoResults_data();
    void errorPagesAndCutOffAnswersAreNoResults();

private:
    void typeNumbers(MainWindow& w, const QString& numbers);
    // Presses "Start Looking Up" and waits for the run to end.
    void runToTheEnd(MainWindow& w);
    // Tests the key in the loaded key window and checks the one message it gives.
    void testKey(KeyWindow& keyWindow, const QString& message);
    // The requests of this test only: the service lives for the whole suite.
    QList<LoggedRequest> requests() const { return m_service.requests().mid(m_requestsBefore); }
    qsizetype m_requestsBefore = 0;
    QTemporaryDir m_serviceDir;
    FakeService m_service;
    std::unique_ptr<WindowFixture> m_f;
};

void TestWindowLookup::initTestCase()
{
    QVERIFY(m_service.start(m_serviceDir.path()));
}

void TestWindowLookup::init()
{
    m_f = std::make_unique<WindowFixture>();
    m_f->useService(m_service.baseUrl(), m_service.caPem());
    m_f->keys->setKey(QStringLiteral("window-key"));
    m_requestsBefore = m_service.requests().size();
}

void TestWindowLookup::cleanup()
{
    // Whatever happened, nothing of a run is left in the temporary or cache folder.
    QVERIFY(folderIsEmpty(m_f->tempFolder()));
    QVERIFY(folderIsEmpty(m_f->context.lookup.cacheFolder));
    m_f.reset();
}

void TestWindowLookup::typeNumbers(MainWindow& w, const QString& numbers)
{
    m_f->dialogs.inputAnswers << numbers;
    MainControls(w).addButton->click();
}

void TestWindowLookup::runToTheEnd(MainWindow& w)
{
    MainControls(w).startButton->click();
    QVERIFY(w.isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);
    QCOMPARE(MainControls(w).startButton->text(), QString("Start Looking Up"));
    QCOMPARE(MainControls(w).startButton->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(MainControls(w).progressBar->text(), QString("Progress Bar"));
    QCOMPARE(MainControls(w).progressBar->value(), 0);
}

void TestWindowLookup::fourNumbersFromTheWindow()
{
    MainWindow w(m_f->context);
    MainControls c(w);
    typeNumbers(w, "(413) 592-3823, 334.222.8605, 6033802932, +1 503 235 3968");
    QSignalSpy values(c.progressBar, &QProgressBar::valueChanged);
    c.startButton->click();
    QCOMPARE(c.startButton->text(), QString("Stop"));
    QVERIFY(w.isBusy());
    QCOMPARE(c.startButton->cursor().shape(), Qt::WaitCursor);
    QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);

    QList<int> seen;
    for (const auto& v : values)
        seen << v.at(0).toInt();
    QCOMPARE(seen, (QList<int>{25, 50, 75, 100, 0}));
    QCOMPARE(c.progressBar->text(), QString("Progress Bar"));
    QCOMPARE(c.startButton->text(), QString("Start Looking Up"));
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{"Done."});
    QCOMPARE(m_f->dialogs.messages[0].title, QString("Quillmore"));

    QCOMPARE(rowCount(c.resultsList), 4);
    QCOMPARE(rowCells(c.resultsList, 0),
             (QStringList{"4135923823", "Landline", "Margaret A Ellison",
                          "418 Northampton St, Holyoke, 3127, MA, US", "Verizon New England",
                          "Active"}));
    // A null country code leaves the separator after the state.
    QVERIFY(rowCells(c.resultsList, 2).at(3).endsWith(", NH, "));
    for (int r = 0; r < 4; ++r)
        QCOMPARE(checkState(c.resultsList, r), Qt::Unchecked);

    const QStringList answers = w.consoleText().split("\r\n");
    QCOMPARE(answers.size(), 5);
    QVERIFY(answers.last().isEmpty());
    QVERIFY(answers[0].contains("\"phone_number\":\"4135923823\""));
    // A pause after every number, the last included.
    QCOMPARE(m_f->pauses, (QList<std::chrono::milliseconds>{4s, 4s, 4s, 4s}));

    const QList<LoggedRequest> sent = requests();
    QCOMPARE(sent.size(), 4);
    QCOMPARE(sent[0].apiKey, QString("window-key"));
    QCOMPARE(sent[3].phone, QString("15032353968"));
    QVERIFY(!loadedKeyWindow()); // a run has no use for the key window
}

void TestWindowLookup::quotaOnThirdOfFiveKeepsEarlierRows()
{
    MainWindow w(m_f->context);
    MainControls c(w);
    typeNumbers(w, "5032353968,7605467993");
    runToTheEnd(w);
    QCOMPARE(rowCount(c.resultsList), 2);
    c.clearNumbersButton->click();
    m_f->dialogs.messages.clear();

    typeNumbers(w, "4135923823,3342228605,4030000001,6033802932,7605467993");
    runToTheEnd(w);
    // The earlier run's rows and this run's first two stay; the third gets none.
    QCOMPARE(shownRows(c.resultsList),
             (QStringList{"5032353968", "7605467993", "4135923823", "3342228605"}));
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{kQuotaMessage});
    QCOMPARE(m_f->dialogs.messages[0].title, QString("Quillmore"));
    QCOMPARE(w.consoleText().count("\r\n"), 5);
    QVERIFY(w.consoleText().split("\r\n").at(4).contains("<h1>403 Developer Over Rate</h1>"));
    QCOMPARE(requests().size(), 5);
}

void TestWindowLookup::stopDuringThePauseAfterTheSecond()
{
    MainWindow w(m_f->context);
    MainControls c(w);
    typeNumbers(w, "4135923823,3342228605,6033802932,7605467993");
    m_f->onPause = [&] {
        if (m_f->pauses.size() == 2)
            c.startButton->click();
    };
    runToTheEnd(w);
    // The stop is honoured once the next number has its row.
    QCOMPARE(rowCount(c.resultsList), 3);
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{"Done."});
    QCOMPARE(requests().size(), 3);
}

void TestWindowLookup::stopPressedTwiceWhileStopPending()
{
    MainWindow w(m_f->context);
    MainControls c(w);
    typeNumbers(w, "5550000001,4135923823,3342228605");
    c.startButton->click();
    // While the slow first answer is awaited: stop, then press again.
    QTRY_VERIFY_WITH_TIMEOUT(requests().size() == 1, 10000);
    c.startButton->click();
    QCOMPARE(c.startButton->text(), QString("Start Looking Up"));
    QVERIFY(w.isBusy());
    c.startButton->click(); // ignored: the run has not ended yet
    QCOMPARE(c.startButton->text(), QString("Start Looking Up"));
    QVERIFY(w.isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);
    QCOMPARE(rowCount(c.resultsList), 1);
    QVERIFY(m_f->pauses.isEmpty()); // no pause after a stop
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{"Done."});
    QCOMPARE(requests().size(), 1);
}

void TestWindowLookup::closingDuringARunEndsItCleanly()
{
    auto w = std::make_unique<MainWindow>(m_f->context);
    typeNumbers(*w, "5550000002,4135923823"); // the first answer never comes
    w->show();
    MainControls(*w).startButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(requests().size() == 1, 10000);
    QVERIFY(!folderIsEmpty(m_f->tempFolder()));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(w->close());
    w.reset();
    qInfo("closed during a request in %lld ms", timer.elapsed());
    QVERIFY(folderIsEmpty(m_f->tempFolder()));
    QCOMPARE(m_f->storedValue(kPhoneNumbersKey), QString("5550000002;4135923823"));
    QVERIFY(m_f->dialogs.messages.isEmpty());
}

void TestWindowLookup::droppedAndEmptyAnswersGetRows()
{
    MainWindow w(m_f->context);
    MainControls c(w);
    typeNumbers(w, "555-000-0003,2040000001,4135923823");
    runToTheEnd(w);
    // A dropped connection leaves no answer file, but it may have been
    // charged: one more try, then the run goes on.
    QCOMPARE(rowCells(c.resultsList, 0), unansweredRow("555-000-0003", "Could not connect"));
    QCOMPARE(rowCells(c.resultsList, 1), unansweredRow("2040000001", "Empty answer"));
    QCOMPARE(rowCells(c.resultsList, 2).at(0), QString("4135923823"));
    QCOMPARE(rowCount(c.resultsList), 3);
    QCOMPARE(w.consoleText().split("\r\n").mid(0, 2),
             (QStringList{"Could not connect", "empty file"}));
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{"Done."});
    QCOMPARE(requests().size(), 2 + 1 + 1);
    QCOMPARE(m_f->pauses, (QList<std::chrono::milliseconds>{1s, 1s, 4s, 4s, 4s}));
}

void TestWindowLookup::serviceStopped()
{
    m_f->useService(unusedLoopbackUrl(), m_service.caPem());
    MainWindow w(m_f->context);
    MainControls c(w);
    typeNumbers(w, "(413) 592-3823, 3342228605");
    runToTheEnd(w);
    QCOMPARE(rowCells(c.resultsList, 0), unansweredRow("(413) 592-3823", "Could not connect"));
    QCOMPARE(rowCells(c.resultsList, 1), unansweredRow("3342228605", "Could not connect"));
    QCOMPARE(rowCount(c.resultsList), 2);
    QCOMPARE(w.consoleText(), QString("Could not connect\r\nCould not connect\r\n"));
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{"Done."});
    QCOMPARE(m_f->pauses.count(1s), 12);
    QCOMPARE(m_f->pauses.count(4s), 2);
    QVERIFY(!loadedKeyWindow());

    m_f->dialogs.messages.clear();
    c.keyButton->click();
    QVERIFY(loadedKeyWindow());
    testKey(*loadedKeyWindow(), kUnreachable);
    QVERIFY(requests().isEmpty());
}

void TestWindowLookup::testKey(KeyWindow& keyWindow, const QString& message)
{
    KeyControls k(keyWindow);
    bool busyWhileAsked = true;
    m_f->dialogs.onMessage = [&](const auto&) { busyWhileAsked = keyWindow.isBusy(); };
    k.testButton->click();
    QVERIFY(keyWindow.isBusy());
    QCOMPARE(k.testButton->cursor().shape(), Qt::WaitCursor);
    k.testButton->click(); // a second press while testing is ignored
    QTRY_VERIFY_WITH_TIMEOUT(!keyWindow.isBusy(), 20000);
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{message});
    QCOMPARE(m_f->dialogs.messages[0].title, QString("Quillmore"));
    QCOMPARE(m_f->dialogs.messages[0].icon, Dialogs::Icon::None);
    QVERIFY(!busyWhileAsked); // the pointer is back before the message shows
    QCOMPARE(k.testButton->cursor().shape(), Qt::PointingHandCursor);
}

void TestWindowLookup::keyTestOutcomes_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("requestCount");
    QTest::newRow("working") << "good-key"
                             << "API Key is working." << 1;
    QTest::newRow("rejected") << "norecord"
                              << "Invalid API Key." << 1;
    QTest::newRow("invalid") << "invalid"
                             << "Invalid API Key." << 1;
    QTest::newRow("quota") << "quota-html" << QString(kQuotaMessage) << 1;
    QTest::newRow("withdrawn")
        << "gone"
        << "API has changed.\r\nPlease email screenshot of this message to " + supportEmail() << 1;
    QTest::newRow("empty answer") << "empty" << QString(kEmptyAnswer) << 1;
    // Sent, so possibly charged: tried once more only.
    QTest::newRow("dropped connection") << "drop" << QString(kUnreachable) << 2;
}

void TestWindowLookup::keyTestOutcomes()
{
    QFETCH(QString, key);
    QFETCH(QString, message);
    QFETCH(int, requestCount);
    MainWindow w(m_f->context);
    MainControls c(w);
    w.show();
    c.keyButton->click();
    KeyWindow* keyWindow = loadedKeyWindow();
    QVERIFY(keyWindow);
    KeyControls(*keyWindow).keyField->setText(key);
    testKey(*keyWindow, message);
    const QList<LoggedRequest> sent = requests();
    QCOMPARE(sent.size(), requestCount);
    QCOMPARE(sent[0].apiKey, key);
    QCOMPARE(sent[0].phone, QString("4135923823"));
    // The test touches neither the console nor the results.
    QCOMPARE(w.consoleText(), QString());
    QCOMPARE(rowCount(c.resultsList), 0);
    QCOMPARE(c.progressBar->text(), QString("Progress Bar"));
}

void TestWindowLookup::errorPagesAndCutOffAnswersAreNoResults_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("status");     // the row's status cell
    QTest::addColumn<QString>("console");    // what the console shows of the answer
    QTest::addColumn<QString>("keyMessage"); // the key test's message
    QTest::addColumn<int>("tries");
    const auto serviceError = [](int status) {
        return QStringLiteral("The lookup service answered with an error (HTTP %1). Please try "
                              "again later.")
            .arg(status);
    };
    QTest::newRow("503") << "unavailable"
                         << "5030000001"
                         << "Service error (HTTP 503)"
                         << "\"name\":\"ServiceUnavailable\"" << serviceError(503) << 1;
    QTest::newRow("502") << "badgateway"
                         << "502-000-0001"
                         << "Service error (HTTP 502)"
                         << "<center><h1>502 Bad Gateway</h1></center>" << serviceError(502) << 1;
    QTest::newRow("404") << "notfound"
                         << "(404) 000-0001"
                         << "Service error (HTTP 404)"
                         << "<title>404 Not Found</title>" << serviceError(404) << 1;
    QTest::newRow("cut-off body") << "cutoff"
                                  << "5550000007"
                                  << "Could not connect"
                                  << "Could not connect" << QString(kUnreachable) << 2;
}

void TestWindowLookup::errorPagesAndCutOffAnswersAreNoResults()
{
    QFETCH(QString, key);
    QFETCH(QString, number);
    QFETCH(QString, status);
    QFETCH(QString, console);
    QFETCH(QString, keyMessage);
    QFETCH(int, tries);
    MainWindow w(m_f->context);
    MainControls c(w);
    w.show();
    // The number as typed and what went wrong; the run goes on with the next one.
    typeNumbers(w, number + ",4135923823");
    runToTheEnd(w);
    QCOMPARE(rowCells(c.resultsList, 0), unansweredRow(number, status));
    QCOMPARE(rowCells(c.resultsList, 1).at(0), QString("4135923823"));
    QCOMPARE(rowCount(c.resultsList), 2);
    QVERIFY(w.consoleText().split("\r\n").at(0).contains(console));
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{"Done."});
    QCOMPARE(requests().size(), tries + 1);

    m_f->dialogs.messages.clear();
    c.keyButton->click();
    KeyWindow* keyWindow = loadedKeyWindow();
    QVERIFY(keyWindow);
    KeyControls(*keyWindow).keyField->setText(key);
    testKey(*keyWindow, keyMessage);
    QCOMPARE(requests().size(), 2 * tries + 1);
}

QTEST_MAIN(TestWindowLookup)
#include "tst_windowlookup.moc"
