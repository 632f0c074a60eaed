#pragma once

#include "numbers/phonenumbers.h"
#include "tables/table.h"
#include "tables/tableplan.h"

#include <QString>

#include <optional>

namespace quillmore {

class Dialogs;

// A table read from its file with the columns the user chose, and the plan
// of its rows.
struct ChosenTable
{
    Table table;
    qsizetype phoneColumn = -1;
    qsizetype countryColumn = -1;
    TablePlan plan;
};

// Reads a table file and asks for its phone column in the window "Choose the
// Phone Column"; each row's number is judged in its country column's region,
// else in that of `numbers`. Nothing when the user cancels. Throws Failure,
// with the reader's sentence naming the file, when the file is not a table
// that can be read.
std::optional<ChosenTable> openTable(Dialogs& dialogs, const QString& path,
                                     const PhoneNumbers& numbers);

// The filters of the file dialogs that take tables.
inline const QString kTableFileFilter =
    QStringLiteral("Tables (*.csv *.tsv *.xlsx)|*.csv;*.tsv;*.xlsx|All Files (*.*)|*.*|");
inline const QString kTableSaveFilter =
    QStringLiteral("CSV Files (*.csv)|*.csv|Excel Workbooks (*.xlsx)|*.xlsx|");

} // namespace quillmore
