#include "desktop/windowplacement.h"

#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace quillmore {

static const char* const kKeptPlace = "quillmoreKeptPlace";

// Moves a top-level window's frame there. A window that the window manager
// placed and that was then hidden is placed by it anew on showing unless its
// position was asked for, and a move to where the widget thinks it is asks
// for nothing: so the window first asks for the place it has.
static void moveFrameTo(QWidget* window, const QPoint& corner)
{
    if (QWindow* handle = window->windowHandle())
        handle->setPosition(handle->position());
    window->move(corner);
}

QPoint placeInside(const QPoint& wanted, const QSize& frameSize, const QRect& available)
{
    // Right and bottom first, so that a frame larger than the area keeps its
    // title bar and left edge in reach.
    const int x = std::max(
        std::min(wanted.x(), available.x() + available.width() - frameSize.width()), available.x());
    const int y =
        std::max(std::min(wanted.y(), available.y() + available.height() - frameSize.height()),
                 available.y());
    return {x, y};
}

void placeAtTopLeftOf(QWidget* window, const QWidget* anchor)
{
    QSize frame = window->frameGeometry().size();
    if (frame == window->size())
        frame += anchor->frameGeometry().size() - anchor->size();
    const QScreen* screen = anchor->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QPoint corner = anchor->frameGeometry().topLeft();
    moveFrameTo(window, available.isValid() ? placeInside(corner, frame, available) : corner);
}

void hideKeepingPlace(QWidget* window)
{
    window->setProperty(kKeptPlace, window->pos());
    window->hide();
}

void showInPlace(QWidget* window)
{
    const QVariant kept = window->property(kKeptPlace);
    if (kept.isValid())
        moveFrameTo(window, kept.toPoint());
    window->show();
}

} // namespace quillmore
