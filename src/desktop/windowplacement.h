#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

namespace quillmore {

// Where a frame of this size goes when its top-left corner should be at
// `wanted`: moved just as far as it takes to lie inside `available`, or, when
// it is larger than that, with its top-left corner on the available area's.
QPoint placeInside(const QPoint& wanted, const QSize& frameSize, const QRect& available);

// Puts `window`'s frame at the top-left corner of `anchor`'s frame, kept on
// the anchor's screen. Before its first showing a window has no frame yet;
// the anchor's frame stands in for the one it will get.
void placeAtTopLeftOf(QWidget* window, const QWidget* anchor);

// A hidden window may come back wherever the window manager likes; these keep
// the place the user left it at.
void hideKeepingPlace(QWidget* window);
void showInPlace(QWidget* window);

} // namespace quillmore
