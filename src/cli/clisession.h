#pragma once

#include "cli/clioptions.h"
#include "lookup/lookupconfig.h"

namespace quillmore::cli {

inline constexpr int kExitUsage = 1;

// One invocation after its command line is read: the input, the key, the
// journal and the output are made ready before anything is sent (a fault
// there ends with status 1), then the run goes on the event loop until it
// ends. Gives the exit status.
int runSession(const CliOptions& options, const LookupConfig& config);

} // namespace quillmore::cli
