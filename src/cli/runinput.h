#pragma once

#include "cli/clioptions.h"
#include "tables/table.h"

#include <QStringList>

#include <optional>

namespace quillmore::cli {

// The input of a run: a number list (one number a line, from every file in
// order), or one contact table with its phone column, and its country
// column when it has one.
struct RunInput
{
    QStringList numbers; // of a list
    std::optional<Table> table;
    qsizetype phoneColumn = -1;
    qsizetype countryColumn = -1;
    // Said on standard error before the run: a choice the user may not expect.
    QStringList notices;

    bool isTable() const { return table.has_value(); }
};

// A run reads a table when a file's name says so (.csv, .tsv, .xlsx) or when
// --column names the phone column; then it takes exactly one input.
bool readsTable(const CliOptions& options);

// Reads the input the options name. Throws Failure with the sentence for
// standard error when an input cannot be read, a table is one of several
// inputs, or its phone column cannot be told (the headers are named).
RunInput readRunInput(const CliOptions& options);

} // namespace quillmore::cli
