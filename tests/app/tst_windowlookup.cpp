// The real windows against the local stand-in service: the lookup run from the
// main window's button and the key test from the key window's.
#include "fakeservice.h"
#include "keywindow.h"
#include "lookupfakes.h"
#include "mainwindow.h"
#include "windowfixture.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const QString kQuotaMessage =
    QStringLiteral("Daily (24-hour) limit has been exceeded. Please try again later.");

QStringList rowCells(QTreeWidget* list, int row)
{
    QStringList cells;
    for (int c = 0; c < list->columnCount(); ++c)
        cells << list->topLevelItem(row)->text(c);
    return cells;
}

bool folderIsEmpty(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
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
    void quotaOnThirdOfFive();
    void stopDuringThePauseAfterTheSecond();
    void stopPressedTwiceWhileStopPending();
    void closingDuringARunEndsItCleanly();
    void keyTestOutcomes_data();
    void keyTestOutcomes();

private:
    void typeNumbers(MainWindow& w, const QString& numbers);
    // The requests of this test only: the service lives for the whole suite.
    QList<LoggedRequest> requests() const { return m_service.requests().mid(m_requestsBefore); }
    qsizetype m_requestsBefore = 0;
    QTemporaryDir m_serviceDir;
    FakeService m_service;
    std::unique_ptr<WindowFixture> m_f;
    std::shared_ptr<RecordingSleeper> m_sleeper;
};

void TestWindowLookup::initTestCase()
{
    QVERIFY(m_service.start(m_serviceDir.path()));
}

void TestWindowLookup::init()
{
    m_f = std::make_unique<WindowFixture>();
    m_sleeper = std::make_shared<RecordingSleeper>();
    m_f->context.lookup =
        testLookupConfig(m_service.baseUrl(), m_service.caPem(), m_f->tempFolder(), m_sleeper);
    m_f->settings->writeSetting(kApiKeyKey, QStringLiteral("window-key"));
    m_requestsBefore = m_service.requests().size();
}

void TestWindowLookup::cleanup()
{
    // Whatever happened, nothing of a run is left in the temporary folder.
    QVERIFY(folderIsEmpty(m_f->tempFolder()));
    m_f.reset();
}

void TestWindowLookup::typeNumbers(MainWindow& w, const QString& numbers)
{
    m_f->dialogs.inputAnswers << numbers;
    w.addButton()->click();
}

void TestWindowLookup::fourNumbersFromTheWindow()
{
    MainWindow w(m_f->context);
    typeNumbers(w, "(413) 592-3823, 334.222.8605, 6033802932, +1 503 235 3968");
    QSignalSpy values(w.progressBar(), &QProgressBar::valueChanged);
    w.startButton()->click();
    QCOMPARE(w.startButton()->text(), QString("Stop"));
    QVERIFY(w.isBusy());
    QCOMPARE(w.startButton()->cursor().shape(), Qt::WaitCursor);
    QTRY_VERIFY_WITH_TIMEOUT(!w.isLookupRunning(), 30000);

    QList<int> seen;
    for (const auto& v : values)
        seen << v.at(0).toInt();
    QCOMPARE(seen, (QList<int>{25, 50, 75, 100, 0}));
    QCOMPARE(w.progressBar()->text(), QString("Progress Bar"));
    QCOMPARE(w.startButton()->text(), QString("Start Looking Up"));
    QVERIFY(!w.isBusy());
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{"Done."});
    QCOMPARE(m_f->dialogs.messages[0].title, QString("Quillmore"));

    QCOMPARE(w.resultsList()->topLevelItemCount(), 4);
    QCOMPARE(rowCells(w.resultsList(), 0),
             (QStringList{"4135923823", "Landline", "Margaret A Ellison",
                          "418 Northampton St, Holyoke, 3127, MA, US", "Verizon New England",
                          "Active"}));
    // A null country code leaves the separator after the state.
    QVERIFY(rowCells(w.resultsList(), 2).at(3).endsWith(", NH, "));
    for (int r = 0; r < 4; ++r)
        QCOMPARE(w.resultsList()->topLevelItem(r)->checkState(0), Qt::Unchecked);

    const QStringList answers = w.consoleText().split("\r\n");
    QCOMPARE(answers.size(), 5);
    QVERIFY(answers.last().isEmpty());
    QVERIFY(answers[0].contains("\"phone_number\":\"4135923823\""));
    QCOMPARE(m_sleeper->requested.size(), 4); // a pause after every number, the last included

    const QList<LoggedRequest> sent = requests();
    QCOMPARE(sent.size(), 4);
    QCOMPARE(sent[0].apiKey, QString("window-key"));
    QCOMPARE(sent[3].phone, QString("15032353968"));
}

