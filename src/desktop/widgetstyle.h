#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QWidget;
class QPushButton;

namespace quillmore {

// Window layouts are fixed and given in twips; 15 twips make one pixel at 96 dpi.
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}
inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

QFont windowFont(); // Arial 9 pt bold
QFont buttonFont(); // Arial 11.25 pt bold

// A button that Space, Enter and Return press while it has the focus.
QPushButton* makePushButton(QWidget* parent, const QString& caption, const QRect& geometry);

// White background for a window and everything in it that paints one, with
// dark text on it and white text fields, whatever the theme.
void setWhiteBackColors(QWidget* window);
// The system's button-face colour for the window and its frames, labels,
// option buttons and check boxes, with the theme's button text on it; text
// boxes and lists keep the theme's field colours.
void setPlainBackColors(QWidget* window);

} // namespace quillmore
