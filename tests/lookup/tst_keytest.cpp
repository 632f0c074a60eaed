// The key window's key test end to end, against the local stand-in service.

#include "errorreport.h"
#include "fakeservice.h"
#include "keytest.h"
#include "lookupfakes.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

class TestKeyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void outcomes_data();
    void outcomes();
    void noServiceStillSaysWorking();
    void secondPressWhileRunningIsIgnored();
    void abortEndsTestQuietly();

private:
    bool testToEnd(KeyTest& test);
    LookupConfig config();

    QTemporaryDir m_work;
    FakeService m_service;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::shared_ptr<RecordingSleeper> m_sleeper;
    std::unique_ptr<FakeKeyView> m_view;
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
    m_sleeper = std::make_shared<RecordingSleeper>();
    m_view = std::make_unique<FakeKeyView>();
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
    test.buttonPressed();
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
    QTest::newRow("empty answer") << "empty"
                                  << "API Key is working.";
}

void TestKeyTest::outcomes()
{
    QFETCH(QString, key);
    QFETCH(QString, message);
    m_view->key = key;
    KeyTest test(*m_view, config());
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

void TestKeyTest::noServiceStillSaysWorking()
{
    LookupConfig cfg = config();
    cfg.serviceUrl = unusedLoopbackUrl();
    KeyTest test(*m_view, cfg);
    QVERIFY(testToEnd(test));
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{"API Key is working."});
    QCOMPARE(m_sleeper->seconds(), QList<int>(6, 1));
}

void TestKeyTest::secondPressWhileRunningIsIgnored()
{
    m_view->key = QStringLiteral("slow");
    KeyTest test(*m_view, config());
    QSignalSpy finished(&test, &KeyTest::finished);
    test.buttonPressed();
    QVERIFY(test.isRunning());
    QTRY_COMPARE(m_service.requests().size(), 1);
    test.buttonPressed();
    QVERIFY(finished.wait(30000));
    QCOMPARE(m_service.requests().size(), 1);
    QCOMPARE(m_view->dialogBoxes.messageTexts(), QStringList{"API Key is working."});
    QCOMPARE(finished.size(), 1);
}

void TestKeyTest::abortEndsTestQuietly()
{
    m_view->key = QStringLiteral("hang");
    KeyTest test(*m_view, config());
    QSignalSpy finished(&test, &KeyTest::finished);
    test.buttonPressed();
    QTRY_COMPARE_WITH_TIMEOUT(m_service.requests().size(), 1, 20000);
    const QString folder = test.stagingFolder();
    QVERIFY(QFileInfo::exists(folder));
    test.abort();
    QVERIFY(!test.isRunning());
    QCOMPARE(finished.size(), 1);
    QVERIFY(!QFileInfo::exists(folder));
    QTest::qWait(200);
    QVERIFY(m_view->dialogBoxes.messages.isEmpty());
    QCOMPARE(m_view->busy, QList<bool>{true});
}

QTEST_GUILESS_MAIN(TestKeyTest)
#include "tst_keytest.moc"
