#include "request.h"

namespace quillmore {

// The address travels unquoted on curl's command line, so a blank or a quote
// typed into the key would split it into extra arguments for curl (a key
// holding " -o somefile" would make curl write wherever it says). Those few
// characters are percent-encoded; everything else goes in as it stands.
static QString protectAddressPart(const QString& part)
{
    QString out;
    out.reserve(part.size());
    for (const QChar c : part) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u == u'"' || u == 0x7f)
            out += QStringLiteral("%%1").arg(int(u), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

QString requestAddress(const QString& baseUrl, const QString& apiKey, const QString& digits)
{
    return baseUrl + QStringLiteral("/3.1/phone?api_key=") + protectAddressPart(apiKey) +
           QStringLiteral("&phone=") + digits;
}

QString curlCommandLine(const QString& toolPath, const QString& address,
                        const QString& responsePath)
{
    const QChar quote(u'"');
    return quote + toolPath + quote + QLatin1Char(' ') + QStringLiteral(" -X POST ") + address +
           QStringLiteral("  --output ") + quote + responsePath + quote;
}

} // namespace quillmore
