#include "windows/mainwindowcontrols.h"

namespace quillmore {

const QList<ControlEntry>& mainWindowControls()
{
    using C = MainControl;
    using K = ControlKind;
    static const char* const listTip = "Double-click item to remove it. Move | line to right and "
                                       "out of window to reveal full names.";
    // clang-format off
    static const QList<ControlEntry> table = {
        // role, parent, kind, object name, caption, place (left, top, width, height),
        // then what a screen reader says where the caption does not say it: the
        // lists, the console and the bar have none, and two pairs of buttons
        // share theirs; the lists' tooltip.
        {C::KeyButton, kInWindow, K::PushButton, "PushButton9",
         QStringLiteral("Getting Started / Enter Your API Key"), {120, 120, 7800, 405}},
        {C::NumberList, kInWindow, K::ReportList, "ListView1",
         {}, {120, 615, 7800, 1590}, "Phone Numbers", nullptr, listTip},
        {C::AddNumbers, kInWindow, K::PushButton, "PushButton6",
         QStringLiteral("Add Phone Number or Numbers"), {120, 2300, 3840, 405}},
        {C::LoadNumbers, kInWindow, K::PushButton, "PushButton3",
         QStringLiteral("Load Numbers From Text File"), {4080, 2300, 3840, 405}},
        {C::ClearNumbers, kInWindow, K::PushButton, "PushButton1",
         QStringLiteral("Clear List"), {120, 2810, 3840, 405},
         nullptr, "Empties the number list"},
        {C::SampleNumbers, kInWindow, K::PushButton, "PushButton8",
         QStringLiteral("Load Sample/Example Numbers"), {4080, 2810, 3840, 405}},
        {C::Start, kInWindow, K::PushButton, "PushButton17",
         kStartCaption, {120, 3320, 7800, 405}},
        {C::ConsoleFrame, kInWindow, K::Frame, "Frame1",
         QStringLiteral("Console View"), {120, 3760, 7800, 1815}},
        {C::Console, C::ConsoleFrame, K::TextBox, "Text1",
         {}, {240, 300, 7335, 795}, "Console View"},
        {C::CopyConsole, C::ConsoleFrame, K::PushButton, "PushButton5",
         QStringLiteral("Copy Results To Clipboard"), {240, 1200, 3600, 405},
         nullptr, "Copies the console text"},
        {C::ClearConsole, C::ConsoleFrame, K::PushButton, "PushButton10",
         QStringLiteral("Clear"), {3960, 1200, 3600, 405}},
        {C::Results, kInWindow, K::ReportList, "ListView2",
         {}, {120, 5690, 7800, 1590}, "Results", nullptr, listTip},
        {C::SaveText, kInWindow, K::PushButton, "PushButton4",
         QStringLiteral("Save Results As Text File"), {120, 7370, 3840, 405}},
        {C::SaveSheet, kInWindow, K::PushButton, "PushButton13",
         QStringLiteral("Save Results As Excel File"), {4080, 7370, 3840, 405}},
        {C::CopyResults, kInWindow, K::PushButton, "PushButton7",
         QStringLiteral("Copy Results To Clipboard"), {120, 7880, 3840, 405},
         nullptr, "Copies the ticked results"},
        {C::ClearResults, kInWindow, K::PushButton, "PushButton2",
         QStringLiteral("Clear List"), {4080, 7880, 3840, 405},
         nullptr, "Empties the results list"},
        {C::ProgressBar, kInWindow, K::ProgressBar, "ProgressBar1",
         {}, {120, 8400, 7800, 405}, "Progress"},
    };
    // clang-format on
    return table;
}

} // namespace quillmore
