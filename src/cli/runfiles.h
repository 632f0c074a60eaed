#pragma once

#include <QString>

namespace quillmore::cli {

// The journal of a run whose input hashes to `hash`: "<hash>.journal" in the
// folder "runs" of the program's data folder.
QString defaultJournalPath(const QString& hash);

} // namespace quillmore::cli
