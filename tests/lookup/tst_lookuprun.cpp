// The lookup run end to end: the carried curl against the local stand-in
// service, through a recording main window.

#include "lookup/answer.h"
#include "lookup/lookuprun.h"
#include "lookup/request.h"
#include "lookup/resultrow.h"
#include "lookup/runreporting.h"
#include "shell/errorreport.h"
#include "support/fakeservice.h"
#include "support/lookupfakes.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quillmore;
using namespace quillmore::test;
using namespace std::chrono_literals;

namespace {

const QStringList kSamples = {"4135923823", "3342228605", "5032353968",
                              "6033802932", "7605467993", "2125229333"};
const QString kQuotaMessage =
    QStringLiteral("Daily (24-hour) limit has been exceeded. Please try again later.");

// Running processes whose command line mentions `text`.
int processesMentioning(const QString& text)
{
    int found = 0;
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile cmdline(it.next() + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly) &&
            QString::fromLocal8Bit(cmdline.readAll()).contains(text))
            ++found;
    }
    return found;
}

// The private staging folder a run made in `temp`; empty when there is none.
QString stagingFolderIn(const QString& temp)
{
    const QStringList entries = QDir(temp).entryList({QStringLiteral("quillmore-*")}, QDir::Dirs);
    return entries.size() == 1 ? QDir(temp).filePath(entries.constFirst()) : QString();
}

// An error report names a line: "at line " and a number.
bool namesALine(const QString& report)
{
    const qsizetype at = report.indexOf(QStringLiteral("at line "));
    return at >= 0 && at + 8 < report.size() && report.at(at + 8).isDigit();
}

// The run as the main window takes it: what it tells, and the boxes the
// window makes of that.
void watchAsWindow(RunRecorder& view, LookupRun& run)
{
    view.watch(run);
    showRunReports(run, view.dialogBoxes,
                   procedurePath(QStringLiteral("Form1"), QStringLiteral("PushButton17_Click")));
}

QStringList phonesOf(const QList<LoggedRequest>& requests)
{
    QStringList phones;
    for (const LoggedRequest& r : requests)
        phones << r.phone;
    return phones;
}

} // namespace

class TestLookupRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fourNumbersInOrder();
    void tableNumbersGoWithTheirPlus();
    void answersOfEveryShape();
    void quotaOnThirdOfFive();
    void serviceErrorsStopTheRun_data();
    void serviceErrorsStopTheRun();
    void stopDuringRequest();
    void stopDuringPause();
    void noServiceGivesCouldNotConnect();
    void hangingChildIsEndedAfterTimeout();
    void triesDependOnWhetherTheServiceWasReached_data();
    void triesDependOnWhetherTheServiceWasReached();
    void failedStagingIsReportedAndRunGoesOn();
    void emptyListStillEndsWithDone();
    void abortMidRunCleansUp();
    void destroyingRunMidRequestIsSafe();
    void realPausesSeparateRequests();

private:
    bool runToEnd(LookupRun& run, int timeoutMs = 60000);
    LookupConfig config(int pauseSeconds = 4);

    QTemporaryDir m_work;
    FakeService m_service;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::shared_ptr<RecordingPauses> m_sleeper;
    std::unique_ptr<RunRecorder> m_view;
};

void TestLookupRun::initTestCase()
{
    QVERIFY(m_work.isValid());
}

void TestLookupRun::init()
{
    // A fresh service log for each case.
    QVERIFY(m_service.start(m_work.path()));
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    m_sleeper = std::make_shared<RecordingPauses>();
    m_view = std::make_unique<RunRecorder>();
}

void TestLookupRun::cleanup()
{
    // Whatever happened, no run leaves anything in its temporary folder.
    QCOMPARE(folderEntries(m_temp->path()), QStringList());
    m_view.reset();
}

