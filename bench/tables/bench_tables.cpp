// How long a big contact table takes: a CSV of 100,000 rows and 6 columns, in
// which 30 % of the rows repeat a number of an earlier row, read, judged by
// the phone-number library and planned, then written back with results.
// Prints the figures and the peak memory; checks nothing.
//   bench_tables
#include "tables/csvtable.h"
#include "tables/tableplan.h"
#include "tables/tablewriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace quillmore;

namespace {

constexpr int kRows = 100'000;
constexpr int kRepeatPercent = 30;

QByteArray benchCsv()
{
    QByteArray csv = "Name,Phone,City,ZIP,Country,Note\r\n";
    int fresh = 0;
    for (int i = 0; i < kRows; ++i) {
        // Every row whose number mod 100 falls under the share repeats an
        // earlier row's number, spelt the same way.
        const bool repeat = i > 0 && i % 100 < kRepeatPercent;
        const int n = repeat ? (i * 7919) % fresh : fresh++;
        const int exchange = 200 + n / 9000 % 800;
        const int line = 1000 + n % 9000;
        csv += "\"Contact " + QByteArray::number(i) + ", Jr.\",(413) " +
               QByteArray::number(exchange) + "-" + QByteArray::number(line) + ",Springfield," +
               QByteArray::number(1000 + i % 9000) + ",US,\"said \"\"call after 5\"\"\"\r\n";
    }
    return csv;
}

double msSince(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    planTable(readCsv("Phone\n413-592-3823\n"), 0, -1, QStringLiteral("US")); // library metadata

    const QByteArray csv = benchCsv();
    const long before = peakKilobytes();

    QElapsedTimer clock;
    clock.start();
    const Table table = readCsv(csv);
    const double readMs = msSince(clock);
    clock.restart();
    const TablePlan plan = planTable(table, 1, 4, QStringLiteral("US"));
    const double planMs = msSince(clock);
    const long afterPlan = peakKilobytes();

    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("out.csv")));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    const TableResultCells results{"Mobile", "Jo Smith", "Springfield, MA", "Carrier", "Active"};
    clock.restart();
    writeCsvTable(file, table, plan, [&](qsizetype) { return results; });
    file.close();
    const double writeMs = msSince(clock);

    std::printf("contact table: %d rows, 6 columns, %.1f MB of CSV, %d %% repeated numbers\n",
                kRows, double(csv.size()) / 1e6, kRepeatPercent);
    std::printf("  read:              %8.1f ms\n", readMs);
    std::printf("  judge and plan:    %8.1f ms (%lld lookups for %lld rows)\n", planMs,
                static_cast<long long>(plan.lookups.size()),
                static_cast<long long>(plan.rows.size()));
    std::printf("  read+judge+plan:   %8.1f ms\n", readMs + planMs);
    std::printf("  write back:        %8.1f ms (%.1f MB)\n", writeMs, double(file.size()) / 1e6);
    std::printf("  peak memory (maxrss): %ld KB with the CSV made, %ld KB after planning, "
                "%ld KB at the end\n",
                before, afterPlan, peakKilobytes());
    return 0;
}
