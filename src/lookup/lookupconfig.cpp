#include "lookupconfig.h"

#include "answer.h"
#include "quillmore_config.h"
#include "request.h"
#include "resultrow.h"

#include <QFile>
#include <QTimer>

#include <qcoro/qcorotimer.h>

namespace quillmore {

QCoro::Task<> TimerSleeper::sleep(std::chrono::milliseconds duration)
{
    // A coarse timer may run 5 % long, which would stretch a 6-second pause past 6 seconds.
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    timer.start(duration);
    co_await timer;
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
    config.randomPauseSeconds = [] { return quillmore::randomPauseSeconds(); };
    return config;
}

} // namespace quillmore
