// The child process runner and the transfer tool's stage, with stand-in tools
// instead of curl so that nothing here needs a service.

#include "childrunner.h"
#include "curlstage.h"
#include "errorreport.h"
#include "lookupfakes.h"
#include "answer.h"
#include "request.h"
#include "resultrow.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>

using namespace quillmore;
using namespace quillmore::test;
using namespace std::chrono_literals;

namespace {

// A stand-in for curl: a shell script that finds its --output argument.
QByteArray scriptTool(const QByteArray& body)
{
    return QByteArrayLiteral("#!/bin/sh\n"
                             "out=\"\"; prev=\"\"\n"
                             "for a in \"$@\"; do [ \"$prev\" = \"--output\" ] && out=\"$a\"; "
                             "prev=\"$a\"; done\n") +
           body + '\n';
}

} // namespace

class TestCurlStage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void runnerCountsWhileChildRuns();
    void runnerReportsUnstartableProgram();
    void runnerEndsChildAfterTimeout();
    void runnerAbortEndsChildAtOnce();
    void stageIsPrivateAndRemovedWhole();
    void stageUsesTempVariableOrPlatformFolder();
    void readCurlRunsToolAsBuiltAndFlattensAnswer();
    void readCurlIgnoresFilesPlantedAtOldPaths();
    void readCurlEmptyAnswerAndUnreadableAnswer();
    void readCurlGivesUpAfterSixAttempts();
    void readCurlCountsTimedOutChildAsAttempt();

private:
    LookupConfig configWithTool(const QByteArray& tool);
    QString request(CurlStage& stage, const LookupConfig& config, const QString& key = "k");

    std::unique_ptr<QTemporaryDir> m_temp;
    std::shared_ptr<RecordingSleeper> m_sleeper;
    RecordingDialogs m_dialogs;
    RecordingProgress m_progress;
};

void TestCurlStage::init()
{
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    m_sleeper = std::make_shared<RecordingSleeper>();
    m_dialogs.messages.clear();
    m_progress.texts.clear();
}

void TestCurlStage::cleanup()
{
    m_temp.reset();
}

LookupConfig TestCurlStage::configWithTool(const QByteArray& tool)
{
    LookupConfig config = testLookupConfig(QStringLiteral("https://service.invalid"),
                                           QByteArrayLiteral("BUNDLE"), m_temp->path(), m_sleeper);
    config.curlBytes = [tool] { return tool; };
    return config;
}

QString TestCurlStage::request(CurlStage& stage, const LookupConfig& config, const QString& key)
{
    return QCoro::waitFor(readCurl(stage, QStringLiteral("(413) 592-3823"), key,
                                   CurlRequest{m_dialogs, m_progress, config, nullptr}));
}

void TestCurlStage::runnerCountsWhileChildRuns()
{
    const ChildRun run = QCoro::waitFor(
        runAndWait(QStringLiteral(R"(/bin/sh -c "sleep 0.6; exit 3")"), 0, m_progress));
    QCOMPARE(run.end, ChildRun::End::Exited);
    QCOMPARE(run.result, 3);
    QVERIFY(m_progress.texts.size() >= 3);
    // One text per pass, counting from 1 without gaps, then the resting text.
    for (int i = 0; i + 1 < m_progress.texts.size(); ++i)
        QCOMPARE(m_progress.texts.at(i), QStringLiteral("Please wait.. %1").arg(i + 1));
    QCOMPARE(m_progress.texts.constLast(), kProgressRestText);

    // Every call counts from 1 again.
    m_progress.texts.clear();
    QCOMPARE(QCoro::waitFor(runAndWait(QStringLiteral("/bin/true"), 9, m_progress)).result, 0);
    QCOMPARE(m_progress.texts.constFirst(), QStringLiteral("Please wait.. 1"));
    QCOMPARE(m_progress.texts.constLast(), kProgressRestText);
}

void TestCurlStage::runnerReportsUnstartableProgram()
{
    m_progress.setProgressText(QStringLiteral("Processing: 1"));
    m_progress.texts.clear();
    ChildRun run = QCoro::waitFor(
        runAndWait(QStringLiteral(R"("/nonexistent/curl.exe" -X POST x)"), 0, m_progress));
    QCOMPARE(run.end, ChildRun::End::NotStarted);
    QCOMPARE(run.result, kStartErrorBase + ENOENT);
    QVERIFY(run.result < 0);

    // A file that is there but cannot be run.
    const QString notExecutable = m_temp->filePath(QStringLiteral("plain.txt"));
    QFile file(notExecutable);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("text");
    file.close();
    run = QCoro::waitFor(runAndWait(notExecutable, -1, m_progress));
    QCOMPARE(run.end, ChildRun::End::NotStarted);
    QCOMPARE(run.result, kStartErrorBase + EACCES);

    run = QCoro::waitFor(runAndWait(QString(), 0, m_progress));
    QCOMPARE(run.end, ChildRun::End::NotStarted);
    QVERIFY(m_progress.texts.isEmpty());
    QCOMPARE(m_progress.progressText(), QStringLiteral("Processing: 1"));
}

