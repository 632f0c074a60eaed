// What the lookup run and the key test tell, in order: the whole sequence of
// their signals for a normal job, a refusal, failures that let the job go on,
// and a job ended by a listener from under the box it shows for a failure.

#include "lookup/keytest.h"
#include "lookup/lookuprun.h"
#include "support/fakeservice.h"
#include "support/lookupfakes.h"

#include <QMetaEnum>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

namespace {

QString nameOf(AnswerClass cls)
{
    switch (cls) {
    case AnswerClass::QuotaExceeded:
        return QStringLiteral("QuotaExceeded");
    case AnswerClass::ApiWithdrawn:
        return QStringLiteral("ApiWithdrawn");
    case AnswerClass::KeyRejected:
        return QStringLiteral("KeyRejected");
    case AnswerClass::Answer:
        break;
    }
    return QStringLiteral("Answer");
}

QString nameOf(Step step)
{
    switch (step) {
    case Step::RunStaging:
        return QStringLiteral("RunStaging");
    case Step::RunProgress:
        return QStringLiteral("RunProgress");
    case Step::RunPause:
        return QStringLiteral("RunPause");
    case Step::KeyTestStaging:
        return QStringLiteral("KeyTestStaging");
    default:
        return QStringLiteral("step %1").arg(int(step));
    }
}

template <typename E> QString enumName(E value)
{
    return QString::fromLatin1(QMetaEnum::fromType<E>().valueToKey(int(value)));
}

// Every signal of interest as one line; the request's ticking progress text
// is left out, its count depends on the machine.
class SignalLog
{
public:
    QStringList lines;
    // Runs after a line is logged, as a listener acting on that signal would.
    std::function<void(const QString&)> onLine;

    void add(const QString& line)
    {
        lines << line;
        if (onLine)
            onLine(line);
    }

    void watch(LookupRun& run)
    {
        QObject::connect(&run, &LookupRun::stateChanged,
                         [this](LookupRun::State s) { add("state " + enumName(s)); });
        QObject::connect(&run, &LookupRun::busyChanged,
                         [this](bool b) { add(b ? "busy" : "idle"); });
        QObject::connect(&run, &LookupRun::progressValue,
                         [this](double v) { add("progress " + QString::number(v)); });
        QObject::connect(&run, &LookupRun::answerReceived, [this] { add("answer"); });
        QObject::connect(&run, &LookupRun::rowReady, [this](const ResultRecord& r) {
            add("row " + r.number + " " + r.cells.value(5));
        });
        QObject::connect(&run, &LookupRun::refusalReceived,
                         [this](const QString& number, const QString& answer, int status) {
                             add("refusal " + number + " " + QString::number(status) + " " +
                                 answer.left(8));
                         });
        QObject::connect(&run, &LookupRun::serviceRefused,
                         [this](AnswerClass cls) { add("refused " + nameOf(cls)); });
        QObject::connect(&run, &LookupRun::failed, [this](const Failure& f, Step step) {
            add("failed " + nameOf(step) + ": " + f.description());
        });
        QObject::connect(&run, &LookupRun::finished,
                         [this](LookupRun::Outcome o) { add("finished " + enumName(o)); });
    }

    void watch(KeyTest& test)
    {
        QObject::connect(&test, &KeyTest::busyChanged,
                         [this](bool b) { add(b ? "busy" : "idle"); });
        QObject::connect(&test, &KeyTest::answered, [this](const QString& answer, int status) {
            add("answered " + QString::number(status) + " " + answer.left(7));
        });
        QObject::connect(&test, &KeyTest::failed, [this](const Failure& f, Step step) {
            add("failed " + nameOf(step) + ": " + f.description());
        });
        QObject::connect(&test, &KeyTest::finished,
                         [this](KeyTest::Outcome o) { add("finished " + enumName(o)); });
    }
};

const QStringList kEnding = {"state StopPending", "idle", "progress 0", "state Idle"};

} // namespace

class TestRunSignals : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runTellsInOrder_data();
    void runTellsInOrder();
    void keyTestTellsInOrder_data();
    void keyTestTellsInOrder();

private:
    LookupConfig config(const QString& temp, bool canStage);

    QTemporaryDir m_work;
    FakeService m_service;
};

void TestRunSignals::initTestCase()
{
    QVERIFY(m_work.isValid());
    QVERIFY(m_service.start(m_work.path()));
}

LookupConfig TestRunSignals::config(const QString& temp, bool canStage)
{
    LookupConfig cfg = testLookupConfig(m_service.baseUrl(), m_service.caPem(), temp,
                                        std::make_shared<RecordingPauses>());
    if (!canStage) {
        cfg.tempFolder = temp + QStringLiteral("/missing");
        cfg.cacheFolder = QStringLiteral("/dev/null/cache");
    }
    return cfg;
}

