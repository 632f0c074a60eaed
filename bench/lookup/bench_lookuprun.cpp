// Prints the time of a whole run of many numbers, pauses set to nothing,
// against the time of as many bare curl runs of the same requests, and the
// program's memory at the end with every answer kept as the main window
// keeps it. The count is the first argument (5000 when none is given):
//   bench_lookuprun [count]

#include "benchsupport.h"
#include "lookup/answer.h"
#include "support/fakeservice.h"
#include "support/lookupfakes.h"

#include <QTemporaryDir>

#include <cstdio>

using namespace quillmore;
using namespace quillmore::bench;
using namespace quillmore::test;
using namespace std::chrono_literals;

namespace {

const QString kKey = QStringLiteral("bench");

// Ordinary numbers, none of them one the stand-in service treats specially.
QStringList benchNumbers(int count)
{
    QStringList numbers;
    numbers.reserve(count);
    for (int i = 0; i < count; ++i)
        numbers << QString::number(4136000000LL + i);
    return numbers;
}

// Processor seconds so far of this process, of its ended children (the
// curl runs) and of the stand-in service.
struct Cpu
{
    double self = 0, children = 0, service = 0;

    static Cpu now(qint64 servicePid)
    {
        return {cpuSeconds(RUSAGE_SELF), cpuSeconds(RUSAGE_CHILDREN),
                processCpuSeconds(servicePid)};
    }
    Cpu operator-(const Cpu& o) const
    {
        return {self - o.self, children - o.children, service - o.service};
    }
};

struct Side
{
    double wall = 0;
    Cpu cpu;
    int failures = 0;

    void print(const char* name, int count) const
    {
        std::printf("  %-22s %8.2f s wall, %6.2f ms per request; processor per request: "
                    "this process %.2f ms, curl %.2f ms, service %.2f ms%s\n",
                    name, wall, wall / count * 1e3, cpu.self / count * 1e3,
                    cpu.children / count * 1e3, cpu.service / count * 1e3,
                    failures ? qPrintable(QStringLiteral(" (%1 failed)").arg(failures)) : "");
    }
};

// Bare runs of the numbers from `first` on, `count` of them; adds to `side`.
void bareRuns(const BareCurl& bare, const LookupConfig& config, const QStringList& numbers,
              int first, int count, qint64 servicePid, Side& side)
{
    QList<QByteArray> lines;
    for (int i = first; i < first + count; ++i)
        lines << curlConfigLine(requestAddress(config.serviceUrl, kKey, numbers[i]));
    const Cpu before = Cpu::now(servicePid);
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray& line : lines) {
        bool answered = false;
        bare.run(line, &answered);
        side.failures += answered ? 0 : 1;
    }
    side.wall += double(clock.nsecsElapsed()) / 1e9;
    const Cpu used = Cpu::now(servicePid) - before;
    side.cpu = {side.cpu.self + used.self, side.cpu.children + used.children,
                side.cpu.service + used.service};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(2, QByteArray(argv[1]).toInt()) : 5000;
    QTemporaryDir work;
    FakeService service;
    if (!work.isValid() || !service.start(work.path())) {
        std::printf("the stand-in service did not start\n");
        return 1;
    }
    const qint64 servicePid = childWithCommand("server.py");
    std::printf("machine: %s\n", qPrintable(machine()));
    std::printf("a run of %d numbers, pauses of no length, against the local stand-in service\n",
                count);

    LookupConfig config =
        testLookupConfig(service.baseUrl(), service.caPem(), work.filePath("temp"), nullptr);
    config.pauseLength = [](std::chrono::milliseconds) { return 0ms; };
    QDir().mkpath(config.tempFolder);
    const QStringList numbers = benchNumbers(count);

    // The bare runs go through a stage of their own, made the same way.
    CurlStage bareStage;
    bareStage.stage(config);
    const BareCurl bare(bareStage);
    bare.run(curlConfigLine(requestAddress(config.serviceUrl, kKey, numbers[0]))); // warm-up
    Side bareSide;
    Side runSide;
    // Half the bare runs before the run and half after, so that a change in
    // the machine's load meanwhile weighs on both sides alike.
    bareRuns(bare, config, numbers, 0, count / 2, servicePid, bareSide);

    // What the main window keeps of a run: the console's text and every row.
    QStringList failures; // what the run told as failed
    NumberListModel list;
    list.append(numbers);
    KeyStore key(nullptr);
    key.setKey(kKey);
    QString console;
    QList<ResultRecord> records;
    qsizetype answerCharacters = 0;
    int failedAnswers = 0;
    LookupRun run(list, key, config);
    LookupRun::Outcome outcome = LookupRun::Outcome::Ended;
    QObject::connect(&run, &LookupRun::failed,
                     [&](const Failure& failure) { failures << failure.description(); });
    QObject::connect(&run, &LookupRun::answerReceived, [&](const QString& answer) {
        console += answer;
        console += QStringLiteral("\r\n");
        answerCharacters += answer.size();
        if (answer == kCouldNotConnect || answer == kEmptyFile)
            ++failedAnswers;
    });
    QObject::connect(&run, &LookupRun::rowReady,
                     [&](const ResultRecord& record) { records << record; });

    Cpu runBefore;
    QElapsedTimer clock;
    QObject::connect(&run, &LookupRun::finished, [&](LookupRun::Outcome ended) {
        outcome = ended;
        runSide.wall = double(clock.nsecsElapsed()) / 1e9;
        runSide.cpu = Cpu::now(servicePid) - runBefore;
        runSide.failures = failedAnswers;
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    QTimer::singleShot(0, [&] {
        runBefore = Cpu::now(servicePid);
        clock.start();
        run.start();
    });
    app.exec();

    bareRuns(bare, config, numbers, count / 2, count - count / 2, servicePid, bareSide);
    bareStage.remove();

    std::printf("  whole run %.2f s for %d numbers; %d bare runs %.2f s; ratio %.3f "
                "(target <= 1.05)\n",
                runSide.wall, count, count, bareSide.wall, runSide.wall / bareSide.wall);
    runSide.print("run:", count);
    bareSide.print("bare curl:", count);
    std::printf("  kept: %lld rows, console %lld characters (answers %.0f characters on "
                "average)\n",
                qlonglong(records.size()), qlonglong(console.size()),
                double(answerCharacters) / std::max(1, count));
    std::printf("  resident memory at the end: VmRSS %.1f MB, peak VmHWM %.1f MB "
                "(target <= 150 MB)\n",
                statusMegabytes("VmRSS"), statusMegabytes("VmHWM"));
    if (outcome != LookupRun::Outcome::Completed || !failures.isEmpty())
        std::printf("  the run did not complete cleanly: %s\n",
                    qPrintable(failures.join(QStringLiteral(" | "))));
    service.stop();
    return 0;
}
