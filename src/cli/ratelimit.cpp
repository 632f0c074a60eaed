#include "cli/ratelimit.h"

#include <QLocale>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace quillmore::cli {

namespace {

constexpr std::chrono::milliseconds kLongestWait = std::chrono::hours(1);

} // namespace

AnswerHeaders parseHeaders(const QByteArray& dump)
{
    AnswerHeaders headers;
    for (QByteArray line : dump.split('\n')) {
        line = line.trimmed();
        if (line.startsWith("HTTP/")) {
            // A new answer begins: what an earlier one said no longer counts.
            headers = {};
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() >= 2)
                headers.status = parts.at(1).toInt();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "retry-after")
            headers.retryAfter = QString::fromLatin1(line.mid(colon + 1).trimmed());
    }
    return headers;
}

std::optional<std::chrono::milliseconds> retryAfterDelay(const QString& value, const QDateTime& now)
{
    const QString text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool isNumber = false;
    const qlonglong seconds = text.toLongLong(&isNumber);
    if (isNumber) {
        if (seconds < 0)
            return std::nullopt;
        return std::min<std::chrono::milliseconds>(std::chrono::seconds(seconds), kLongestWait);
    }
    // An HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT", always in GMT.
    QDateTime when =
        QLocale::c().toDateTime(text, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    if (!when.isValid())
        when = QDateTime::fromString(text, Qt::RFC2822Date);
    if (!when.isValid())
        return std::nullopt;
    when.setTimeZone(QTimeZone::utc());
    const qint64 ms = std::max<qint64>(0, now.msecsTo(when));
    return std::min<std::chrono::milliseconds>(std::chrono::milliseconds(ms), kLongestWait);
}

std::chrono::milliseconds backoffDelay(int refusalsInRow, double jitter)
{
    const int doublings = std::clamp(refusalsInRow - 1, 0, 6);
    const double seconds = std::min(60.0, std::pow(2.0, doublings));
    return std::chrono::milliseconds(qint64(seconds * 1000.0 * std::clamp(jitter, 0.5, 1.0)));
}

} // namespace quillmore::cli