LookupConfig TestLookupRun::config(int pauseSeconds)
{
    return testLookupConfig(m_service.baseUrl(), m_service.caPem(), m_temp->path(), m_sleeper,
                            pauseSeconds);
}

bool TestLookupRun::runToEnd(LookupRun& run, int timeoutMs)
{
    QSignalSpy finished(&run, &LookupRun::finished);
    run.start();
    if (finished.isEmpty() && !finished.wait(timeoutMs))
        return false;
    return finished.size() == 1 && !run.isRunning();
}

void TestLookupRun::fourNumbersInOrder()
{
    QStringList numbers = kSamples.mid(0, 4);
    numbers[1] = QStringLiteral("(334) 222-8605");
    m_view->setNumbers(numbers);
    m_view->console = QStringLiteral("earlier\r\n");
    m_view->rows << QStringList{"kept"};
    LookupRun run(m_view->numbers, m_view->key, config());
    watchAsWindow(*m_view, run);
    QVERIFY(runToEnd(run));

    QCOMPARE(m_view->bar.values, (QList<double>{25, 50, 75, 100, 0}));
    QCOMPARE(m_view->bar.progressText(), kProgressRestText);
    QVERIFY(m_view->bar.texts.contains(QStringLiteral("Processing: (334) 222-8605")));
    QVERIFY(m_view->bar.texts.contains(QStringLiteral("Please wait.. 1")));
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{"Done."});
    QCOMPARE(m_view->dialogBoxes.messages.constFirst().title,
             m_view->dialogBoxes.applicationTitle());
    QCOMPARE(m_view->captions, (QStringList{"Stop", "Start Looking Up"}));
    QCOMPARE(m_view->busy.constFirst(), true);
    QCOMPARE(m_view->busy.constLast(), false);

    const QList<LoggedRequest> requests = m_service.requests();
    QCOMPARE(phonesOf(requests),
             (QStringList{"4135923823", "3342228605", "5032353968", "6033802932"}));
    for (const LoggedRequest& r : requests) {
        QCOMPARE(r.method, QStringLiteral("POST"));
        QCOMPARE(r.path, QStringLiteral("/3.1/phone"));
        QCOMPARE(r.apiKey, QStringLiteral("test-key"));
    }
    // Earlier text and rows stay; one answer and one row per number.
    QCOMPARE(m_view->answers.size(), 4);
    QCOMPARE(m_view->console, QStringLiteral("earlier\r\n") +
                                  m_view->answers.join(QStringLiteral("\r\n")) +
                                  QStringLiteral("\r\n"));
    QVERIFY(m_view->answers.constFirst().startsWith(QStringLiteral("{\"id\":\"Phone.")));
    QCOMPARE(m_view->rows.size(), 5);
    QCOMPARE(m_view->rows.at(1), (QStringList{"4135923823", "Landline", "Margaret A Ellison",
                                              "418 Northampton St, Holyoke, 3127, MA, US",
                                              "Verizon New England", "Active"}));
    QCOMPARE(m_view->rows.at(2), (QStringList{"3342228605", "Mobile", "Darnell T Rhodes",
                                              "1120 Adams Ave, Apt 3B, Montgomery, 2718, AL, US",
                                              "AT&T Mobility", "Inactive"}));
    QCOMPARE(m_view->rows.at(4).at(3),
             QStringLiteral("77 Amherst St, Unit 12, Nashua, 4412, NH, "));
    // A pause after every number, the last one included.
    QCOMPARE(m_sleeper->seconds(), (QList<int>{4, 4, 4, 4}));
    QVERIFY(m_view->dialogBoxes.errorReports().isEmpty());
}

