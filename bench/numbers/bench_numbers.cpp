// How long the phone-number library takes to judge a full number list
// (32,767 entries of mixed spellings, some that cannot be valid, some blank),
// and how long the window is held at most while a clean-up checks it one
// slice at a time. Prints the figures; checks nothing.
//   bench_numbers
#include "numbers/duplicates.h"
#include "numbers/numbercheck.h"
#include "numbers/phonenumbers.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quillmore;

namespace {

constexpr int kEntries = 32767;
constexpr int kRuns = 5;

// Mostly US numbers as people type them, some abroad, some that cannot be
// valid, a few blank lines.
QStringList benchEntries()
{
    QStringList entries;
    entries.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        const int line = 1000 + i % 9000;
        const int exchange = 200 + i / 9000 % 800;
        switch (i % 10) {
        case 0:
            entries << QStringLiteral("(413) %1-%2").arg(exchange).arg(line);
            break;
        case 1:
            entries << QStringLiteral("+1 334 %1 %2").arg(exchange).arg(line);
            break;
        case 2:
            entries << QStringLiteral("603%1%2").arg(exchange).arg(line);
            break;
        case 3:
            entries << QStringLiteral("1-760-%1-%2").arg(exchange).arg(line);
            break;
        case 4:
            entries << QStringLiteral("+44 20 7946 %1").arg(line);
            break;
        case 5:
            entries << QStringLiteral("+49 30 %1%2").arg(exchange).arg(line);
            break;
        case 6:
            entries << QStringLiteral("%1-%2").arg(exchange).arg(line); // too short
            break;
        case 7:
            entries << QStringLiteral("111-%1-%2").arg(exchange).arg(line); // no such area
            break;
        case 8:
            entries << QStringLiteral("503.235.%1").arg(line);
            break;
        default:
            entries << QString();
        }
    }
    return entries;
}

double msSince(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const PhoneNumbers numbers(QStringLiteral("US"));
    const QStringList entries = benchEntries();
    numbers.classify(QStringLiteral("413-592-3823")); // the library loads its metadata once

    std::vector<double> whole;
    std::vector<double> slices;
    QList<NumberClass> classes;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer clock;
        clock.start();
        classes.clear();
        classes.reserve(entries.size());
        // Slice by slice, as a clean-up's check takes them.
        for (qsizetype at = 0; at < entries.size(); at += NumberCheck::kSliceEntries) {
            QElapsedTimer slice;
            slice.start();
            classes += numbers.classify(entries.mid(at, NumberCheck::kSliceEntries));
            slices.push_back(msSince(slice));
        }
        whole.push_back(msSince(clock));
    }
    std::sort(whole.begin(), whole.end());
    std::sort(slices.begin(), slices.end());
    const auto invalid = std::count_if(classes.cbegin(), classes.cend(), [](const NumberClass& c) {
        return c.verdict == NumberClass::Verdict::CannotBeValid;
    });

    QElapsedTimer clock;
    clock.start();
    const QList<int> duplicates = duplicateNumberIndices(entries, classes);
    const double duplicatesMs = msSince(clock);

    std::printf("classify %d entries (%lld cannot be valid), %d runs:\n", kEntries,
                static_cast<long long>(invalid), kRuns);
    std::printf("  whole list: median %.1f ms, best %.1f ms, worst %.1f ms (goal < 300 ms)\n",
                whole[whole.size() / 2], whole.front(), whole.back());
    std::printf("  per entry: %.1f us\n", whole[whole.size() / 2] * 1000.0 / kEntries);
    std::printf("  one slice of %d entries (the window held at most this long): median %.1f ms, "
                "worst %.1f ms\n",
                NumberCheck::kSliceEntries, slices[slices.size() / 2], slices.back());
    std::printf("  duplicates over the verdicts: %.1f ms (%lld found)\n", duplicatesMs,
                static_cast<long long>(duplicates.size()));
    return 0;
}
