#pragma once

#include "runcontrol.h"

#include <QProcessEnvironment>
#include <QString>

#include <chrono>
#include <memory>

#include <qcoro/qcorotask.h>

namespace quillmore {

class ProgressSink;

// Added to the system's error number when a program cannot be started.
inline constexpr int kStartErrorBase = -2147221504;

// 0 to 6 stay; anything else becomes 6 (minimised, not activated). A child here
// has no window of its own, so the style is only kept for the callers' sake.
int normalizeWindowStyle(int windowStyle);

struct ChildOptions
{
    QProcessEnvironment environment;      // empty: the program's own
    std::chrono::milliseconds timeout{0}; // 0: wait as long as it runs
    std::shared_ptr<RunControl> control;  // lets a closing window end the child
};

struct ChildRun
{
    enum class End { Exited, NotStarted, TimedOut, Aborted };
    End end = End::Exited;
    // The child's exit code; for a program that could not be started the system's
    // error number plus kStartErrorBase, a negative number.
    int result = 0;
};

// Starts the command line (split with Windows-style quoting, no shell in
// between) and waits for the child without blocking the event loop. While it
// runs the progress text counts "Please wait.. 1", "Please wait.. 2", ... every
// 100 ms; afterwards it is "Progress Bar". A program that cannot be started
// leaves the text alone. A child still running after the timeout is killed.
// After an abort the progress is not touched any more.
QCoro::Task<ChildRun> runAndWait(const QString& commandLine, int windowStyle,
                                 ProgressSink& progress, const ChildOptions& options = {});

} // namespace quillmore
