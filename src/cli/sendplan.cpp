#include "cli/sendplan.h"

#include "numbers/duplicates.h"
#include "numbers/phonenumbers.h"
#include "shell/fileutil.h"
#include "shell/resultrecord.h"
#include "tables/tableplan.h"

#include <cmath>

namespace quillmore::cli {

QList<qsizetype> SendPlan::rowsOf(qsizetype unit) const
{
    return table ? rowsOfUnit.at(unit) : QList<qsizetype>{unit};
}

qsizetype SendPlan::firstRowOf(qsizetype unit) const
{
    return table ? rowsOfUnit.at(unit).constFirst() : unit;
}

ResultRecord SendPlan::notSentRow(qsizetype row, const QString& number) const
{
    const bool noNumber = unitOfRow.at(row) == kNoNumber;
    ResultRecord record;
    record.number = number;
    record.cells =
        QStringList{number, {}, {}, {}, {}, noNumber ? kNoNumberStatus : kCannotBeValidStatus};
    record.status = RowStatus::NotSent;
    record.notSent = noNumber ? NotSentReason::NoNumber : NotSentReason::CannotBeValid;
    return record;
}

SendPlan planList(QStringList& numbers, const PhoneNumbers& phone, bool skipInvalid)
{
    const QList<NumberClass> classes = phone.classify(numbers);
    SendPlan plan;
    plan.duplicates = duplicateNumberIndices(numbers, classes).size();
    QStringList kept;
    kept.reserve(numbers.size());
    plan.units.reserve(numbers.size());
    plan.keys.reserve(numbers.size());
    plan.unitOfRow.reserve(numbers.size());
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        const QString& number = numbers.at(i);
        const NumberClass& cls = classes.at(i);
        const QString digits = digitsOnly(number);
        qsizetype unit = plan.units.size();
        if (digits.isEmpty()) {
            ++plan.withoutNumber;
            unit = SendPlan::kNoNumber;
        } else if (cls.verdict == NumberClass::Verdict::CannotBeValid) {
            ++plan.cannotBeValid;
            if (skipInvalid) {
                ++plan.skipped;
                continue;
            }
            if (number.size() > kMaxNumberEntryLength) {
                ++plan.tooLong;
                unit = SendPlan::kCannotBeValid;
            }
        }
        // A list's unit is its row: every line is looked up as it is typed.
        kept << number;
        plan.units << number;
        plan.keys << (cls.verdict == NumberClass::Verdict::Valid ? cls.e164 : digits);
        plan.unitOfRow << unit;
    }
    if (skipInvalid)
        numbers = std::move(kept);
    return plan;
}

SendPlan planTableRun(const TablePlan& table)
{
    SendPlan plan;
    plan.table = true;
    plan.unitOfRow.reserve(table.rows.size());
    for (const PlannedRow& row : table.rows) {
        switch (row.outcome) {
        case PlannedRow::Outcome::NoNumber:
            ++plan.withoutNumber;
            plan.unitOfRow << SendPlan::kNoNumber;
            break;
        case PlannedRow::Outcome::CannotBeValid:
            ++plan.cannotBeValid;
            plan.unitOfRow << SendPlan::kCannotBeValid;
            break;
        case PlannedRow::Outcome::Send:
            plan.unitOfRow << row.lookup;
            break;
        }
    }
    for (const PlannedLookup& lookup : table.lookups) {
        plan.units << lookup.e164;
        plan.rowsOfUnit << lookup.rows;
        plan.duplicates += lookup.rows.size() - 1;
    }
    plan.keys = plan.units;
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

QString dryRunReport(const SendPlan& plan, double pauseMin, double pauseMax, int parallel)
{
    qsizetype toSend = 0;
    if (plan.table) {
        toSend = plan.units.size();
    } else {
        for (const qsizetype unit : plan.unitOfRow)
            toSend += unit >= 0 ? 1 : 0;
    }
    // Each of the parallel requests pauses after its answer while numbers
    // remain, so the pauses in a row are one fewer than its share of numbers.
    const qsizetype perSlot = (toSend + parallel - 1) / std::max(parallel, 1);
    const qsizetype pauses = std::max<qsizetype>(perSlot - 1, 0);
    QString report;
    if (plan.table) {
        report += QStringLiteral("Rows: %1\n").arg(plan.rowCount());
        report += QStringLiteral("Numbers that would be sent: %1 (each distinct number once)\n")
                      .arg(toSend);
        report += QStringLiteral("Rows without a number (not sent): %1\n").arg(plan.withoutNumber);
        report += QStringLiteral("Rows that cannot be a valid number (not sent): %1\n")
                      .arg(plan.cannotBeValid);
        report += QStringLiteral("Rows whose number an earlier row has (sent once): %1\n")
                      .arg(plan.duplicates);
    } else {
        report += QStringLiteral("Numbers that would be sent: %1\n").arg(toSend);
        report += QStringLiteral("Lines without a number (not sent): %1\n").arg(plan.withoutNumber);
        report += QStringLiteral("Numbers that cannot be valid: %1%2\n")
                      .arg(plan.cannotBeValid)
                      .arg(plan.skipped > 0 ? QStringLiteral(" (skipped)") : QString());
        if (plan.tooLong > 0)
            report += QStringLiteral("Entries too long to be a number (not sent): %1\n")
                          .arg(plan.tooLong);
        report += QStringLiteral("Duplicate numbers: %1\n").arg(plan.duplicates);
    }
    report += QStringLiteral("Time the pauses would take: %1 to %2\n")
                  .arg(durationText(pauses * pauseMin), durationText(pauses * pauseMax));
    return report;
}

} // namespace quillmore::cli
