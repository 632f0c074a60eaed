#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <optional>

namespace quillmore::cli {

// The status line and the one header of an answer that the run acts on, from
// the headers curl wrote (--dump-header). Of several answers (a 100 Continue,
// say) the last one counts.
struct AnswerHeaders
{
    int status = 0; // 0: no status line
    QString retryAfter;
};
AnswerHeaders parseHeaders(const QByteArray& dump);

inline constexpr int kTooManyRequests = 429;
// Refusals in a row after which the run stops as refused by the service.
inline constexpr int kMaxRefusals = 8;

// How long a refusal asks to wait: Retry-After's seconds or date (relative to
// `now`), held to at most an hour; nothing when it says neither.
std::optional<std::chrono::milliseconds> retryAfterDelay(const QString& value,
                                                         const QDateTime& now);

// Without Retry-After: 1 s for the first refusal in a row, doubling to 60 s,
// each scaled by `jitter` in [0.5, 1] so that many clients do not retry in step.
std::chrono::milliseconds backoffDelay(int refusalsInRow, double jitter);

} // namespace quillmore::cli
