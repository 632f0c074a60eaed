#pragma once

#include <QCursor>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <utility>

namespace quillmore {

// A window's pointer: the hand over its buttons, the arrow elsewhere, and the
// wait pointer over all of it while the window is busy; nothing replaces the
// wait pointer until the window is no longer busy. Controls that bring a
// pointer of their own (the text boxes' I-beam) show the wait pointer too
// while busy, and get theirs back afterwards.
class PointerScheme
{
public:
    explicit PointerScheme(QWidget* window);

    // The hand cursor from the program folder's HAND-M.CUR, when it is there
    // and can be read; otherwise the system's.
    void useHandCursorFile(const QString& programFolder);
    void addHandWidget(QWidget* widget);
    void addArrowWidget(QWidget* widget);

    // Shows the window's busy state; the window owns that state, this only follows it.
    void setBusy(bool busy);
    QCursor handCursor() const;

private:
    void apply();
    void coverOwnPointers();
    void uncoverOwnPointers();

    QPointer<QWidget> m_window;
    QList<QPointer<QWidget>> m_hand;
    QList<QPointer<QWidget>> m_arrow;
    std::optional<QCursor> m_customHand;
    // The controls' own pointers that the wait pointer stands in for.
    QList<std::pair<QPointer<QWidget>, QCursor>> m_covered;
    bool m_busy = false;
};

// Reads a Windows .cur file into a cursor, hot spot included.
std::optional<QCursor> loadCurFile(const QString& path);

} // namespace quillmore
