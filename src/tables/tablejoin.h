#pragma once

#include "numbers/phonenumbers.h"
#include "shell/dialogs.h"
#include "shell/resultrecord.h"
#include "tables/table.h"
#include "tables/tableplan.h"
#include "tables/tablewriter.h"

#include <QHash>
#include <QList>
#include <QStringList>

namespace quillmore {

// The phone-column window's question for a table: every header with the first
// row's cell under it, the phone and country columns the header names
// preselected (none where it names none or several).
ColumnQuestion columnQuestion(const Table& table);

// What loading a table puts into the number list, row by row: the number in
// E.164 form where the plan sends it, else the cell as written. A blank cell
// gives no entry: the list sends every entry it holds, and a blank one would
// be a request paid for nothing.
QStringList tableListEntries(const Table& table, const TablePlan& plan, qsizetype phoneColumn);

// The key a number list entry is joined to a table row by: its E.164 form
// when the library reads it as valid, else its digits.
QString joinKey(const QString& entry, const PhoneNumbers& numbers);

// The results list's rows by the number they were made for, so that a table
// written back gets each row's result whatever order, or sorting, the list
// has. Where a number has several rows, the latest answer counts, else the
// latest row: a failed retry must not hide what was already paid for.
class ResultsByNumber
{
public:
    ResultsByNumber(const QList<ResultRecord>& records, const PhoneNumbers& numbers);

    // Type, Name, Location, Provider and Status of the row for this E.164
    // number; "Not looked up" as its Status when the list has none.
    TableResultCells cellsFor(const QString& e164) const;
    qsizetype size() const { return m_byKey.size(); }

private:
    QList<ResultRecord> m_records; // shared with the caller's list, not copied
    QHash<QString, qsizetype> m_byKey;
};

} // namespace quillmore
