// The child process runner and the transfer tool's stage, with stand-in tools
// instead of curl so that nothing here needs a service.

#include "lookup/answer.h"
#include "lookup/childrunner.h"
#include "lookup/curlstage.h"
#include "lookup/request.h"
#include "lookup/resultrow.h"
#include "shell/errorreport.h"
#include "support/lookupfakes.h"
#include "support/tmpfsmount.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>

using namespace quillmore;
using namespace quillmore::test;
using namespace std::chrono_literals;

namespace {

// A stand-in for curl: a shell script that finds its --output argument,
// reads its config line from standard input into $config and reports the
// HTTP status 200, as curl's --write-out does.
QByteArray scriptTool(const QByteArray& body)
{
    return QByteArrayLiteral("#!/bin/sh\n"
                             "out=\"\"; prev=\"\"\n"
                             "for a in \"$@\"; do [ \"$prev\" = \"--output\" ] && out=\"$a\"; "
                             "prev=\"$a\"; done\n"
                             "config=$(cat)\n"
                             "printf 200\n") +
           body + '\n';
}

// Runs one child to its end.
ChildRun runChild(ChildRunner& runner, RecordingProgress& progress, const QString& program,
                  const QStringList& arguments, std::chrono::milliseconds timeout = {})
{
    QObject::connect(&runner, &ChildRunner::progressText, &runner,
                     [&progress](const QString& t) { progress.setProgressText(t); });
    QSignalSpy ended(&runner, &ChildRunner::ended);
    runner.start(program, arguments, {}, {}, timeout);
    if (!ended.wait(20000))
        return {ChildRun::End::Exited, -12345, {}};
    runner.disconnect(&runner);
    return ended.constFirst().constFirst().value<ChildRun>();
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
    void runnerStopEndsChildAtOnce();
    void stageIsPrivateAndRemovedWhole();
    void stageUsesTempVariableOrPlatformFolder();
    void stageFallsBackToCacheFolder_data();
    void stageFallsBackToCacheFolder();
    void readCurlRunsToolAsBuiltAndFlattensAnswer();
    void readCurlIgnoresFilesPlantedAtOldPaths();
    void readCurlEmptyAnswerAndUnreadableAnswer();
    void readCurlGivesUpAfterSixAttempts();
    void readCurlCountsTimedOutChildAsAttempt();
    void readCurlTriesOnceMoreAfterAPossibleAnswer_data();
    void readCurlTriesOnceMoreAfterAPossibleAnswer();
    void readCurlEndedGivesNoAnswer();
    void noexecTemporaryFolderFallsBack();

private:
    LookupConfig configWithTool(const QByteArray& tool);
    QString request(CurlStage& stage, const LookupConfig& config, const QString& key = "k");
    // Each failure the request tells becomes its report, as a window shows it.
    void reportFailuresOf(CurlRequest& request);

    std::unique_ptr<QTemporaryDir> m_temp;
    std::shared_ptr<RecordingPauses> m_pauses;
    RecordingDialogs m_dialogs;
    RecordingProgress m_progress;
};

void TestCurlStage::init()
{
    qRegisterMetaType<ChildRun>();
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    m_pauses = std::make_shared<RecordingPauses>();
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
                                           QByteArrayLiteral("BUNDLE"), m_temp->path(), m_pauses);
    config.curlBytes = [tool] { return tool; };
    return config;
}

void TestCurlStage::reportFailuresOf(CurlRequest& request)
{
    QObject::connect(&request, &CurlRequest::failed, &request,
                     [this](const Failure& failure, Step step) {
                         reportFailure(m_dialogs, QStringLiteral("in Caller "), step, failure);
                     });
}

QString TestCurlStage::request(CurlStage& stage, const LookupConfig& config, const QString& key)
{
    CurlRequest request(stage, config);
    reportFailuresOf(request);
    QObject::connect(&request, &CurlRequest::progressText, &request,
                     [this](const QString& t) { m_progress.setProgressText(t); });
    QSignalSpy answered(&request, &CurlRequest::answered);
    request.start(QStringLiteral("(413) 592-3823"), key);
    if (!answered.wait(30000))
        return QStringLiteral("<no answer>");
    return answered.constFirst().constFirst().toString();
}

