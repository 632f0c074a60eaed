#pragma once

#include <chrono>

namespace quillmore::cli {

// --rate: requests spread evenly at no more than `perSecond` (fractions
// allowed), across every slot. Times are on one monotonic clock. An idle
// spell earns no burst: the next request after it goes at once, the one
// after that a whole interval later.
class RatePacer
{
public:
    explicit RatePacer(double perSecond = 0); // 0: no limit

    bool limits() const { return m_interval > 0; }
    // How long a request must wait at `now` before it may go.
    std::chrono::milliseconds wait(std::chrono::milliseconds now) const;
    // A request went at `now`.
    void sent(std::chrono::milliseconds now);

private:
    double m_interval = 0; // milliseconds
    double m_next = 0;     // when the next request may go
    bool m_started = false;
};

} // namespace quillmore::cli