void TestLookupRun::tableNumbersGoWithTheirPlus()
{
    // Only a valid number written exactly in E.164 form keeps its "+", and
    // that percent-encoded, so the service does not read it as a blank.
    m_view->setNumbers({"+14135923823", "4135923823", " +442079460958 ", "+1 413 592 3823", "+1413",
                        "+14135923823x12", "1-800-FLOWERS"});
    LookupRun run(m_view->numbers, m_view->key, config());
    watchAsWindow(*m_view, run);
    QVERIFY(runToEnd(run));
    QCOMPARE(phonesOf(m_service.requests()),
             (QStringList{"%2B14135923823", "4135923823", "%2B442079460958", "14135923823", "1413",
                          "1413592382312", "1800"}));
    QCOMPARE(m_view->rows.size(), 7);
}

void TestLookupRun::answersOfEveryShape()
{
    m_view->setNumbers({"5550000006", "5550000005", "2040000001", "5550000004", "5550000003"});
    LookupRun run(m_view->numbers, m_view->key, config());
    watchAsWindow(*m_view, run);
    QVERIFY(runToEnd(run));

    QCOMPARE(m_view->answers.size(), 5);
    // UTF-8 names arrive as such; a UTF-16 answer keeps its byte-order mark.
    QCOMPARE(m_view->rows.at(0).at(2), QStringLiteral("Jürgen Müller"));
    QCOMPARE(m_view->rows.at(0).at(3), QStringLiteral("Södra Förstadsgatan 12, Malmö, M, SE"));
    QVERIFY(m_view->answers.at(1).startsWith(QChar(0xFEFF)));
    QCOMPARE(m_view->rows.at(1).at(0), QStringLiteral("5550000005"));
    QCOMPARE(m_view->answers.at(2), QStringLiteral("empty file"));
    // No answer: the row names the number and says what happened.
    QCOMPARE(m_view->rows.at(2), (QStringList{"2040000001", "", "", "", "", "Empty answer"}));
    QCOMPARE(m_view->answers.at(3).size(), 10 * 1024 * 1024);
    QCOMPARE(m_view->rows.at(3).at(0), QStringLiteral("5550000004"));
    // A dropped connection leaves no answer file. The request was sent, so it
    // may have been charged: one more try only, then "Could not connect".
    QCOMPARE(m_view->answers.at(4), QStringLiteral("Could not connect"));
    QCOMPARE(m_view->rows.at(4), (QStringList{"5550000003", "", "", "", "", "Could not connect"}));
    // Every row keeps the number as the list held it and its answer.
    QCOMPARE(m_view->records.at(1).number, QStringLiteral("5550000005"));
    QCOMPARE(m_view->records.at(2).answer, QStringLiteral("empty file"));
    QCOMPARE(phonesOf(m_service.requests()).count(QStringLiteral("5550000003")), 2);
    QCOMPARE(m_sleeper->seconds(), (QList<int>{4, 4, 4, 4, 1, 1, 4}));
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{"Done."});
}

void TestLookupRun::quotaOnThirdOfFive()
{
    m_view->setNumbers(
        {kSamples.at(0), kSamples.at(1), "4030000001", kSamples.at(3), kSamples.at(4)});
    m_view->rows << QStringList{"from an earlier run"};
    LookupRun run(m_view->numbers, m_view->key, config());
    watchAsWindow(*m_view, run);
    QVERIFY(runToEnd(run));

    QCOMPARE(m_view->answers.size(), 3);
    QVERIFY(m_view->answers.at(2).contains(QStringLiteral("<h1>403 Developer Over Rate</h1>")));
    QCOMPARE(m_view->console.count(QStringLiteral("\r\n")), 3);
    // The rows gathered before the quota ran out stay, this run's and earlier ones.
    QCOMPARE(m_view->rows.size(), 3);
    QCOMPARE(m_view->rows.at(0), QStringList{"from an earlier run"});
    QCOMPARE(m_view->rows.at(2).at(0), kSamples.at(1));
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{kQuotaMessage});
    QCOMPARE(phonesOf(m_service.requests()),
             (QStringList{kSamples.at(0), kSamples.at(1), "4030000001"}));
    QCOMPARE(m_sleeper->seconds(), (QList<int>{4, 4}));
    QCOMPARE(m_view->captions.constLast(), QStringLiteral("Start Looking Up"));
    QCOMPARE(m_view->bar.values.constLast(), 0.0);
    QCOMPARE(m_view->busy.constLast(), false);
}

