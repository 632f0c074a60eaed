#pragma once

#include <QColor>
#include <QPalette>

namespace quillmore::test {

// A theme such as desktops ship as their dark one.
inline QPalette darkPalette()
{
    QPalette p;
    const QColor face(0x35, 0x35, 0x35);
    const QColor field(0x24, 0x24, 0x24);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool on = group != QPalette::Disabled;
        const QColor text = on ? QColor(0xf0, 0xf0, 0xf0) : QColor(0x8a, 0x8a, 0x8a);
        p.setColor(group, QPalette::Window, face);
        p.setColor(group, QPalette::Button, face);
        p.setColor(group, QPalette::Base, field);
        p.setColor(group, QPalette::AlternateBase, QColor(0x2e, 0x2e, 0x2e));
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::PlaceholderText, on ? QColor(0xa8, 0xa8, 0xa8) : text);
        p.setColor(group, QPalette::Highlight, QColor(0x1d, 0x5f, 0xa3));
        p.setColor(group, QPalette::HighlightedText, Qt::white);
        p.setColor(group, QPalette::Light, QColor(0x50, 0x50, 0x50));
        p.setColor(group, QPalette::Mid, QColor(0x28, 0x28, 0x28));
        p.setColor(group, QPalette::Dark, QColor(0x1c, 0x1c, 0x1c));
    }
    return p;
}

} // namespace quillmore::test
