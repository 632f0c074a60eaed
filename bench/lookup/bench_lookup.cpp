// Prints the lookup engine's figures: per-request overhead over a bare curl
// run, processor time during a pause, and the cost of reading one row's values.

#include "curlstage.h"
#include "fakeservice.h"
#include "jsvalue.h"
#include "lookupfakes.h"
#include "runcontrol.h"
#include "answer.h"
#include "request.h"
#include "resultrow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include <sys/resource.h>

using namespace quillmore;
using namespace quillmore::test;
using namespace std::chrono_literals;

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString machine()
{
    return QStringLiteral("%1, %2 cores, %3")
        .arg(QSysInfo::prettyProductName())
        .arg(QThread::idealThreadCount())
        .arg(QSysInfo::currentCpuArchitecture());
}

// The same child the request starts, without anything of the program around it.
double bareCurlSeconds(const CurlStage& stage, const QString& commandLine)
{
    const QStringList words = QProcess::splitCommand(commandLine);
    QProcess curl;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CURL_CA_BUNDLE"), stage.bundlePath());
    curl.setProcessEnvironment(env);
    curl.setStandardOutputFile(QProcess::nullDevice());
    curl.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    curl.start(words.first(), words.mid(1));
    curl.waitForFinished(30000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    QFile::remove(stage.responsePath());
    return seconds;
}

// Time for all 17 value reads of one result row, in seconds.
double rowSeconds(const QString& answer, int repeats)
{
    RecordingDialogs dialogs;
    QElapsedTimer clock;
    clock.start();
    qsizetype sink = 0;
    for (int i = 0; i < repeats; ++i)
        sink += resultRow(dialogs, answer).join(QString()).size();
    const double seconds = clock.nsecsElapsed() / 1e9 / repeats;
    if (sink < 0 || !dialogs.messages.isEmpty())
        std::printf("  (value reads reported failures)\n");
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    FakeService service;
    if (!work.isValid() || !service.start(work.path())) {
        std::printf("the stand-in service did not start\n");
        return 1;
    }
    std::printf("machine: %s\n", qPrintable(machine()));

    auto sleeper = std::make_shared<RecordingSleeper>();
    const LookupConfig config =
        testLookupConfig(service.baseUrl(), service.caPem(), work.filePath("temp"), sleeper);
    QDir().mkpath(config.tempFolder);
    RecordingDialogs dialogs;
    RecordingProgress progress;
    CurlStage stage;
    stageCurl(stage, config);
    const CurlRequest request{dialogs, progress, config, nullptr};
    const QString number = QStringLiteral("4135923823");
    const QString key = QStringLiteral("bench");
    const QString commandLine = curlCommandLine(
        stage.toolPath(), requestAddress(config.serviceUrl, key, number), stage.responsePath());

    // 1. Per-request overhead, interleaved so that both see the same conditions.
    QCoro::waitFor(readCurl(stage, number, key, request)); // warm-up
    bareCurlSeconds(stage, commandLine);
    QList<double> ratios, requests, bares;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer clock;
        clock.start();
        const QString answer = QCoro::waitFor(readCurl(stage, number, key, request));
        const double requestSeconds = clock.nsecsElapsed() / 1e9;
        const double bare = bareCurlSeconds(stage, commandLine);
        if (answer.isEmpty() || answer == kCouldNotConnect)
            std::printf("  request %d failed: %s\n", i, qPrintable(answer));
        requests << requestSeconds;
        bares << bare;
        ratios << requestSeconds / bare;
    }
    std::printf("ReadCurl vs bare curl, 50 requests: median ReadCurl %.1f ms, median bare "
                "%.1f ms, median ratio %.3f (target <= 1.10)\n",
                median(requests) * 1e3, median(bares) * 1e3, median(ratios));

    // 2. Processor time while a 6-second pause runs on the event loop.
    {
        RunControl control;
        const std::shared_ptr<Sleeper> timer = std::make_shared<TimerSleeper>();
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = cpuSeconds();
        QCoro::waitFor(control.sleep(timer, 6s));
        const double cpu = cpuSeconds() - cpuBefore;
        const double wall = clock.nsecsElapsed() / 1e9;
        std::printf("6 s pause: %.3f s wall, %.4f s processor, %.3f %% of one core "
                    "(target < 1 %%)\n",
                    wall, cpu, 100.0 * cpu / wall);
    }

    // 3. The 17 value reads of one row.
    const QString typical = QCoro::waitFor(readCurl(stage, number, key, request));
    std::printf("17 value reads on a %lld-character answer: %.2f us per row (target < 50 us)\n",
                qlonglong(typical.size()), rowSeconds(typical, 20000) * 1e6);
    const QString big = QCoro::waitFor(readCurl(stage, QStringLiteral("5550000004"), key, request));
    std::printf("17 value reads on a %lld-character answer: %.1f ms per row (target < 500 ms)\n",
                qlonglong(big.size()), rowSeconds(big, 5) * 1e3);
    // The worst case for the search: every key missing, so each read scans it all.
    const QString nothing(10 * 1024 * 1024, QLatin1Char('x'));
    std::printf("17 value reads on %lld characters without any key: %.1f ms per row\n",
                qlonglong(nothing.size()), rowSeconds(nothing, 3) * 1e3);

    removeCurl(stage);
    service.stop();
    return 0;
}
