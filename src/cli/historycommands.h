#pragma once

#include "cli/clioptions.h"

#include <QByteArray>

namespace quillmore {
struct StoredAnswer;
}

namespace quillmore::cli {

// The commands that read or change the lookup history and send nothing.
// Each gives the exit status; its messages go to standard error. A history
// that cannot be used fails the command (status 1): it is all it is for.

// --history: every stored answer and failure (from --since on) to standard
// output, oldest first.
int writeHistory(const CliOptions& options);
// --forget: every answer stored under each number's E.164 form or digits.
int forgetNumbers(const CliOptions& options);

// The columns of --history's CSV, and one answer as a CSV row or a JSON line.
QByteArray historyCsvHeader();
QByteArray historyCsvRow(const StoredAnswer& answer);
QByteArray historyJsonLine(const StoredAnswer& answer);

} // namespace quillmore::cli
