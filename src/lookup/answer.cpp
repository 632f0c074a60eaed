#include "lookup/answer.h"

#include "shell/errorreport.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace quillmore {

QString flattenLines(QString text)
{
    text.remove(QLatin1Char('\t'));
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// Length of the valid UTF-8 sequence at `p`, or 0 when it is not one.
static int utf8SequenceLength(const unsigned char* p, qsizetype left, char32_t& cp)
{
    const unsigned char b = p[0];
    int n = 0;
    char32_t min = 0;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if ((b & 0xE0) == 0xC0) {
        n = 2, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (left < n)
        return 0;
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

QString decodeAnswer(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    const auto first = static_cast<unsigned char>(bytes.at(0));
    if (first == 0xFF || first == 0xFE) {
        QString text;
        text.resize((bytes.size() + 1) / 2);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t low = p[2 * i];
            // A dangling last byte keeps its value rather than vanishing.
            const char16_t high = 2 * i + 1 < bytes.size() ? p[2 * i + 1] : 0;
            text[i] = QChar(char16_t(low | (high << 8)));
        }
        return text;
    }
    // A leading byte-order mark stays, as it does in the byte-by-byte decoding
    // below: whether it survives must not depend on a stray byte further on.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Rare: decode by hand so that each stray byte keeps its own character.
    text.clear();
    text.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        char32_t cp = 0;
        const int n = utf8SequenceLength(p + i, size - i, cp);
        if (n == 0) {
            text.append(QChar(char16_t(p[i])));
            ++i;
        } else {
            if (QChar::requiresSurrogates(cp)) {
                text.append(QChar(QChar::highSurrogate(cp)));
                text.append(QChar(QChar::lowSurrogate(cp)));
            } else {
                text.append(QChar(char16_t(cp)));
            }
            i += n;
        }
    }
    return text;
}

QString answerFromBody(const QByteArray& body)
{
    return body.isEmpty() ? kEmptyFile : flattenLines(decodeAnswer(body));
}

QString readFileText(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return {};
    if (info.isFile() && info.size() <= 0)
        return kEmptyFile;
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Path/File access error"));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("Input past end of file"));
    return decodeAnswer(bytes);
}

AnswerClass classifyAnswer(const QString& answer)
{
    if (answer.contains(QStringLiteral("<h1>403 Developer Over Rate</h1>")) ||
        answer.contains(QStringLiteral("You have exceeded your quota limit")))
        return AnswerClass::QuotaExceeded;
    if (answer.contains(QStringLiteral("410 Gone")))
        return AnswerClass::ApiWithdrawn;
    if (answer.contains(QStringLiteral("API key is invalid")) ||
        answer.contains(QStringLiteral("Authorization record not found")))
        return AnswerClass::KeyRejected;
    return AnswerClass::Answer;
}

bool isErrorStatus(int httpStatus)
{
    return httpStatus < 200 || httpStatus > 299;
}

QString serviceErrorStatus(int httpStatus)
{
    return QStringLiteral("Service error (HTTP %1)").arg(httpStatus);
}

QString answerClassMessage(AnswerClass cls)
{
    switch (cls) {
    case AnswerClass::QuotaExceeded:
        return QStringLiteral("Daily (24-hour) limit has been exceeded. Please try again later.");
    case AnswerClass::ApiWithdrawn:
        return QStringLiteral("API has changed.\r\nPlease email screenshot of this message to ") +
               supportEmail();
    case AnswerClass::KeyRejected:
        return QStringLiteral("Invalid API Key.");
    case AnswerClass::Answer:
        break;
    }
    return QStringLiteral("API Key is working.");
}

} // namespace quillmore