void TestRunSignals::runTellsInOrder_data()
{
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("canStage");
    // What happens on the way: "" nothing, "empty the list" after the first
    // row, "end" on the first failure (a window closing under its box),
    // "pause fails": no pause can be set.
    QTest::addColumn<QString>("listener");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("two numbers") << QStringList{"4135923823", "3342228605"} << "good" << true << ""
                                 << QStringList{"state Running", "busy",
                                                "progress 50",   "busy",
                                                "answer",        "row 4135923823 Active",
                                                "progress 100",  "busy",
                                                "answer",        "row 3342228605 Inactive"} +
                                        kEnding + QStringList{"finished Completed"};
    QTest::newRow("refused key: no row, no pause, no more requests")
        << QStringList{"4135923823", "3342228605"} << "invalid" << true << ""
        << QStringList{"state Running",
                       "busy",
                       "progress 50",
                       "busy",
                       "answer",
                       "idle",
                       "refusal 4135923823 403 {\"error\"",
                       "refused KeyRejected"} +
               kEnding + QStringList{"finished Refused"};
    QTest::newRow("no folder to stage in: told, and every number still gets its row")
        << QStringList{"4135923823"} << "good" << false << ""
        << QStringList{"state Running",
                       "busy",
                       "failed RunStaging: Path not found",
                       "progress 100",
                       "busy",
                       "answer",
                       "row 4135923823 Could not connect"} +
               kEnding + QStringList{"finished Completed"};
    QTest::newRow("list emptied meanwhile: told, and the run goes on")
        << QStringList{"4135923823", "3342228605"} << "good" << true << "empty the list"
        << QStringList{"state Running",
                       "busy",
                       "progress 50",
                       "busy",
                       "answer",
                       "row 4135923823 Active",
                       "failed RunProgress: Division by zero",
                       "busy",
                       "answer",
                       "row  Inactive"} +
               kEnding + QStringList{"finished Completed"};
    QTest::newRow("a pause that cannot be set: told, and the next number follows")
        << QStringList{"4135923823", "3342228605"} << "good" << true << "pause fails"
        << QStringList{"state Running",
                       "busy",
                       "progress 50",
                       "busy",
                       "answer",
                       "row 4135923823 Active",
                       "failed RunPause: Overflow",
                       "progress 100",
                       "busy",
                       "answer",
                       "row 3342228605 Inactive",
                       "failed RunPause: Overflow"} +
               kEnding + QStringList{"finished Completed"};
    QTest::newRow("ended under the failure's box: nothing after")
        << QStringList{"4135923823"} << "good" << false << "end"
        << QStringList{"state Running", "busy", "failed RunStaging: Path not found", "state Idle",
                       "finished Ended"};
}

void TestRunSignals::runTellsInOrder()
{
    QFETCH(QStringList, numbers);
    QFETCH(QString, key);
    QFETCH(bool, canStage);
    QFETCH(QString, listener);
    QFETCH(QStringList, expected);
    QTemporaryDir temp;
    NumberListModel list;
    list.append(numbers);
    KeyStore keys(nullptr);
    keys.setKey(key);
    LookupConfig cfg = config(temp.path(), canStage);
    if (listener == "pause fails")
        cfg.pauseLength = [](std::chrono::milliseconds) -> std::chrono::milliseconds {
            throw Failure(QStringLiteral("Overflow"));
        };
    LookupRun run(list, keys, cfg);
    SignalLog log;
    log.watch(run);
    log.onLine = [&](const QString& line) {
        if (listener == "empty the list" && line.startsWith("row "))
            list.clear();
        if (listener == "end" && line.startsWith("failed "))
            run.end();
    };
    run.start();
    QTRY_VERIFY_WITH_TIMEOUT(log.lines.last().startsWith("finished "), 30000);
    QTest::qWait(50); // an ended run must not wake up
    QCOMPARE(log.lines, expected);
    QCOMPARE(run.phase(), LookupRun::Phase::Idle);
    QCOMPARE(folderEntries(temp.path()), QStringList());
}

void TestRunSignals::keyTestTellsInOrder_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("canStage");
    QTest::addColumn<bool>("endOnFailure");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("working key") << "good" << true << false
                                 << QStringList{"busy", "idle", "answered 200 {\"id\":\"",
                                                "finished Answered"};
    QTest::newRow("no folder to stage in")
        << "good" << false << false
        << QStringList{"busy", "failed KeyTestStaging: Path not found", "idle",
                       "finished NotStaged"};
    QTest::newRow("ended under the failure's box")
        << "good" << false << true
        << QStringList{"busy", "failed KeyTestStaging: Path not found", "finished Ended"};
}

void TestRunSignals::keyTestTellsInOrder()
{
    QFETCH(QString, key);
    QFETCH(bool, canStage);
    QFETCH(bool, endOnFailure);
    QFETCH(QStringList, expected);
    QTemporaryDir temp;
    KeyStore keys(nullptr);
    keys.setKey(key);
    KeyTest test(keys, config(temp.path(), canStage));
    SignalLog log;
    log.watch(test);
    log.onLine = [&](const QString& line) {
        if (endOnFailure && line.startsWith("failed "))
            test.end();
    };
    test.start();
    QTRY_VERIFY_WITH_TIMEOUT(log.lines.last().startsWith("finished "), 30000);
    QTest::qWait(50);
    QCOMPARE(log.lines, expected);
    QVERIFY(!test.isRunning());
    QCOMPARE(folderEntries(temp.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestRunSignals)
#include "tst_runsignals.moc"
