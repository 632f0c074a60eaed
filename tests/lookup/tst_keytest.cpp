// The key window's key test end to end, against the local stand-in service.

#include "lookup/keytest.h"
#include "lookup/runreporting.h"
#include "shell/errorreport.h"
#include "support/fakeservice.h"
#include "support/lookupfakes.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace quillmore;
using namespace quillmore::test;

namespace {

// The test as the key window takes it: what it tells, and the boxes the
// window makes of that.
void watchAsWindow(RunRecorder& view, KeyTest& test)
{
    view.watch(test);
    showKeyTestReports(test, view.dialogBoxes,
                       procedurePath(QStringLiteral("Form2"), QStringLiteral("PushButton4_Click")));
}

} // namespace

class TestKeyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void outcomes_data();
    void outcomes();
    void noServiceIsToldAsSuch();
    void noFolderToStageInIsReported();
    void keyReachesServiceAsTyped_data();
    void keyReachesServiceAsTyped();
    void keyIsOnNoCommandLine();
    void secondPressWhileRunningIsIgnored();
    void abortEndsTestQuietly();

private:
    bool testToEnd(KeyTest& test);
    LookupConfig config();

    QTemporaryDir m_work;
    FakeService m_service;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::shared_ptr<RecordingPauses> m_sleeper;
    std::unique_ptr<RunRecorder> m_view;
};

void TestKeyTest::initTestCase()
{
    QVERIFY(m_work.isValid());
}

void TestKeyTest::init()
{
    QVERIFY(m_service.start(m_work.path()));
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    m_sleeper = std::make_shared<RecordingPauses>();
    m_view = std::make_unique<RunRecorder>();
}

void TestKeyTest::cleanup()
{
    QCOMPARE(folderEntries(m_temp->path()), QStringList());
    m_view.reset();
}

LookupConfig TestKeyTest::config()
{
    return testLookupConfig(m_service.baseUrl(), m_service.caPem(), m_temp->path(), m_sleeper);
}

bool TestKeyTest::testToEnd(KeyTest& test)
{
    QSignalSpy finished(&test, &KeyTest::finished);
    test.start();
    if (finished.isEmpty() && !finished.wait(30000))
        return false;
    return finished.size() == 1 && !test.isRunning();
}

void TestKeyTest::outcomes_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("message");
    const QString quota =
        QStringLiteral("Daily (24-hour) limit has been exceeded. Please try again later.");
    QTest::newRow("working") << "a1b2c3"
                             << "API Key is working.";
    QTest::newRow("quota page") << "quota-html" << quota;
    QTest::newRow("quota sentence") << "quota-text" << quota;
    QTest::newRow("gone") << "gone"
                          << QStringLiteral("API has changed.\r\nPlease email screenshot of this "
                                            "message to ") +
                                 supportEmail();
    QTest::newRow("invalid") << "invalid"
                             << "Invalid API Key.";
    QTest::newRow("no record") << "norecord"
                               << "Invalid API Key.";
    QTest::newRow("empty answer")
        << "empty"
        << "The lookup service sent an empty answer. Please try again later.";
}

void TestKeyTest::outcomes()
{
    QFETCH(QString, key);
    QFETCH(QString, message);
    m_view->key.setKey(key);
    KeyTest test(m_view->key, config());
    watchAsWindow(*m_view, test);
    QVERIFY(testToEnd(test));

    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{message});
    QCOMPARE(m_view->dialogBoxes.messages.constFirst().title,
             m_view->dialogBoxes.applicationTitle());
    QCOMPARE(m_view->busy, (QList<bool>{true, false}));
    const QList<LoggedRequest> requests = m_service.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.constFirst().phone, QStringLiteral("4135923823"));
    QCOMPARE(requests.constFirst().apiKey, key);
    QCOMPARE(m_view->bar.texts.constFirst(), QStringLiteral("Please wait.. 1"));
    QCOMPARE(m_view->bar.progressText(), kProgressRestText);
}

void TestKeyTest::noServiceIsToldAsSuch()
{
    LookupConfig cfg = config();
    cfg.serviceUrl = unusedLoopbackUrl();
    KeyTest test(m_view->key, cfg);
    watchAsWindow(*m_view, test);
    QVERIFY(testToEnd(test));
    QCOMPARE(m_view->dialogBoxes.messageTexts(),
             QStringList{"Could not reach the lookup service. Check the network connection and "
                         "try again."});
    QCOMPARE(m_view->dialogBoxes.messages.constFirst().icon, Dialogs::Icon::None);
    QCOMPARE(m_view->busy.constLast(), false);
    QCOMPARE(m_sleeper->seconds(), QList<int>(6, 1));
}

