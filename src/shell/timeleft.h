#pragma once

#include <QString>
#include <QtGlobal>

namespace quillmore {

// The progress bar's tooltip during a lookup run, from what the run knows:
// `finished` numbers of `total` are done and `elapsedMs` have passed since the
// run began (pauses included).
//
// - i, the number now being looked up (or waited for during the pause before
//   it), is finished + 1, never more than total;
// - the average is elapsedMs ÷ finished; the estimate is the average times
//   the numbers not yet finished, total − finished, the current one included;
// - an estimate under one minute reads "Number i of n, less than a minute
//   left"; otherwise "Number i of n, about M min left", M the estimate in
//   minutes rounded to the nearest whole minute (half a minute rounds up);
// - before the first number has finished there is nothing to average:
//   "Number 1 of n";
// - with no numbers (total 0 or less) there is nothing to say: an empty text.
QString timeLeftText(int finished, int total, qint64 elapsedMs);

} // namespace quillmore
