#include "lookupconfig.h"

#include "quillmore_config.h"

#include <QFile>
#include <QRandomGenerator>

#include <qcoro/qcorotimer.h>

namespace quillmore {

QCoro::Task<> TimerSleeper::sleep(std::chrono::milliseconds duration)
{
    co_await QCoro::sleepFor(duration);
}

static QByteArray resourceBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

LookupConfig LookupConfig::defaults()
{
    LookupConfig config;
    config.serviceUrl = QStringLiteral(QUILLMORE_SERVICE_URL);
    config.curlBytes = [] { return resourceBytes(QStringLiteral(":/tools/curl.exe")); };
    config.bundleBytes = [] { return resourceBytes(QStringLiteral(":/tools/curl-ca-bundle.crt")); };
    config.sleeper = std::make_shared<TimerSleeper>();
    config.randomPauseSeconds = [] { return 3 + int(QRandomGenerator::global()->generateDouble() * 4); };
    return config;
}

} // namespace quillmore
