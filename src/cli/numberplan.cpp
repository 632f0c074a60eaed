#include "cli/numberplan.h"

#include "numbers/duplicates.h"
#include "numbers/phonenumbers.h"
#include "shell/fileutil.h"

#include <cmath>

namespace quillmore::cli {

NumberPlan planNumbers(QStringList& numbers, const PhoneNumbers& phone, bool skipInvalid)
{
    const QList<NumberClass> classes = phone.classify(numbers);
    NumberPlan plan;
    plan.duplicates = duplicateNumberIndices(numbers, classes).size();
    QStringList kept;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (digitsOnly(numbers.at(i)).isEmpty()) {
            ++plan.withoutNumber;
            kept << numbers.at(i);
            continue;
        }
        const bool invalid = classes.at(i).verdict == NumberClass::Verdict::CannotBeValid;
        plan.cannotBeValid += invalid ? 1 : 0;
        if (invalid && skipInvalid)
            ++plan.skipped;
        else
            kept << numbers.at(i);
    }
    if (skipInvalid)
        numbers = std::move(kept);
    return plan;
}

QString durationText(double seconds)
{
    const qint64 total = qint64(std::llround(seconds));
    const qint64 h = total / 3600;
    const qint64 m = (total % 3600) / 60;
    const qint64 s = total % 60;
    const auto two = [](qint64 v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    if (h > 0)
        return QStringLiteral("%1 h %2 min").arg(h).arg(two(m));
    if (m > 0)
        return QStringLiteral("%1 min %2 s").arg(m).arg(two(s));
    return QStringLiteral("%1 s").arg(s);
}

QString dryRunReport(const NumberPlan& plan, qsizetype toSend, double pauseMin, double pauseMax,
                     int parallel)
{
    // Each of the parallel requests pauses after its answer while numbers
    // remain, so the pauses in a row are one fewer than its share of numbers.
    const qsizetype perSlot = (toSend + parallel - 1) / std::max(parallel, 1);
    const qsizetype pauses = std::max<qsizetype>(perSlot - 1, 0);
    QString report;
    report += QStringLiteral("Numbers that would be sent: %1\n").arg(toSend);
    report += QStringLiteral("Lines without a number (not sent): %1\n").arg(plan.withoutNumber);
    report += QStringLiteral("Numbers that cannot be valid: %1%2\n")
                  .arg(plan.cannotBeValid)
                  .arg(plan.skipped > 0 ? QStringLiteral(" (skipped)") : QString());
    report += QStringLiteral("Duplicate numbers: %1\n").arg(plan.duplicates);
    report += QStringLiteral("Time the pauses would take: %1 to %2\n")
                  .arg(durationText(pauses * pauseMin), durationText(pauses * pauseMax));
    return report;
}

} // namespace quillmore::cli