void TestCurlStage::runnerEndsChildAfterTimeout()
{
    ChildOptions options;
    options.timeout = 300ms;
    const ChildRun run =
        QCoro::waitFor(runAndWait(QStringLiteral("/bin/sleep 30"), 0, m_progress, options));
    QCOMPARE(run.end, ChildRun::End::TimedOut);
    QCOMPARE(m_progress.texts.constLast(), kProgressRestText);
}

void TestCurlStage::runnerAbortEndsChildAtOnce()
{
    ChildOptions options;
    options.control = std::make_shared<RunControl>();
    const QString marker = m_temp->filePath(QStringLiteral("after-abort"));
    // The child would leave a mark if it outlived the abort.
    auto task = runAndWait(QStringLiteral(R"(/bin/sh -c "sleep 1; touch '%1'")").arg(marker), 0,
                           m_progress, options);
    QTRY_VERIFY(m_progress.texts.contains(QStringLiteral("Please wait.. 2")));
    const qsizetype textsBefore = m_progress.texts.size();
    options.control->abort();
    QVERIFY(task.isReady());
    QCOMPARE(QCoro::waitFor(task).end, ChildRun::End::Aborted);
    QTest::qWait(1300);
    QVERIFY(!QFileInfo::exists(marker));
    QCOMPARE(m_progress.texts.size(), textsBefore); // not touched after the abort
}

