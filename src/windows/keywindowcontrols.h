#pragma once

#include "desktop/controltable.h"

#include <QList>
#include <QString>

namespace quillmore {

// The key window's controls, by what they are for.
struct KeyControl
{
    enum Role : int {
        HowFrame,
        HowText,
        Video,
        Docs,
        MoreFrame,
        WhatIs,
        EnterFrame,
        Key,
        Test,
        Ok,
    };
};

// The key window's layout: every control once, with the name the rest of the
// program (settings, tests) knows it by, its caption and its fixed place.
const QList<ControlEntry>& keyWindowControls();

// The name the error report gives the key window.
inline const QString kKeyForm = QStringLiteral("Form2");

} // namespace quillmore