void TestLookupRun::serviceErrorsStopTheRun_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("message");
    QTest::newRow("quota sentence") << "quota-text" << kQuotaMessage;
    QTest::newRow("gone") << "gone"
                          << QStringLiteral("API has changed.\r\nPlease email screenshot of this "
                                            "message to ") +
                                 supportEmail();
    QTest::newRow("invalid key") << "invalid"
                                 << "Invalid API Key.";
    QTest::newRow("no record") << "norecord"
                               << "Invalid API Key.";
}

void TestLookupRun::serviceErrorsStopTheRun()
{
    QFETCH(QString, key);
    QFETCH(QString, message);
    m_view->key.setKey(key);
    m_view->setNumbers(kSamples.mid(0, 3));
    LookupRun run(m_view->numbers, m_view->key, config());
    watchAsWindow(*m_view, run);
    QVERIFY(runToEnd(run));
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{message});
    QCOMPARE(m_service.requests().size(), 1);
    QVERIFY(m_view->rows.isEmpty()); // the number that met the error gets no row
    QVERIFY(m_sleeper->requested.isEmpty());
}

void TestLookupRun::stopDuringRequest()
{
    m_view->setNumbers({kSamples.at(0), "5550000001", kSamples.at(2), kSamples.at(3)});
    LookupRun run(m_view->numbers, m_view->key, config());
    watchAsWindow(*m_view, run);
    int starts = 0;
    m_view->bar.onText = [&](const QString& text) {
        if (text == QStringLiteral("Please wait.. 1") && ++starts == 2) {
            // The user's click arrives through the event loop while the slow answer is awaited.
            QTimer::singleShot(0, &run, [&] {
                run.stop();
                QCOMPARE(m_view->captions.constLast(), QStringLiteral("Start Looking Up"));
                QCOMPARE(run.state(), LookupRun::State::StopPending);
                run.start(); // ignored: no second run inside the first
                run.stop();
                QCOMPARE(run.state(), LookupRun::State::StopPending);
            });
        }
    };
    QVERIFY(runToEnd(run));

    QCOMPARE(m_view->captions, (QStringList{"Stop", "Start Looking Up"}));
    QCOMPARE(m_view->rows.size(), 2); // the slow number still gets its row
    QCOMPARE(m_view->rows.at(1).at(0), QStringLiteral("5550000001"));
    QCOMPARE(m_sleeper->seconds(), QList<int>{4}); // no pause after the stop
    QCOMPARE(m_service.requests().size(), 2);
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{"Done."});
}

void TestLookupRun::stopDuringPause()
{
    m_view->setNumbers(kSamples.mid(0, 5));
    LookupRun run(m_view->numbers, m_view->key, config());
    watchAsWindow(*m_view, run);
    m_sleeper->onPause = [&](std::chrono::milliseconds) {
        if (m_sleeper->requested.size() == 2)
            run.stop();
    };
    QVERIFY(runToEnd(run));
    // The number after the pause is still looked up and gets its row.
    QCOMPARE(m_view->rows.size(), 3);
    QCOMPARE(m_service.requests().size(), 3);
    QCOMPARE(m_sleeper->seconds(), (QList<int>{4, 4}));
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{"Done."});
}

void TestLookupRun::noServiceGivesCouldNotConnect()
{
    LookupConfig cfg = config(5);
    cfg.serviceUrl = unusedLoopbackUrl();
    m_view->setNumbers({kSamples.at(0)});
    LookupRun run(m_view->numbers, m_view->key, cfg);
    watchAsWindow(*m_view, run);
    QVERIFY(runToEnd(run));
    QCOMPARE(m_view->answers, QStringList{"Could not connect"});
    QCOMPARE(m_view->rows,
             (QList<QStringList>{{kSamples.at(0), "", "", "", "", "Could not connect"}}));
    // Six one-second waits between the tries, then the run's own pause.
    QCOMPARE(m_sleeper->seconds(), (QList<int>{1, 1, 1, 1, 1, 1, 5}));
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{"Done."});
}