void TestCurlStage::stageIsPrivateAndRemovedWhole()
{
    const LookupConfig config = configWithTool(QByteArrayLiteral("TOOL"));
    CurlStage first;
    stageCurl(first, config);
    QVERIFY(first.ready);
    QCOMPARE(QFileInfo(first.folder).absolutePath(), QFileInfo(m_temp->path()).absoluteFilePath());
    QCOMPARE(QFileInfo(first.folder).permissions() & 0x0777,
             QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    QCOMPARE(QFileInfo(first.toolPath()).permissions() & 0x0777,
             QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    QCOMPARE(QFileInfo(first.bundlePath()).permissions() & 0x0777,
             QFileDevice::ReadUser | QFileDevice::WriteUser);
    QFile tool(first.toolPath());
    QVERIFY(tool.open(QIODevice::ReadOnly));
    QCOMPARE(tool.readAll(), QByteArrayLiteral("TOOL"));
    QCOMPARE(folderEntries(first.folder),
             (QStringList{QStringLiteral("curl-ca-bundle.crt"), QStringLiteral("curl.exe")}));

    // Two stages at once do not share a folder; removing one leaves the other.
    CurlStage second;
    stageCurl(second, config);
    QVERIFY(second.folder != first.folder);
    const QString firstFolder = first.folder;
    removeCurl(first);
    QVERIFY(!QFileInfo::exists(firstFolder));
    QVERIFY(QFileInfo::exists(second.toolPath()));
    QCOMPARE(first.folder, QString());
    removeCurl(first); // a second removal does nothing
    removeCurl(second);
    QVERIFY(folderEntries(m_temp->path()).isEmpty());

    // No temporary folder: a failure for the caller, and nothing usable.
    LookupConfig missing = config;
    missing.tempFolder = m_temp->filePath(QStringLiteral("no/such/folder"));
    CurlStage failed;
    QVERIFY_THROWS_EXCEPTION(Failure, stageCurl(failed, missing));
    QVERIFY(!failed.ready);
    QCOMPARE(failed.toolPath(), QString());
}

void TestCurlStage::stageUsesTempVariableOrPlatformFolder()
{
    LookupConfig config = configWithTool(QByteArrayLiteral("TOOL"));
    config.tempFolder.clear();
    const QByteArray savedTemp = qgetenv("TEMP");
    const auto restore = qScopeGuard([&] { qputenv("TEMP", savedTemp); });

    qputenv("TEMP", QFile::encodeName(m_temp->path()));
    QCOMPARE(temporaryFolder(config), m_temp->path());
    CurlStage stage;
    stageCurl(stage, config);
    QCOMPARE(QFileInfo(stage.folder).absolutePath(), QFileInfo(m_temp->path()).absoluteFilePath());
    removeCurl(stage);

    qputenv("TEMP", QByteArray());
    QCOMPARE(temporaryFolder(config), QDir::tempPath());
    qunsetenv("TEMP");
    QCOMPARE(temporaryFolder(config), QDir::tempPath());
}

void TestCurlStage::readCurlRunsToolAsBuiltAndFlattensAnswer()
{
    // The tool writes its arguments one per line, the bundle it was pointed to, and a TAB.
    const LookupConfig config =
        configWithTool(scriptTool("printf '%s\\r\\n' \"$@\" > \"$out\"\n"
                                  "printf 'bundle=%s\\tend\\n' \"$CURL_CA_BUNDLE\" >> \"$out\""));
    CurlStage stage;
    stageCurl(stage, config);
    const QString answer = request(stage, config, QStringLiteral("K1"));
    QCOMPARE(answer, QStringLiteral("-X POST https://service.invalid/3.1/phone?api_key=K1&phone="
                                    "4135923823 --output %1 bundle=%2end ")
                         .arg(stage.responsePath(), stage.bundlePath()));
    QVERIFY(m_dialogs.messages.isEmpty());
    QVERIFY(m_sleeper->requested.isEmpty());
    // The answer file is gone after reading.
    QVERIFY(!QFileInfo::exists(stage.responsePath()));
    const QString folder = stage.folder;
    removeCurl(stage);
    QVERIFY(!QFileInfo::exists(folder));
}

void TestCurlStage::readCurlIgnoresFilesPlantedAtOldPaths()
{
    // Someone else's files where the tool and the answer used to go.
    const QString victim = m_temp->filePath(QStringLiteral("victim.txt"));
    QFile victimFile(victim);
    QVERIFY(victimFile.open(QIODevice::WriteOnly));
    victimFile.write("precious");
    victimFile.close();
    QVERIFY(QFile::link(victim, m_temp->filePath(QStringLiteral("message.txt"))));
    const QString marker = m_temp->filePath(QStringLiteral("planted-tool-ran"));
    QFile planted(m_temp->filePath(QStringLiteral("curl.exe")));
    QVERIFY(planted.open(QIODevice::WriteOnly));
    planted.write(
        QStringLiteral("#!/bin/sh\ntouch '%1'\necho planted > message.txt\n").arg(marker).toUtf8());
    planted.close();
    QVERIFY(planted.setPermissions(planted.permissions() | QFileDevice::ExeOwner));

    const LookupConfig config = configWithTool(scriptTool("echo '{\"ok\":1}' > \"$out\""));
    CurlStage stage;
    stageCurl(stage, config);
    QCOMPARE(request(stage, config), QStringLiteral("{\"ok\":1} "));
    removeCurl(stage);

    QVERIFY(!QFileInfo::exists(marker));
    QVERIFY(victimFile.open(QIODevice::ReadOnly));
    QCOMPARE(victimFile.readAll(), QByteArrayLiteral("precious"));
    // Nothing of theirs was removed either.
    QCOMPARE(folderEntries(m_temp->path()), (QStringList{"curl.exe", "message.txt", "victim.txt"}));
}

void TestCurlStage::readCurlEmptyAnswerAndUnreadableAnswer()
{
    LookupConfig config = configWithTool(scriptTool(": > \"$out\""));
    CurlStage stage;
    stageCurl(stage, config);
    QCOMPARE(request(stage, config), QStringLiteral("empty file"));
    removeCurl(stage);

    // A folder where the answer file belongs cannot be read: reported, the request goes on.
    config = configWithTool(scriptTool("mkdir \"$out\""));
    stageCurl(stage, config);
    QCOMPARE(request(stage, config), QString());
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY(m_dialogs.messages.constFirst().text.startsWith(
        QStringLiteral("Path/File access error\r\nin Vantrel2021/08/31.CurlFunctions.ReadCurl "
                       "at line 1")));
    removeCurl(stage);
    QVERIFY(folderEntries(m_temp->path()).isEmpty());
}

void TestCurlStage::readCurlGivesUpAfterSixAttempts()
{
    // A tool that runs and writes nothing, as with no connection.
    const QString count = m_temp->filePath(QStringLiteral("starts"));
    LookupConfig config =
        configWithTool(scriptTool(QStringLiteral("echo x >> '%1'").arg(count).toUtf8()));
    CurlStage stage;
    stageCurl(stage, config);
    QCOMPARE(request(stage, config), QStringLiteral("Could not connect"));
    QCOMPARE(m_sleeper->requested, QList<std::chrono::milliseconds>(6, 1000ms));
    QFile starts(count);
    QVERIFY(starts.open(QIODevice::ReadOnly));
    QCOMPARE(starts.readAll().count('x'), 6);
    removeCurl(stage);

    // A stage that could not be made: the tool cannot even start, same result.
    m_sleeper->requested.clear();
    CurlStage unusable;
    QCOMPARE(request(unusable, config), QStringLiteral("Could not connect"));
    QCOMPARE(m_sleeper->requested.size(), 6);
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TestCurlStage::readCurlCountsTimedOutChildAsAttempt()
{
    LookupConfig config = configWithTool(scriptTool("printf '{\"part' > \"$out\"\nexec sleep 30"));
    config.childTimeout = 150ms;
    CurlStage stage;
    stageCurl(stage, config);
    QCOMPARE(request(stage, config), QStringLiteral("Could not connect"));
    QCOMPARE(m_sleeper->requested.size(), 6);
    QVERIFY(!QFileInfo::exists(stage.responsePath()));
    removeCurl(stage);
}

QTEST_GUILESS_MAIN(TestCurlStage)
#include "tst_curlstage.moc"