void TestCurlStage::runnerCountsWhileChildRuns()
{
    ChildRunner runner;
    const ChildRun run = runChild(runner, m_progress, QStringLiteral("/bin/sh"),
                                  {QStringLiteral("-c"), QStringLiteral("sleep 0.6; exit 3")});
    QCOMPARE(run.end, ChildRun::End::Exited);
    QCOMPARE(run.result, 3);
    QVERIFY(m_progress.texts.size() >= 3);
    // One text per pass, counting from 1 without gaps, then the resting text.
    for (int i = 0; i + 1 < m_progress.texts.size(); ++i)
        QCOMPARE(m_progress.texts.at(i), QStringLiteral("Please wait.. %1").arg(i + 1));
    QCOMPARE(m_progress.texts.constLast(), kProgressRestText);

    // Every start counts from 1 again, and a child that ends at once still shows one pass.
    m_progress.texts.clear();
    QCOMPARE(runChild(runner, m_progress, QStringLiteral("/bin/true"), {}).result, 0);
    QCOMPARE(m_progress.texts, (QStringList{QStringLiteral("Please wait.. 1"), kProgressRestText}));
}

void TestCurlStage::runnerReportsUnstartableProgram()
{
    m_progress.setProgressText(QStringLiteral("Processing: 1"));
    m_progress.texts.clear();
    ChildRunner runner;
    ChildRun run = runChild(runner, m_progress, QStringLiteral("/nonexistent/curl.exe"),
                            {QStringLiteral("-X"), QStringLiteral("POST")});
    QCOMPARE(run.end, ChildRun::End::NotStarted);
    QCOMPARE(run.result, kStartErrorBase + ENOENT);
    QVERIFY(run.result < 0);
    QVERIFY(!run.notExecutable());

    // A file that is there but cannot be run.
    const QString notExecutable = m_temp->filePath(QStringLiteral("plain.txt"));
    QFile file(notExecutable);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("text");
    file.close();
    run = runChild(runner, m_progress, notExecutable, {});
    QCOMPARE(run.end, ChildRun::End::NotStarted);
    QCOMPARE(run.result, kStartErrorBase + EACCES);
    QVERIFY(run.notExecutable());

    run = runChild(runner, m_progress, QString(), {});
    QCOMPARE(run.end, ChildRun::End::NotStarted);
    QVERIFY(m_progress.texts.isEmpty());
    QCOMPARE(m_progress.progressText(), QStringLiteral("Processing: 1"));
}

void TestCurlStage::runnerEndsChildAfterTimeout()
{
    ChildRunner runner;
    const ChildRun run =
        runChild(runner, m_progress, QStringLiteral("/bin/sleep"), {QStringLiteral("30")}, 300ms);
    QCOMPARE(run.end, ChildRun::End::TimedOut);
    QCOMPARE(m_progress.texts.constLast(), kProgressRestText);
}

void TestCurlStage::runnerStopEndsChildAtOnce()
{
    const QString marker = m_temp->filePath(QStringLiteral("after-stop"));
    auto runner = std::make_unique<ChildRunner>();
    QSignalSpy ended(runner.get(), &ChildRunner::ended);
    QObject::connect(runner.get(), &ChildRunner::progressText, runner.get(),
                     [this](const QString& t) { m_progress.setProgressText(t); });
    // The child would leave a mark if it outlived the stop.
    runner->start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("sleep 1; touch '%1'").arg(marker)}, {}, {},
                  {});
    QTRY_VERIFY(m_progress.texts.contains(QStringLiteral("Please wait.. 2")));
    const qsizetype textsBefore = m_progress.texts.size();
    runner->stop();
    QVERIFY(!runner->isRunning());
    QTest::qWait(1300);
    QVERIFY(!QFileInfo::exists(marker));
    QCOMPARE(m_progress.texts.size(), textsBefore); // nothing told after the stop
    QVERIFY(ended.isEmpty());

    // Destroying a runner mid-child ends the child as well.
    runner->start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("sleep 1; touch '%1'").arg(marker)}, {}, {},
                  {});
    QTRY_VERIFY(runner->isRunning());
    runner.reset();
    QTest::qWait(1300);
    QVERIFY(!QFileInfo::exists(marker));
}