void TestKeyTest::noFolderToStageInIsReported()
{
    LookupConfig cfg = config();
    cfg.tempFolder = m_temp->filePath(QStringLiteral("missing"));
    cfg.cacheFolder = QStringLiteral("/dev/null/cache");
    KeyTest test(m_view->key, cfg);
    watchAsWindow(*m_view, test);
    QVERIFY(testToEnd(test));
    // The report of the staging step, and no word of the network after it.
    QCOMPARE(m_view->dialogBoxes.messageTexts(),
             QStringList{errorMessageText(
                 QStringLiteral("Path not found"),
                 procedurePath(QStringLiteral("Form2"), QStringLiteral("PushButton4_Click")),
                 stepPlace(Step::KeyTestStaging).line)});
    QCOMPARE(m_view->busy, (QList<bool>{true, false}));
    QVERIFY(m_service.requests().isEmpty());
    QVERIFY(m_sleeper->requested.isEmpty());
}

void TestKeyTest::secondPressWhileRunningIsIgnored()
{
    m_view->key.setKey(QStringLiteral("slow"));
    KeyTest test(m_view->key, config());
    watchAsWindow(*m_view, test);
    QSignalSpy finished(&test, &KeyTest::finished);
    test.start();
    QVERIFY(test.isRunning());
    QTRY_COMPARE(m_service.requests().size(), 1);
    test.start();
    QVERIFY(finished.wait(30000));
    QCOMPARE(m_service.requests().size(), 1);
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{"API Key is working."});
    QCOMPARE(finished.size(), 1);
}

void TestKeyTest::abortEndsTestQuietly()
{
    m_view->key.setKey(QStringLiteral("hang"));
    KeyTest test(m_view->key, config());
    watchAsWindow(*m_view, test);
    QSignalSpy finished(&test, &KeyTest::finished);
    test.start();
    QTRY_COMPARE_WITH_TIMEOUT(m_service.requests().size(), 1, 20000);
    const QStringList staged =
        QDir(m_temp->path()).entryList({QStringLiteral("quillmore-*")}, QDir::Dirs);
    QCOMPARE(staged.size(), 1);
    const QString folder = m_temp->filePath(staged.constFirst());
    test.end();
    QVERIFY(!test.isRunning());
    QCOMPARE(finished.size(), 1);
    QVERIFY(!QFileInfo::exists(folder));
    QTest::qWait(200);
    QVERIFY(m_view->dialogBoxes.messages.isEmpty());
    QCOMPARE(m_view->busy, QList<bool>{true});
}

void TestKeyTest::keyReachesServiceAsTyped_data()
{
    QTest::addColumn<QString>("key");
    const QString nbsp(QChar(0x00A0));
    QTest::newRow("no-break space and -o") << "abc" + nbsp + "-o" + nbsp + "%1";
    QTest::newRow("plain space and -o") << "abc -o %1";
    QTest::newRow("quote, backslash, newline") << QStringLiteral("a\"b\\c\nurl = \"x\" -o %1");
    QTest::newRow("next option") << QStringLiteral("k --next -o %1");
    QTest::newRow("unicode spaces and controls")
        << QStringLiteral("a") + QChar(0x2028) + QChar(0x3000) + QChar(0x0085) + QChar(0x009F) +
               QChar(0x0007) + QStringLiteral("\t-o\t%1");
    QTest::newRow("query marks and beyond ASCII")
        << QStringLiteral("a&phone=1+2#frag%41[x]{y}\u00e9\U0001F600 %1");
}

void TestKeyTest::keyReachesServiceAsTyped()
{
    QFETCH(QString, key);
    // Were the key to become a curl argument, curl would write here.
    const QString target = m_temp->filePath(QStringLiteral("written-by-key"));
    const QString typed = key.arg(target);
    m_view->key.setKey(typed);
    KeyTest test(m_view->key, config());
    QVERIFY(testToEnd(test));
    QVERIFY(!QFileInfo::exists(target));
    const QList<LoggedRequest> requests = m_service.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(QUrl::fromPercentEncoding(requests.constFirst().apiKey.toLatin1()), typed);
    QCOMPARE(requests.constFirst().phone, kKeyTestNumber);
}

void TestKeyTest::keyIsOnNoCommandLine()
{
    const QString key = QStringLiteral("hang");
    m_view->key.setKey(key);
    KeyTest test(m_view->key, config());
    test.start();
    QTRY_COMPARE_WITH_TIMEOUT(m_service.requests().size(), 1, 20000);
    // The request hangs: every process's command line now, ours and curl's.
    int curls = 0;
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile cmdline(it.next() + QStringLiteral("/cmdline"));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = cmdline.readAll();
        if (line.contains(m_temp->path().toLocal8Bit()))
            ++curls;
        QVERIFY2(!line.contains("api_key="), line.constData());
        QVERIFY2(!line.contains(m_service.baseUrl().toLatin1()), line.constData());
    }
    QCOMPARE(curls, 1);
    test.end();
}

QTEST_GUILESS_MAIN(TestKeyTest)
#include "tst_keytest.moc"
