#include "lookup/lookupconfig.h"

#include "lookup/resultrow.h"
#include "shell/quillmore_config.h"

#include <QFile>

namespace quillmore {

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
    config.builtCurl = QStringLiteral(QUILLMORE_CURL);
    config.randomPauseSeconds = [] { return quillmore::randomPauseSeconds(); };
    return config;
}

} // namespace quillmore