void TestWindowLookup::quotaOnThirdOfFive()
{
    MainWindow w(m_f->context);
    w.appendResultRow({"earlier", "", "", "", "", "Inactive"});
    typeNumbers(w, "4135923823,3342228605,4030000001,6033802932,7605467993");
    w.startButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isLookupRunning(), 30000);
    QCOMPARE(w.consoleText().count("\r\n"), 3);
    QVERIFY(w.consoleText().contains("<h1>403 Developer Over Rate</h1>"));
    QCOMPARE(w.resultsList()->topLevelItemCount(), 0);
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{kQuotaMessage});
    QCOMPARE(requests().size(), 3);
    QCOMPARE(w.startButton()->text(), QString("Start Looking Up"));
    QCOMPARE(w.progressBar()->text(), QString("Progress Bar"));
}

void TestWindowLookup::stopDuringThePauseAfterTheSecond()
{
    MainWindow w(m_f->context);
    typeNumbers(w, "4135923823,3342228605,6033802932,7605467993");
    m_sleeper->onSleep = [&](auto) {
        if (m_sleeper->requested.size() == 2)
            w.startButton()->click();
    };
    w.startButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isLookupRunning(), 30000);
    // The stop is honoured once the next number has its row.
    QCOMPARE(w.resultsList()->topLevelItemCount(), 3);
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{"Done."});
    QCOMPARE(requests().size(), 3);
}

void TestWindowLookup::stopPressedTwiceWhileStopPending()
{
    MainWindow w(m_f->context);
    typeNumbers(w, "5550000001,4135923823,3342228605");
    w.startButton()->click();
    // While the slow first answer is awaited: stop, then press again.
    QTRY_VERIFY_WITH_TIMEOUT(requests().size() == 1, 10000);
    w.startButton()->click();
    QCOMPARE(w.startButton()->text(), QString("Start Looking Up"));
    QVERIFY(w.isBusy());
    w.startButton()->click(); // ignored: the run has not ended yet
    QVERIFY(w.isLookupRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!w.isLookupRunning(), 30000);
    QCOMPARE(w.resultsList()->topLevelItemCount(), 1);
    QCOMPARE(m_sleeper->requested.size(), 0); // no pause after a stop
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{"Done."});
    QCOMPARE(requests().size(), 1);
    QVERIFY(!w.isBusy());
}

void TestWindowLookup::closingDuringARunEndsItCleanly()
{
    auto w = std::make_unique<MainWindow>(m_f->context);
    typeNumbers(*w, "5550000002,4135923823"); // the first answer never comes
    w->show();
    w->startButton()->click();
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

void TestWindowLookup::keyTestOutcomes_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("message");
    QTest::newRow("working") << "good-key"
                             << "API Key is working.";
    QTest::newRow("rejected") << "norecord"
                              << "Invalid API Key.";
    QTest::newRow("invalid") << "invalid"
                             << "Invalid API Key.";
    QTest::newRow("quota") << "quota-html" << QString(kQuotaMessage);
    QTest::newRow("withdrawn")
        << "gone"
        << "API has changed.\r\nPlease email screenshot of this message to " + supportEmail();
}

void TestWindowLookup::keyTestOutcomes()
{
    QFETCH(QString, key);
    QFETCH(QString, message);
    MainWindow w(m_f->context);
    w.show();
    w.keyButton()->click();
    KeyWindow* keyWindow = w.loadedKeyWindow();
    keyWindow->keyField()->setText(key);
    bool busyWhileAsked = false;
    m_f->dialogs.onMessage = [&](const auto&) { busyWhileAsked = keyWindow->isBusy(); };
    keyWindow->testButton()->click();
    QVERIFY(keyWindow->isBusy());
    QCOMPARE(keyWindow->testButton()->cursor().shape(), Qt::WaitCursor);
    keyWindow->testButton()->click(); // a second press while testing is ignored
    QTRY_VERIFY_WITH_TIMEOUT(!keyWindow->isTesting(), 20000);
    QCOMPARE(m_f->dialogs.messageTexts(), QStringList{message});
    QCOMPARE(m_f->dialogs.messages[0].title, QString("Quillmore"));
    QVERIFY(!busyWhileAsked); // the pointer is back before the message shows
    QVERIFY(!keyWindow->isBusy());
    const QList<LoggedRequest> sent = requests();
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0].apiKey, key);
    QCOMPARE(sent[0].phone, QString("4135923823"));
    // The test touches neither the console nor the results.
    QCOMPARE(w.consoleText(), QString());
    QCOMPARE(w.resultsList()->topLevelItemCount(), 0);
    QCOMPARE(w.progressBar()->text(), QString("Progress Bar"));
}

QTEST_MAIN(TestWindowLookup)
#include "tst_windowlookup.moc"
