#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {
class PhoneNumbers;
struct ResultRecord;
struct TablePlan;
} // namespace quillmore

namespace quillmore::cli {

// What becomes of each row of a run's output before anything is paid for,
// and the numbers sent for them ("units"). A list sends each of its lines
// that holds a digit; a table sends each distinct valid number once, its
// answer going to every row that holds it.
struct SendPlan
{
    // unitOfRow of a row that is not sent.
    static constexpr qsizetype kNoNumber = -1;
    static constexpr qsizetype kCannotBeValid = -2;

    bool table = false;
    QStringList units;                  // the numbers sent, in the order of their first row
    QStringList keys;                   // each unit's key in the history: E.164, else its digits
    QList<qsizetype> unitOfRow;         // a unit, or kNoNumber or kCannotBeValid
    QList<QList<qsizetype>> rowsOfUnit; // of a table; a list's unit is its row

    // For the dry run and standard error.
    qsizetype withoutNumber = 0;
    qsizetype cannotBeValid = 0; // of a list: sent unless skipped or too long
    qsizetype tooLong = 0;       // of a list: longer than any number, never sent
    qsizetype skipped = 0;       // of a list: taken out by --skip-invalid
    qsizetype duplicates = 0;    // rows whose number an earlier row has

    qsizetype rowCount() const { return unitOfRow.size(); }
    QList<qsizetype> rowsOf(qsizetype unit) const;
    // The first row that holds the unit: its answer is paid for there.
    qsizetype firstRowOf(qsizetype unit) const;
    // The row of one that is not sent, as the results list has it.
    ResultRecord notSentRow(qsizetype row, const QString& number) const;
};

// A number list: counts, and with `skipInvalid` takes the numbers that cannot
// be valid out of `numbers`, so that no request is sent for them. A line with
// no digit is no number at all: neither judged nor skipped, its row says so.
// One longer than any number is never sent: the library does not read it,
// and the service would refuse the request.
SendPlan planList(QStringList& numbers, const PhoneNumbers& phone, bool skipInvalid);

// A table, as planTable() judged its rows.
SendPlan planTableRun(const TablePlan& plan);

// The --dry-run report for standard output: what a run would send and how
// long its pauses would take, at least and at most.
QString dryRunReport(const SendPlan& plan, double pauseMin, double pauseMax, int parallel);

// "1 h 02 min", "4 min 05 s", "12 s".
QString durationText(double seconds);

} // namespace quillmore::cli