void TestLookupRun::hangingChildIsEndedAfterTimeout()
{
    // Long enough for the connection to be made (half of it is the tool's
    // own limit on connecting), so each try reaches the service and may be
    // charged: one more try only.
    LookupConfig cfg = config();
    cfg.childTimeout = 2s;
    m_view->setNumbers({"5550000002"});
    LookupRun run(m_view->numbers, m_view->key, cfg);
    watchAsWindow(*m_view, run);
    QVERIFY(runToEnd(run));
    QCOMPARE(m_view->answers, QStringList{"Could not connect"});
    QCOMPARE(m_service.requests().size(), 2);
    QCOMPARE(m_sleeper->seconds(), (QList<int>{1, 1, 4}));
}

void TestLookupRun::triesDependOnWhetherTheServiceWasReached_data()
{
    QTest::addColumn<bool>("silentListener"); // else the service itself
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("seen");  // requests the service saw
    QTest::addColumn<int>("tries"); // each failed try is followed by a one-second wait
    QTest::newRow("cut-off body") << false << "5550000007" << 2 << 2;
    QTest::newRow("handshake never answered") << true << kSamples.at(0) << 0 << 6;
}

void TestLookupRun::triesDependOnWhetherTheServiceWasReached()
{
    QFETCH(bool, silentListener);
    QFETCH(QString, number);
    LookupConfig cfg = config();
    cfg.childTimeout = 2s;
    // Takes connections (the system does, for a listening socket) and never
    // says a word, so no secure connection is ever made.
    const int listener = silentListener ? ::socket(AF_INET, SOCK_STREAM, 0) : -1;
    const auto closeListener = qScopeGuard([listener] {
        if (listener >= 0)
            ::close(listener);
    });
    if (silentListener) {
        QVERIFY(listener >= 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        QCOMPARE(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
        QCOMPARE(::listen(listener, 16), 0);
        QCOMPARE(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
        cfg.serviceUrl = QStringLiteral("https://127.0.0.1:%1").arg(ntohs(address.sin_port));
    }
    m_view->setNumbers({number});
    LookupRun run(m_view->numbers, m_view->key, cfg);
    watchAsWindow(*m_view, run);
    QVERIFY(runToEnd(run));
    QCOMPARE(m_view->answers, QStringList{"Could not connect"});
    QTEST(int(m_service.requests().size()), "seen");
    QFETCH(int, tries);
    QCOMPARE(m_sleeper->seconds(), QList<int>(tries, 1) + QList<int>{4});
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{"Done."});
}

void TestLookupRun::failedStagingIsReportedAndRunGoesOn()
{
    LookupConfig cfg = config();
    cfg.tempFolder = m_temp->filePath(QStringLiteral("missing"));
    cfg.cacheFolder = QStringLiteral("/dev/null/cache"); // no way to fall back either
    m_view->setNumbers({kSamples.at(0)});
    LookupRun run(m_view->numbers, m_view->key, cfg);
    watchAsWindow(*m_view, run);
    QVERIFY(runToEnd(run));
    const auto reports = m_view->dialogBoxes.errorReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports.constFirst().startsWith(QStringLiteral(
        "Path not found\r\nin Vantrel2021/08/31.Form1.PushButton17_Click at line ")));
    QVERIFY(namesALine(reports.constFirst()));
    QVERIFY(reports.constFirst().contains(
        QStringLiteral("at line %1\r").arg(stepPlace(Step::RunStaging).line)));
    QCOMPARE(m_view->answers, QStringList{"Could not connect"});
    QVERIFY(m_service.requests().isEmpty());
    QCOMPARE(m_view->dialogBoxes.messageTexts().constLast(), QStringLiteral("Done."));
}

void TestLookupRun::emptyListStillEndsWithDone()
{
    LookupRun run(m_view->numbers, m_view->key, config());
    watchAsWindow(*m_view, run);
    QVERIFY(runToEnd(run));
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{"Done."});
    QVERIFY(m_service.requests().isEmpty());
    QCOMPARE(m_view->bar.values, QList<double>{0});
}

