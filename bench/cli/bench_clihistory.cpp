// The command line on a full-size lookup history: a run of 100,000 numbers
// that all have answers reused from a history of a million, timed from start
// to its last row, and what keeping one answer costs a lookup.
//   bench_clihistory [answers] [numbers] [folder]
// With a folder, the history is kept there and a later run with the same
// folder measures it again without writing it anew.
#include "../history/benchanswers.h"
#include "cli/runhistory.h"
#include "lookup/resultrow.h"
#include "numbers/phonenumbers.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quillmore;

namespace {

// Valid US numbers, so that each has its E.164 form as a real list's would.
QString digitsOf(qint64 i)
{
    return QString::number(4132000000LL + i);
}

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 total = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const qint64 numbers = argc > 2 ? QByteArray(argv[2]).toLongLong() : 100000;
    QTemporaryDir work;
    const QString kept = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    const QString data = kept.isEmpty() ? work.filePath(QStringLiteral("data")) : kept;
    const QString folder = data + QStringLiteral("/Halvren/Quillmore");
    const bool written = QFileInfo::exists(QDir(folder).filePath(HistoryStore::kFileName));
    const QDateTime now = QDateTime::currentDateTimeUtc();

    QElapsedTimer fill;
    fill.start();
    if (!written) {
        HistoryStore store(folder);
        store.open();
        // Desktop sessions: answers any run may reuse, none a run to resume.
        constexpr qint64 kBatch = 50000;
        for (qint64 from = 0; from < total; from += kBatch) {
            QList<StoredAnswer> rows;
            for (qint64 i = from; i < std::min(total, from + kBatch); ++i)
                rows.append(bench::benchAnswer(digitsOf(i), now));
            store.importSession(QStringLiteral("bench-%1").arg(from), kDesktopProgram, {},
                                now.addDays(-(from / kBatch) % 20), rows);
        }
    }
    if (written)
        std::printf("history in %s used as it is\n", qPrintable(folder));
    else
        std::printf("history of %lld answers written in %.1f s\n", total, msSince(fill) / 1000);

    // Every number of the input has an answer, spread over the history.
    const QString input = work.filePath(QStringLiteral("numbers.txt"));
    {
        QFile file(input);
        file.open(QIODevice::WriteOnly);
        for (qint64 i = 0; i < numbers; ++i)
            file.write(digitsOf(i * (total / numbers)).toLatin1() + '\n');
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("TEMP"), work.path());
    env.insert(QStringLiteral("QUILLMORE_API_KEY"), QStringLiteral("bench"));
    // Nothing should be sent; were it, it would find no service.
    env.insert(QStringLiteral("QUILLMORE_TEST_SERVICE_URL"), QStringLiteral("https://127.0.0.1:9"));
    QProcess cli;
    cli.setProcessEnvironment(env);
    QElapsedTimer run;
    run.start();
    cli.start(QStringLiteral(QUILLMORE_CLI_EXECUTABLE),
              {QStringLiteral("--quiet"), QStringLiteral("--reuse"), QStringLiteral("30"),
               QStringLiteral("--region"), QStringLiteral("US"), QStringLiteral("--output"),
               work.filePath(QStringLiteral("out.csv")), input});
    cli.waitForFinished(-1);
    const double runMs = msSince(run);
    std::printf("quillmore-cli --reuse 30 over %lld numbers: %.1f s, exit %d; it said: %s", numbers,
                runMs / 1000, cli.exitCode(), cli.readAllStandardError().constData());
    std::printf("output: %lld bytes\n", QFileInfo(work.filePath(QStringLiteral("out.csv"))).size());

    // What a lookup pays to keep its answer: its E.164 form and one commit.
    const PhoneNumbers phone(QStringLiteral("US"));
    cli::RunHistory history(phone, folder);
    history.open(90);
    const qint64 session = history.startRun(QStringLiteral("bench"));
    constexpr int kKeeps = 2000;
    std::vector<double> each;
    for (int i = 0; i < kKeeps; ++i) {
        const QString typed = digitsOf(total + i);
        const StoredAnswer fresh = bench::benchAnswer(typed, {});
        const ResultRecord row = resultRow(typed, fresh.answer, 200);
        QElapsedTimer t;
        t.start();
        history.keep(session, typed, row, 200);
        each.push_back(double(t.nsecsElapsed()) / 1e3);
    }
    std::sort(each.begin(), each.end());
    std::printf("keeping one answer: median %.0f us, 99th percentile %.0f us, worst %.0f us\n",
                each[kKeeps / 2], each[kKeeps * 99 / 100], each.back());
    return 0;
}
