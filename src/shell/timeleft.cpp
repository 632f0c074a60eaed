#include "shell/timeleft.h"

#include <algorithm>

namespace quillmore {

QString timeLeftText(int finished, int total, qint64 elapsedMs)
{
    if (total <= 0)
        return QString();
    finished = std::clamp(finished, 0, total);
    const QString position =
        QStringLiteral("Number %1 of %2").arg(std::min(finished + 1, total)).arg(total);
    if (finished == 0)
        return position;

    constexpr qint64 kMinuteMs = 60 * 1000;
    // Integer arithmetic: 32,767 numbers times hours of elapsed milliseconds
    // stays far inside 64 bits.
    const qint64 remainingMs = std::max<qint64>(elapsedMs, 0) * (total - finished) / finished;
    if (remainingMs < kMinuteMs)
        return position + QStringLiteral(", less than a minute left");
    const qint64 minutes = (remainingMs + kMinuteMs / 2) / kMinuteMs;
    return position + QStringLiteral(", about %1 min left").arg(minutes);
}

} // namespace quillmore