void TestLookupRun::abortMidRunCleansUp()
{
    m_view->setNumbers({"5550000002", kSamples.at(0)});
    LookupRun run(m_view->numbers, m_view->key, config());
    watchAsWindow(*m_view, run);
    QSignalSpy finished(&run, &LookupRun::finished);
    run.start();
    QTRY_COMPARE_WITH_TIMEOUT(m_service.requests().size(), 1, 20000);
    const QString folder = stagingFolderIn(m_temp->path());
    QVERIFY(!folder.isEmpty());
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/curl.exe")));
    QCOMPARE(processesMentioning(folder), 1);

    const int textsBefore = int(m_view->bar.texts.size());
    run.end();
    QVERIFY(!run.isRunning());
    QCOMPARE(finished.size(), 1);
    QVERIFY(!QFileInfo::exists(folder));
    QCOMPARE(processesMentioning(folder), 0);
    // Nothing more reaches the window, and nothing more is asked of the service.
    QTest::qWait(300);
    QCOMPARE(int(m_view->bar.texts.size()), textsBefore);
    QVERIFY(m_view->dialogBoxes.messages.isEmpty());
    QVERIFY(m_view->answers.isEmpty());
    QCOMPARE(m_service.requests().size(), 1);
}

void TestLookupRun::destroyingRunMidRequestIsSafe()
{
    m_view->setNumbers({"5550000002"});
    auto run = std::make_unique<LookupRun>(m_view->numbers, m_view->key, config());
    watchAsWindow(*m_view, *run);
    run->start();
    QTRY_COMPARE_WITH_TIMEOUT(m_service.requests().size(), 1, 20000);
    const QString folder = stagingFolderIn(m_temp->path());
    QVERIFY(!folder.isEmpty());
    run.reset();
    m_view.reset();
    QVERIFY(!QFileInfo::exists(folder));
    QCOMPARE(processesMentioning(folder), 0);
    QTest::qWait(200); // the ended run must not wake up into the gone window
    m_view = std::make_unique<RunRecorder>();
}

void TestLookupRun::realPausesSeparateRequests()
{
    LookupConfig cfg = config();
    cfg.pauseLength = nullptr; // real pauses
    cfg.randomPauseSeconds = [] { return randomPauseSeconds(); };
    m_view->setNumbers(kSamples.mid(0, 3));
    LookupRun run(m_view->numbers, m_view->key, cfg);
    watchAsWindow(*m_view, run);
    // Stop while the second request runs, so the run ends without a second pause.
    int starts = 0;
    m_view->bar.onText = [&](const QString& text) {
        if (text == QStringLiteral("Please wait.. 1") && ++starts == 2)
            QTimer::singleShot(0, &run, [&] { run.stop(); });
    };
    QVERIFY(runToEnd(run, 30000));
    const QList<LoggedRequest> requests = m_service.requests();
    QCOMPARE(requests.size(), 2);
    const double gap = requests.at(1).arrivalMonotonic - requests.at(0).arrivalMonotonic;
    // The pause is 3 to 6 whole seconds; the tool's own start-up comes on top.
    QVERIFY2(gap >= 3.0 && gap < 6.0 + 1.5, qPrintable(QString::number(gap)));
}

QTEST_GUILESS_MAIN(TestLookupRun)
#include "tst_lookuprun.moc"
