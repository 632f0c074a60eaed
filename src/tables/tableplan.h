#pragma once

#include "shell/resultrecord.h"
#include "tables/table.h"

#include <QHash>
#include <QList>
#include <QString>

namespace quillmore {

// What becomes of one row of a table.
struct PlannedRow
{
    enum class Outcome : quint8 {
        NoNumber,      // an empty cell, or one without digits: nothing is sent
        CannotBeValid, // the phone-number library's verdict: nothing is paid for it
        Send,          // looked up as `lookup` of the plan
    };
    Outcome outcome = Outcome::NoNumber;
    qsizetype lookup = -1; // index into TablePlan::lookups when sent
};

// One number to look up, and the rows (0-based, in input order) that hold it.
struct PlannedLookup
{
    QString e164; // "+14135923823"
    QList<qsizetype> rows;
};

// The rows' outcomes and the distinct numbers to send, each once, in the
// order of their first row: the answer to a lookup is every one of its rows'.
struct TablePlan
{
    QList<PlannedRow> rows;
    QList<PlannedLookup> lookups;

    // The row's number as sent, empty when it is not sent.
    QString e164(qsizetype row) const;
    // The Status a row that is not sent gets; empty for a sent row, whose
    // status is its lookup's.
    QString status(qsizetype row) const;
};

// The Status texts of rows that are not sent, kNoNumberStatus and
// kCannotBeValidStatus, are the results list's own (shell/resultrecord.h).

// Judges each row's phone cell with the phone-number library and plans the
// lookups. A row's region is its country cell when `countryColumn` is one and
// the cell is not blank (what the cell may hold: PhoneNumbers::regionOfCountry;
// a cell that names no country the library knows lets only a number written
// with its country code through), else `defaultRegion` (none or an unknown one
// is the US, as for the number list). A row too short to have the column has
// an empty cell there.
TablePlan planTable(const Table& table, qsizetype phoneColumn, qsizetype countryColumn,
                    const QString& defaultRegion);

} // namespace quillmore