void TestCurlStage::stageIsPrivateAndRemovedWhole()
{
    const LookupConfig config = configWithTool(QByteArrayLiteral("TOOL"));
    CurlStage first;
    first.stage(config);
    QCOMPARE(QFileInfo(first.folder()).absolutePath(),
             QFileInfo(m_temp->path()).absoluteFilePath());
    QCOMPARE(QFileInfo(first.folder()).permissions() & 0x0777,
             QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    QCOMPARE(QFileInfo(first.toolPath()).permissions() & 0x0777,
             QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    QCOMPARE(QFileInfo(first.bundlePath()).permissions() & 0x0777,
             QFileDevice::ReadUser | QFileDevice::WriteUser);
    QFile tool(first.toolPath());
    QVERIFY(tool.open(QIODevice::ReadOnly));
    QCOMPARE(tool.readAll(), QByteArrayLiteral("TOOL"));
    QVERIFY(folderEntries(first.folder()).contains(QStringLiteral("curl-ca-bundle.crt")));
    QVERIFY(folderEntries(first.folder()).contains(QStringLiteral("curl.exe")));

    // Two stages at once do not share a folder; removing one leaves the other.
    {
        CurlStage second;
        second.stage(config);
        QVERIFY(second.folder() != first.folder());
        const QString firstFolder = first.folder();
        first.remove();
        QVERIFY(!QFileInfo::exists(firstFolder));
        QVERIFY(QFileInfo::exists(second.toolPath()));
        QCOMPARE(first.folder(), QString());
        first.remove(); // a second removal does nothing
    }
    // ...and the stage that went out of scope took its folder with it.
    QVERIFY(folderEntries(m_temp->path()).isEmpty());
}

void TestCurlStage::stageFallsBackToCacheFolder_data()
{
    QTest::addColumn<bool>("full"); // a full temporary folder, else a missing one
    QTest::addColumn<bool>("cacheWorks");
    QTest::newRow("missing temporary folder") << false << true;
    QTest::newRow("full temporary folder") << true << true;
    QTest::newRow("no folder works") << false << false;
}

void TestCurlStage::stageFallsBackToCacheFolder()
{
    QFETCH(bool, full);
    QFETCH(bool, cacheWorks);
    LookupConfig config = configWithTool(scriptTool("echo '{\"ran\":1}' > \"$out\""));
    config.tempFolder = m_temp->filePath(QStringLiteral("temp"));
    config.cacheFolder = m_temp->filePath(QStringLiteral("cache"));
    std::unique_ptr<TmpfsMount> disk;
    if (full) {
        disk = std::make_unique<TmpfsMount>(config.tempFolder, QStringLiteral("size=64k"));
        if (!disk->isMounted())
            QSKIP(kTmpfsSkipReason);
        QVERIFY(disk->fill());
    }
    if (!cacheWorks)
        config.cacheFolder = QStringLiteral("/dev/null/cache");

    CurlStage stage;
    if (!cacheWorks) {
        // The temporary folder's failure is the one told; nothing is left anywhere.
        try {
            stage.stage(config);
            QFAIL("staging succeeded with no folder to stage in");
        } catch (const Failure& failure) {
            QCOMPARE(failure.description(), QStringLiteral("Path not found"));
        }
        QCOMPARE(stage.toolPath(), QString());
        QCOMPARE(folderEntries(m_temp->path()), QStringList());
        return;
    }
    stage.stage(config);
    QVERIFY(stage.folder().startsWith(config.cacheFolder + QLatin1Char('/')));
    QCOMPARE(request(stage, config), QStringLiteral("{\"ran\":1} "));
    stage.remove();
    QCOMPARE(folderEntries(config.cacheFolder), QStringList());
    // What the full folder got of the stage went too.
    if (full)
        QCOMPARE(folderEntries(config.tempFolder), QStringList{"filler"});
    QVERIFY(m_dialogs.messages.isEmpty());
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
    stage.stage(config);
    QCOMPARE(QFileInfo(stage.folder()).absolutePath(),
             QFileInfo(m_temp->path()).absoluteFilePath());
    stage.remove();

    qputenv("TEMP", QByteArray());
    QCOMPARE(temporaryFolder(config), QDir::tempPath());
    qunsetenv("TEMP");
    QCOMPARE(temporaryFolder(config), QDir::tempPath());
}

void TestCurlStage::readCurlRunsToolAsBuiltAndFlattensAnswer()
{
    // The tool writes its arguments one per line, its config line, the bundle
    // it was pointed to, and a TAB.
    const LookupConfig config =
        configWithTool(scriptTool("printf '%s\\r\\n' \"$@\" > \"$out\"\n"
                                  "printf '%s\\n' \"$config\" >> \"$out\"\n"
                                  "printf 'bundle=%s\\tend\\n' \"$CURL_CA_BUNDLE\" >> \"$out\""));
    CurlStage stage;
    stage.stage(config);
    const QString answer = request(stage, config, QStringLiteral("K1"));
    QCOMPARE(answer, QStringLiteral("-X POST -K - --output %1 --write-out %{http_code} "
                                    "--connect-timeout 15 url = "
                                    "\"https://service.invalid/3.1/phone?api_key=K1&phone="
                                    "4135923823\" bundle=%2end ")
                         .arg(stage.responsePath(), stage.bundlePath()));
    QVERIFY(m_dialogs.messages.isEmpty());
    QVERIFY(m_pauses->requested.isEmpty());
    // The answer file is gone after reading.
    QVERIFY(!QFileInfo::exists(stage.responsePath()));
    const QString folder = stage.folder();
    stage.remove();
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
    stage.stage(config);
    QCOMPARE(request(stage, config), QStringLiteral("{\"ok\":1} "));
    stage.remove();

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
    stage.stage(config);
    QCOMPARE(request(stage, config), QStringLiteral("empty file"));
    stage.remove();

    // A folder where the answer file belongs cannot be read: reported, the request goes on.
    config = configWithTool(scriptTool("mkdir \"$out\""));
    stage.stage(config);
    QCOMPARE(request(stage, config), QString());
    QCOMPARE(m_dialogs.messages.size(), 1);
    const QString report = m_dialogs.messages.constFirst().text;
    QVERIFY(report.startsWith(QStringLiteral(
        "Path/File access error\r\nin Vantrel2021/08/31.CurlFunctions.ReadCurl at line ")));
    QVERIFY(report.at(report.indexOf(QStringLiteral("at line ")) + 8).isDigit());
    stage.remove();
    QVERIFY(folderEntries(m_temp->path()).isEmpty());
}

void TestCurlStage::readCurlGivesUpAfterSixAttempts()
{
    // A tool that writes nothing and fails as curl does with no connection.
    const QString count = m_temp->filePath(QStringLiteral("starts"));
    LookupConfig config =
        configWithTool(scriptTool(QStringLiteral("echo x >> '%1'; exit 7").arg(count).toUtf8()));
    CurlStage stage;
    stage.stage(config);
    QCOMPARE(request(stage, config), QStringLiteral("Could not connect"));
    QCOMPARE(m_pauses->requested, QList<std::chrono::milliseconds>(6, 1000ms));
    QFile starts(count);
    QVERIFY(starts.open(QIODevice::ReadOnly));
    QCOMPARE(starts.readAll().count('x'), 6);
    stage.remove();

    // A stage that could not be made: the tool cannot even start, same result.
    m_pauses->requested.clear();
    CurlStage unusable;
    QCOMPARE(request(unusable, config), QStringLiteral("Could not connect"));
    QCOMPARE(m_pauses->requested.size(), 6);
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TestCurlStage::readCurlCountsTimedOutChildAsAttempt()
{
    LookupConfig config = configWithTool(scriptTool("printf '{\"part' > \"$out\"\nexec sleep 30"));
    config.childTimeout = 150ms;
    CurlStage stage;
    stage.stage(config);
    QCOMPARE(request(stage, config), QStringLiteral("Could not connect"));
    // It may have been answered by then: one more try only.
    QCOMPARE(m_pauses->requested.size(), 2);
    QVERIFY(!QFileInfo::exists(stage.responsePath()));
    stage.remove();
}

void TestCurlStage::readCurlTriesOnceMoreAfterAPossibleAnswer_data()
{
    // The tool's body, with $n the number of the try (1, 2, ...).
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("tries");
    QTest::newRow("cut off") << QByteArray("printf '{\"par' > \"$out\"; exit 18") << 2;
    QTest::newRow("status but no file") << QByteArray("exit 0") << 2;
    // Killed by signal 7, the number of curl's "could not connect".
    QTest::newRow("crashed") << QByteArray("kill -BUS $$") << 2;
    QTest::newRow("host not found") << QByteArray("exit 6") << 6;
    // Tries that never reached the service do not use up the one more.
    QTest::newRow("refused twice, then cut off")
        << QByteArray("[ \"$n\" -le 2 ] && exit 7; exit 56") << 4;
    // After a possible answer, one more try, whatever it brings.
    QTest::newRow("cut off, then refused")
        << QByteArray("[ \"$n\" -eq 1 ] && exit 18; exit 7") << 2;
    QTest::newRow("cut off, then answered")
        << QByteArray("[ \"$n\" -eq 1 ] && exit 18; echo '{\"ok\":1}' > \"$out\"") << 2;
}

void TestCurlStage::readCurlTriesOnceMoreAfterAPossibleAnswer()
{
    QFETCH(QByteArray, body);
    QFETCH(int, tries);
    const QByteArray count = QFile::encodeName(m_temp->filePath(QStringLiteral("starts")));
    const LookupConfig config = configWithTool(
        scriptTool("echo x >> '" + count + "'; n=$(wc -l < '" + count + "')\n" + body));
    CurlStage stage;
    stage.stage(config);
    const QString answer = request(stage, config);
    QFile starts(QFile::decodeName(count));
    QVERIFY(starts.open(QIODevice::ReadOnly));
    QCOMPARE(int(starts.readAll().count('x')), tries);
    QCOMPARE(answer, body.contains("ok") ? QStringLiteral("{\"ok\":1} ")
                                         : QStringLiteral("Could not connect"));
    stage.remove();
}

void TestCurlStage::readCurlEndedGivesNoAnswer()
{
    // Each try leaves no file, so the request waits between tries; ended
    // during a wait, it neither tries again nor answers.
    const QString count = m_temp->filePath(QStringLiteral("starts"));
    LookupConfig config =
        configWithTool(scriptTool(QStringLiteral("echo x >> '%1'").arg(count).toUtf8()));
    config.pauseLength = [](std::chrono::milliseconds) { return std::chrono::milliseconds(200); };
    CurlStage stage;
    stage.stage(config);
    CurlRequest request(stage, config);
    reportFailuresOf(request);
    QSignalSpy answered(&request, &CurlRequest::answered);
    request.start(QStringLiteral("1"), QStringLiteral("k"));
    QTRY_VERIFY(QFileInfo(count).size() > 0);
    request.end();
    const qint64 startsAtEnd = QFileInfo(count).size();
    QTest::qWait(600);
    QCOMPARE(QFileInfo(count).size(), startsAtEnd);
    QVERIFY(answered.isEmpty());
}

void TestCurlStage::noexecTemporaryFolderFallsBack()
{
    // A temporary folder where programs may not run: only a mount can make one.
    const QString mountPoint = m_temp->filePath(QStringLiteral("noexec"));
    const TmpfsMount noexec(mountPoint, QStringLiteral("noexec,size=8m"));
    if (!noexec.isMounted())
        QSKIP(kTmpfsSkipReason);

    LookupConfig config = configWithTool(scriptTool("echo '{\"ran\":1}' > \"$out\""));
    config.tempFolder = mountPoint;
    config.cacheFolder = m_temp->filePath(QStringLiteral("cache"));
    {
        CurlStage stage;
        stage.stage(config);
        QCOMPARE(request(stage, config), QStringLiteral("{\"ran\":1} "));
        // Moved once, and the next request goes the new way at once.
        QVERIFY(stage.folder().startsWith(config.cacheFolder));
        QCOMPARE(request(stage, config), QStringLiteral("{\"ran\":1} "));
    }
    QVERIFY(folderEntries(mountPoint).isEmpty());
    QVERIFY(folderEntries(config.cacheFolder).isEmpty());

    // The cache folder forbids it too: the curl the program was built with.
    config.cacheFolder = mountPoint + QStringLiteral("/cache");
    const QString built = m_temp->filePath(QStringLiteral("built-curl"));
    QFile builtTool(built);
    QVERIFY(builtTool.open(QIODevice::WriteOnly));
    builtTool.write(scriptTool("echo '{\"built\":1}' > \"$out\""));
    builtTool.close();
    QVERIFY(builtTool.setPermissions(builtTool.permissions() | QFileDevice::ExeOwner));
    config.builtCurl = built;
    {
        CurlStage stage;
        stage.stage(config);
        QCOMPARE(request(stage, config), QStringLiteral("{\"built\":1} "));
    }
    // No way left at all: "Could not connect", after the usual six tries.
    config.builtCurl = m_temp->filePath(QStringLiteral("no-such-curl"));
    m_pauses->requested.clear();
    {
        CurlStage stage;
        stage.stage(config);
        QCOMPARE(request(stage, config), QStringLiteral("Could not connect"));
        QCOMPARE(m_pauses->requested.size(), 6);
    }
    QVERIFY(m_dialogs.messages.isEmpty());
}

QTEST_GUILESS_MAIN(TestCurlStage)
#include "tst_curlstage.moc"
