#include "desktop/pointerscheme.h"

#include "shell/fileutil.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

#include <algorithm>

namespace quillmore {

PointerScheme::PointerScheme(QWidget* window) : m_window(window)
{
    apply();
}

void PointerScheme::useHandCursorFile(const QString& programFolder)
{
    const QString curFile = QDir(programFolder).filePath(QStringLiteral("HAND-M.CUR"));
    if (!fileExists(curFile))
        return;
    m_customHand = loadCurFile(curFile);
    apply();
}

void PointerScheme::addHandWidget(QWidget* widget)
{
    m_hand << widget;
    apply();
}

void PointerScheme::addArrowWidget(QWidget* widget)
{
    m_arrow << widget;
    apply();
}

void PointerScheme::setBusy(bool busy)
{
    m_busy = busy;
    apply();
}

QCursor PointerScheme::handCursor() const
{
    return m_customHand.value_or(QCursor(Qt::PointingHandCursor));
}

void PointerScheme::apply()
{
    // Children with a cursor of their own would show it over the window's
    // wait pointer, so busy means every one of them shows the wait pointer too.
    const QCursor wait(Qt::WaitCursor);
    if (m_window)
        m_window->setCursor(m_busy ? wait : QCursor(Qt::ArrowCursor));
    for (const auto& w : std::as_const(m_hand))
        if (w)
            w->setCursor(m_busy ? wait : handCursor());
    for (const auto& w : std::as_const(m_arrow))
        if (w)
            w->setCursor(m_busy ? wait : QCursor(Qt::ArrowCursor));
    if (m_busy)
        coverOwnPointers();
    else
        uncoverOwnPointers();
}

void PointerScheme::coverOwnPointers()
{
    if (!m_window)
        return;
    const auto known = [this](QWidget* widget) {
        const auto same = [widget](const auto& entry) { return entry == widget; };
        return std::any_of(m_hand.cbegin(), m_hand.cend(), same) ||
               std::any_of(m_arrow.cbegin(), m_arrow.cend(), same) ||
               std::any_of(m_covered.cbegin(), m_covered.cend(),
                           [widget](const auto& entry) { return entry.first == widget; });
    };
    for (QWidget* child : m_window->findChildren<QWidget*>()) {
        // Only the ones that set a pointer of their own; the others show their parent's.
        if (!child->testAttribute(Qt::WA_SetCursor) || child->isWindow() || known(child))
            continue;
        m_covered.append({child, child->cursor()});
        child->setCursor(Qt::WaitCursor);
    }
}

void PointerScheme::uncoverOwnPointers()
{
    for (const auto& [widget, own] : std::as_const(m_covered))
        if (widget)
            widget->setCursor(own);
    m_covered.clear();
}

std::optional<QCursor> loadCurFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(4 * 1024 * 1024);
    // Header: reserved, type 2 (cursor), count; then 16-byte entries whose
    // "planes" and "bit count" fields hold the hot spot.
    if (bytes.size() < 22)
        return std::nullopt;
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    if (u16(0) != 0 || u16(2) != 2 || u16(4) == 0)
        return std::nullopt;
    const int hotX = u16(6 + 4);
    const int hotY = u16(6 + 6);
    // Qt's icon reader takes cursor files once they are labelled as icons.
    QByteArray asIcon = bytes;
    asIcon[2] = 1;
    QBuffer buffer(&asIcon);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

} // namespace quillmore
