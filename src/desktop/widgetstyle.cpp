#include "desktop/widgetstyle.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace quillmore {

QFont windowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

QPushButton* makePushButton(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setFont(buttonFont());
    button->setGeometry(geometry);
    // Enter and Return press a focused button as Space does; outside a dialog
    // this makes no button the window's default.
    button->setAutoDefault(true);
    return button;
}

// The roles a background of our own carries, and the text drawn on it: the
// theme's text colours belong to the theme's backgrounds, and light text from
// a dark theme vanishes on a white window.
static constexpr QPalette::ColorGroup kGroups[] = {QPalette::Active, QPalette::Inactive,
                                                   QPalette::Disabled};

static void paintBackground(QWidget* widget, const QPalette& palette)
{
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Text boxes, lists and bars paint their own field; it keeps the field
// colours of the palette it was given, whatever the window behind it carries.
static void pinFieldColours(QWidget* window, const QPalette& fields)
{
    constexpr QPalette::ColorRole roles[] = {QPalette::Base,      QPalette::AlternateBase,
                                             QPalette::Text,      QPalette::PlaceholderText,
                                             QPalette::Highlight, QPalette::HighlightedText};
    for (auto* child : window->findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractScrollArea*>(child) && !qobject_cast<QLineEdit*>(child) &&
            !qobject_cast<QProgressBar*>(child))
            continue;
        QPalette pinned = child->palette();
        for (const auto group : kGroups)
            for (const auto role : roles)
                pinned.setColor(group, role, fields.color(group, role));
        child->setPalette(pinned);
    }
}

static QPalette whitePalette()
{
    const QPalette theme = QApplication::palette();
    // A light theme's own button faces suit a white window; a dark theme's
    // would stand as dark slabs on it, so those get a light face.
    const bool lightTheme =
        theme.color(QPalette::Window).value() > 127 && theme.color(QPalette::Button).value() > 127;
    QPalette palette = lightTheme ? theme : QPalette(QColor(0xef, 0xef, 0xef), QColor(Qt::white));
    palette.setColor(QPalette::Highlight, theme.color(QPalette::Highlight));
    palette.setColor(QPalette::HighlightedText, theme.color(QPalette::HighlightedText));
    for (const auto group : kGroups) {
        const bool enabled = group != QPalette::Disabled;
        const QColor text = enabled ? QColor(Qt::black) : QColor(0x80, 0x80, 0x80);
        palette.setColor(group, QPalette::Window, Qt::white);
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::AlternateBase, QColor(0xf4, 0xf4, 0xf4));
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::PlaceholderText,
                         enabled ? QColor(0x6e, 0x6e, 0x6e) : text);
        if (!lightTheme)
            palette.setColor(group, QPalette::ButtonText, text);
    }
    return palette;
}

// The button face as a background, with the text the theme puts on its faces.
static QPalette plainPalette()
{
    QPalette palette = QApplication::palette();
    for (const auto group : kGroups) {
        const QColor face = palette.color(group, QPalette::Button);
        const QColor text = palette.color(group, QPalette::ButtonText);
        palette.setColor(group, QPalette::Window, face);
        palette.setColor(group, QPalette::WindowText, text);
        // Frame captions are drawn in the text colour, on the frame's face.
        palette.setColor(group, QPalette::Text, text);
    }
    return palette;
}

void setWhiteBackColors(QWidget* window)
{
    const QPalette white = whitePalette();
    paintBackground(window, white);
    for (auto* frame : window->findChildren<QGroupBox*>())
        paintBackground(frame, white);
    pinFieldColours(window, white);
}

void setPlainBackColors(QWidget* window)
{
    const QPalette plain = plainPalette();
    paintBackground(window, plain);
    for (auto* child : window->findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child) ||
            qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child))
            paintBackground(child, plain);
    }
    pinFieldColours(window, QApplication::palette());
}

} // namespace quillmore
