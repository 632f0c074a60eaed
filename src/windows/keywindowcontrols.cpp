#include "windows/keywindowcontrols.h"

#include "shell/quillmore_config.h"

namespace quillmore {

const QList<ControlEntry>& keyWindowControls()
{
    using C = KeyControl;
    using K = ControlKind;
    static const QString provider = QStringLiteral(QUILLMORE_PROVIDER_DOMAIN);
    // Buttons span the window, or their frame.
    const auto inWindow = [](int top) { return QRect(120, top, 7800, 405); };
    const auto inFrame = [](int top) { return QRect(240, top, 7320, 405); };
    // clang-format off
    static const QList<ControlEntry> table = {
        // role, parent, kind, object name, caption, place (left, top, width, height)
        {C::HowFrame, kInWindow, K::Frame, "Frame1",
         QStringLiteral("How To Get Your Free API Key From ") + provider, {120, 60, 7800, 2010}},
        {C::HowText, C::HowFrame, K::Label, "Label2",
         QStringLiteral("Visit ") + QStringLiteral(QUILLMORE_SIGNUP_URL) +
             QStringLiteral(" and click the button Get a Free API Key to get your own key, then "
                            "enter it below. The key will allow you free lookups."),
         {240, 315, 7500, 450}},
        {C::Video, C::HowFrame, K::PushButton, "PushButton5",
         QStringLiteral("Watch Instructional Video On How To Get Key"), inFrame(900)},
        {C::Docs, C::HowFrame, K::PushButton, "PushButton1",
         QStringLiteral("Open ") + provider, inFrame(1410)},
        {C::MoreFrame, kInWindow, K::Frame, "Frame3",
         QStringLiteral("More Information"), {120, 2130, 7800, 900}},
        {C::WhatIs, C::MoreFrame, K::PushButton, "PushButton2",
         QStringLiteral("What is an API key?"), inFrame(300)},
        {C::EnterFrame, kInWindow, K::Frame, "Frame2",
         QStringLiteral("Enter Your ") + provider + QStringLiteral(" API Key"),
         {120, 3075, 7800, 1395}},
        {C::Key, C::EnterFrame, K::LineEdit, "Text1",
         {}, {240, 300, 7335, 345}},
        {C::Test, C::EnterFrame, K::PushButton, "PushButton4",
         QStringLiteral("Test API Key"), inFrame(780)},
        {C::Ok, kInWindow, K::PushButton, "PushButton6",
         QStringLiteral("OK"), inWindow(4590)},
    };
    // clang-format on
    return table;
}

} // namespace quillmore
