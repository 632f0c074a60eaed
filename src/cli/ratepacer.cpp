#include "cli/ratepacer.h"

#include <algorithm>
#include <cmath>

namespace quillmore::cli {

RatePacer::RatePacer(double perSecond) : m_interval(perSecond > 0 ? 1000.0 / perSecond : 0) {}

std::chrono::milliseconds RatePacer::wait(std::chrono::milliseconds now) const
{
    if (!limits() || !m_started)
        return std::chrono::milliseconds(0);
    // Rounded up: a request a fraction of a millisecond early is too early.
    const double left = std::ceil(m_next - double(now.count()));
    return std::chrono::milliseconds(static_cast<long long>(std::max(0.0, left)));
}

void RatePacer::sent(std::chrono::milliseconds now)
{
    if (!limits())
        return;
    const double at = m_started ? std::max(m_next, double(now.count())) : double(now.count());
    m_next = at + m_interval;
    m_started = true;
}

} // namespace quillmore::cli
