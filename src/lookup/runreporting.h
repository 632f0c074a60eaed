#pragma once

#include "lookup/keytest.h"
#include "lookup/lookuprun.h"

namespace quillmore {

class Dialogs;

// What the user is shown of a lookup run and of a key test. The engine only
// tells what happened; these turn it into the program's boxes through
// `dialogs`: a failed step into its error report under the button's handler,
// a refusal into the service's own message, a run's end into "Done.", a key
// test's answer into its verdict. `handler` is the error report's path of the
// button's handler, which the window names. Connected for as long as the job
// object lives.
void showRunReports(LookupRun& run, Dialogs& dialogs, const QString& handler);
void showKeyTestReports(KeyTest& test, Dialogs& dialogs, const QString& handler);

} // namespace quillmore
