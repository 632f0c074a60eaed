#pragma once

#include <QString>
#include <QStringList>

namespace quillmore {
class PhoneNumbers;
}

namespace quillmore::cli {

// What the phone-number library makes of the input before anything is paid
// for: numbers that cannot be valid, and the same number spelt twice.
struct NumberPlan
{
    qsizetype cannotBeValid = 0;
    qsizetype duplicates = 0;
    qsizetype skipped = 0;       // numbers that cannot be valid, taken out of the input
    qsizetype withoutNumber = 0; // lines with no digit: never sent, never skipped
};

// Counts; with `skipInvalid`, also takes the numbers that cannot be valid out
// of `numbers`, so that no request is sent for them. A line with no digit is
// no number at all: it is neither judged nor skipped, and its row says so.
NumberPlan planNumbers(QStringList& numbers, const PhoneNumbers& phone, bool skipInvalid);

// The --dry-run report for standard output: what a run of `toSend` numbers
// would send and how long its pauses would take, at least and at most.
QString dryRunReport(const NumberPlan& plan, qsizetype toSend, double pauseMin, double pauseMax,
                     int parallel);

// "1 h 02 min", "4 min 05 s", "12 s".
QString durationText(double seconds);

} // namespace quillmore::cli
