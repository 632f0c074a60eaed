// Prints the lookup engine's figures: per-request overhead over a bare curl
// run, processor time during a pause, and the cost of reading one row's values.

#include "benchsupport.h"
#include "lookup/answer.h"
#include "lookup/resultrow.h"
#include "support/fakeservice.h"
#include "support/lookupfakes.h"

#include <QTemporaryDir>

#include <cstdio>

using namespace quillmore;
using namespace quillmore::bench;
using namespace quillmore::test;
using namespace std::chrono_literals;

namespace {

constexpr int kRequests = 50;
const QString kNumber = QStringLiteral("4135923823");
const QString kBigNumber = QStringLiteral("5550000004");
const QString kKey = QStringLiteral("bench");

// Time for all the value reads of one result row, in seconds.
double rowSeconds(const QString& answer, int repeats)
{
    QList<Failure> failures;
    QElapsedTimer clock;
    clock.start();
    qsizetype sink = 0;
    for (int i = 0; i < repeats; ++i)
        sink += resultRow(kNumber, answer, 200, &failures).cells.join(QString()).size();
    const double wall = double(clock.nsecsElapsed()) / 1e9 / repeats;
    if (sink < 0 || !failures.isEmpty())
        std::printf("  (value reads reported failures)\n");
    return wall;
}

// One request through the program's own path, and each answer it gives.
struct Requests
{
    QStringList failures; // what the engine told as failed
    CurlStage stage;
    std::unique_ptr<CurlRequest> request;
    std::function<void(const QString&)> onAnswer;

    explicit Requests(const LookupConfig& config)
    {
        stage.stage(config);
        request = std::make_unique<CurlRequest>(stage, config);
        QObject::connect(request.get(), &CurlRequest::failed,
                         [this](const Failure& failure) { failures << failure.description(); });
        QObject::connect(request.get(), &CurlRequest::answered, [this](const QString& answer) {
            // Handled from the event loop, outside the request's own emission,
            // by a copy, since a handler may put the next one in its place.
            QTimer::singleShot(0, [this, answer] {
                const auto handler = onAnswer;
                handler(answer);
            });
        });
    }
};

struct Overhead
{
    QList<double> requests, bares, ratios;
    QElapsedTimer clock;
    int failures = 0;
};

// Per-request overhead, interleaved with bare runs so that both see the same conditions.
bench::Step overheadStep(Requests& r, const LookupConfig& config, std::shared_ptr<Overhead> o)
{
    return [&r, &config, o](std::function<void()> done) {
        const BareCurl bare(r.stage);
        const QByteArray line = curlConfigLine(requestAddress(config.serviceUrl, kKey, kNumber));
        auto start = [&r, o] {
            o->clock.start();
            r.request->start(kNumber, kKey);
        };
        r.onAnswer = [&r, o, bare, line, start, done](const QString& answer) {
            const double requestSeconds = double(o->clock.nsecsElapsed()) / 1e9;
            if (answer.isEmpty() || answer == kCouldNotConnect || answer == kEmptyFile)
                ++o->failures;
            const double bareSeconds = bare.run(line);
            o->requests << requestSeconds;
            o->bares << bareSeconds;
            o->ratios << requestSeconds / bareSeconds;
            if (o->requests.size() < kRequests + 1) {
                start();
                return;
            }
            // The first pair warmed up the caches and the service.
            for (QList<double>* list : {&o->requests, &o->bares, &o->ratios})
                list->removeFirst();
            std::printf("CurlRequest vs bare curl, %d requests: median CurlRequest %.1f ms, "
                        "median bare %.1f ms, median ratio %.3f (target <= 1.10)%s\n",
                        kRequests, median(o->requests) * 1e3, median(o->bares) * 1e3,
                        median(o->ratios), o->failures ? " - some requests failed" : "");
            done();
        };
        start();
    };
}

// Processor time while a run's 6-second pause goes on: one number, a real pause after it.
bench::Step pauseStep(QStringList& failures, LookupConfig config)
{
    return [&failures, config](std::function<void()> done) mutable {
        config.pauseLength = nullptr;
        config.randomPauseSeconds = [] { return 6; };
        auto numbers = std::make_shared<NumberListModel>();
        numbers->append({kNumber});
        auto key = std::make_shared<KeyStore>(nullptr);
        key->setKey(kKey);
        auto run = std::make_shared<LookupRun>(*numbers, *key, config);
        QObject::connect(run.get(), &LookupRun::failed, [&failures](const Failure& failure) {
            failures << failure.description();
        });
        auto clock = std::make_shared<QElapsedTimer>();
        auto cpuBefore = std::make_shared<double>(0);
        QObject::connect(run.get(), &LookupRun::rowReady, [clock, cpuBefore] {
            clock->start();
            *cpuBefore = cpuSeconds();
        });
        QObject::connect(run.get(), &LookupRun::finished,
                         [run, numbers, key, clock, cpuBefore, done] {
                             const double cpu = cpuSeconds() - *cpuBefore;
                             const double wall = double(clock->nsecsElapsed()) / 1e9;
                             std::printf("6 s pause in a run: %.3f s wall, %.4f s processor, "
                                         "%.3f %% of one core (target < 1 %%)\n",
                                         wall, cpu, 100.0 * cpu / wall);
                             // The run is still inside its own signal: let it go later.
                             QTimer::singleShot(0, [run, numbers, key, done] {
                                 run->disconnect(); // and with it this handler's hold on the run
                                 done();
                             });
                         });
        run->start();
    };
}

// The value reads of one row on the typical answer and on the 10 MB one.
bench::Step valueReadStep(Requests& r)
{
    return [&r](std::function<void()> done) {
        r.onAnswer = [&r, done](const QString& typical) {
            std::printf("17 value reads on a %lld-character answer: %.2f us per row "
                        "(target < 50 us)\n",
                        qlonglong(typical.size()), rowSeconds(typical, 20000) * 1e6);
            r.onAnswer = [done](const QString& big) {
                std::printf("17 value reads on a %lld-character answer: %.3f ms per row "
                            "(target < 500 ms)\n",
                            qlonglong(big.size()), rowSeconds(big, 5) * 1e3);
                // The worst case for the search: every key missing, so each read scans it all.
                const QString nothing(10 * 1024 * 1024, QLatin1Char('x'));
                std::printf("17 value reads on %lld characters without any key: %.1f ms per "
                            "row\n",
                            qlonglong(nothing.size()), rowSeconds(nothing, 3) * 1e3);
                done();
            };
            r.request->start(kBigNumber, kKey);
        };
        r.request->start(kNumber, kKey);
    };
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

    auto pauses = std::make_shared<RecordingPauses>();
    const LookupConfig config =
        testLookupConfig(service.baseUrl(), service.caPem(), work.filePath("temp"), pauses);
    QDir().mkpath(config.tempFolder);
    Requests requests(config);
    QStringList runFailures;

    Steps steps({overheadStep(requests, config, std::make_shared<Overhead>()),
                 pauseStep(runFailures, config), valueReadStep(requests)});
    steps.next();
    const int status = app.exec();
    if (!requests.failures.isEmpty() || !runFailures.isEmpty())
        std::printf("(the engine reported failures: %s)\n",
                    qPrintable((requests.failures + runFailures).join(QStringLiteral(" | "))));
    requests.request.reset();
    requests.stage.remove();
    service.stop();
    return status;
}
