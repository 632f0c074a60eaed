#pragma once

#include "desktop/controltable.h"

#include <QList>
#include <QString>

namespace quillmore {

// The main window's controls, by what they are for.
struct MainControl
{
    enum Role : int {
        KeyButton,
        NumberList,
        AddNumbers,
        LoadNumbers,
        ClearNumbers,
        SampleNumbers,
        Start,
        ConsoleFrame,
        Console,
        CopyConsole,
        ClearConsole,
        Results,
        SaveText,
        SaveSheet,
        CopyResults,
        ClearResults,
        ProgressBar,
    };
};

// The main window's layout: every control once, with the name the rest of
// the program (settings, tests) knows it by, its caption, its fixed place and
// what a screen reader says for it. Table order is tab order.
const QList<ControlEntry>& mainWindowControls();

// The name the error report gives the main window.
inline const QString kMainForm = QStringLiteral("Form1");

inline const QString kStartCaption = QStringLiteral("Start Looking Up");

} // namespace quillmore
