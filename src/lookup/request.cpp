#include "lookup/request.h"

#include "lookup/answer.h"
#include "lookup/curlstage.h"
#include "numbers/phonenumbers.h"
#include "shell/fileutil.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

#include <algorithm>
#include <iterator>

namespace quillmore {

static constexpr int kAttempts = 6;

// curl's exit statuses for a try that ended before the request went out: an
// address, option or config line it could not use (1, 2, 3, 4, 26, 48), no
// proxy or host found (5, 6), no connection (7, 45, 97), a secure handshake
// that failed or whose certificates were refused (35, 53, 54, 58, 59, 60, 66,
// 77, 82, 83, 90, 91, 98). And 28: the tool is given a connect time-out and
// no other, so its running out of time means the connection was never made.
static constexpr int kNeverSent[] = {1,  2,  3,  4,  5,  6,  7,  26, 28, 35, 45, 48, 53,
                                     54, 58, 59, 60, 66, 77, 82, 83, 90, 91, 97, 98};

// What may stand in a URL's query value as it is. '%', '&', '+' and '#' are
// encoded too: the service would read them as an escape, the next parameter,
// a blank and the end of the address, not as part of the key.
static bool standsInQuery(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return true;
    return QStringView(u"-._~!$'()*,;=:@/?").contains(QChar(c));
}

static QString protectKey(const QString& key)
{
    QString out;
    out.reserve(key.size());
    QString pending; // encoded together, so a surrogate pair becomes one UTF-8 sequence
    const auto flush = [&] {
        for (const char byte : pending.toUtf8())
            out += QLatin1Char('%') + QString::number(static_cast<unsigned char>(byte), 16)
                                          .rightJustified(2, QLatin1Char('0'))
                                          .toUpper();
        pending.clear();
    };
    for (const QChar c : key) {
        if (standsInQuery(c.unicode())) {
            flush();
            out += c;
        } else {
            pending += c;
        }
    }
    flush();
    return out;
}

QString requestAddress(const QString& baseUrl, const QString& apiKey, const QString& digits)
{
    return baseUrl + QStringLiteral("/3.1/phone?api_key=") + protectKey(apiKey) +
           QStringLiteral("&phone=") + digits;
}

QString phoneQueryValue(const QString& entry)
{
    const QString trimmed = entry.trimmed();
    if (trimmed.startsWith(u'+')) {
        // No region: only a number written with its country code is valid here.
        const NumberClass number = PhoneNumbers::classifyInRegion(trimmed, QString());
        if (number.verdict == NumberClass::Verdict::Valid && number.e164 == trimmed)
            return QStringLiteral("%2B") + number.e164.mid(1);
    }
    return digitsOnly(entry);
}

QStringList curlArguments(const QString& responsePath)
{
    return {QStringLiteral("-X"),          QStringLiteral("POST"),        QStringLiteral("-K"),
            QStringLiteral("-"),           QStringLiteral("--output"),    responsePath,
            QStringLiteral("--write-out"), QStringLiteral("%{http_code}")};
}

QStringList connectTimeoutArguments(std::chrono::milliseconds tryLimit)
{
    if (tryLimit.count() <= 0)
        return {};
    const qint64 ms = tryLimit.count() / 2;
    // Whole seconds where they can be: a tool that reads numbers in the
    // user's locale might take "7.5" for 7.
    const QString seconds =
        ms % 1000 == 0 ? QString::number(ms / 1000) : QString::number(double(ms) / 1000.0, 'f', 3);
    return {QStringLiteral("--connect-timeout"), seconds};
}

bool mayHaveBeenAnswered(const ChildRun& failedTry)
{
    switch (failedTry.end) {
    case ChildRun::End::NotStarted:
        return false;
    case ChildRun::End::Exited:
        return std::find(std::begin(kNeverSent), std::end(kNeverSent), failedTry.result) ==
               std::end(kNeverSent);
    case ChildRun::End::TimedOut:
    case ChildRun::End::Crashed:
        break;
    }
    return true;
}

int httpStatusOf(const QByteArray& toolOutput)
{
    const QByteArray text = toolOutput.trimmed();
    bool ok = false;
    const int status = text.size() == 3 ? text.toInt(&ok) : 0;
    return ok && status >= 100 && status <= 599 ? status : 0;
}

QByteArray curlConfigLine(const QString& address)
{
    QByteArray value;
    for (const char c : address.toUtf8()) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '"':
            value += "\\\"";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\r':
            value += "\\r";
            break;
        case '\v':
            value += "\\v";
            break;
        default:
            value += c;
        }
    }
    return "url = \"" + value + "\"\n";
}

QProcessEnvironment curlEnvironment(const CurlStage& stage)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CURL_CA_BUNDLE"), stage.bundlePath());
    env.insert(QStringLiteral("CURL_HOME"), stage.folder());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), stage.folder());
    env.insert(QStringLiteral("HOME"), stage.folder());
    return env;
}

CurlRequest::CurlRequest(CurlStage& stage, const LookupConfig& config, QObject* parent)
    : LookupRequest(parent), m_stage(stage), m_config(config)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (m_attempt < m_lastAttempt) {
            runAttempt();
            return;
        }
        m_busy = false;
        emit answered(kCouldNotConnect, 0);
    });
    connect(&m_runner, &ChildRunner::progressText, this, &CurlRequest::progressText);
    connect(&m_runner, &ChildRunner::ended, this, &CurlRequest::attemptEnded);
}

void CurlRequest::setFileNames(const QString& answerName, const QString& headerName)
{
    m_answerName = answerName;
    m_headerName = headerName;
}

// Both follow the stage, which may move to another folder between tries.
QString CurlRequest::answerPath() const
{
    if (m_answerName.isEmpty())
        return m_stage.responsePath();
    return m_stage.folder().isEmpty() ? QString() : QDir(m_stage.folder()).filePath(m_answerName);
}

QString CurlRequest::headerPath() const
{
    if (m_headerName.isEmpty() || m_stage.folder().isEmpty())
        return {};
    return QDir(m_stage.folder()).filePath(m_headerName);
}

QStringList CurlRequest::arguments() const
{
    QStringList arguments = curlArguments(QDir::toNativeSeparators(answerPath()));
    if (!headerPath().isEmpty())
        arguments << QStringLiteral("--dump-header") << QDir::toNativeSeparators(headerPath());
    return arguments + connectTimeoutArguments(m_config.childTimeout);
}

void CurlRequest::removeAnswerFiles() const
{
    removeFile(answerPath());
    if (!headerPath().isEmpty())
        removeFile(headerPath());
}

bool CurlRequest::tellFailure(Step step)
{
    const quint64 job = m_job;
    emit failed(Failure(describe(std::current_exception())), step);
    return m_job == job;
}

void CurlRequest::start(const QString& number, const QString& apiKey)
{
    end();
    m_busy = true;
    m_attempt = 0;
    m_lastAttempt = kAttempts;
    m_headers.clear();
    m_input = curlConfigLine(requestAddress(m_config.serviceUrl, apiKey, phoneQueryValue(number)));
    runAttempt();
}

void CurlRequest::runAttempt()
{
    // No answer of an earlier request or try can be read.
    removeAnswerFiles();
    try {
        m_runner.start(m_stage.toolPath(), arguments(), curlEnvironment(m_stage), m_input,
                       m_config.childTimeout);
    } catch (...) {
        if (tellFailure(Step::RequestStart))
            attemptEnded({ChildRun::End::NotStarted, kStartErrorBase, {}});
    }
}

void CurlRequest::attemptEnded(const ChildRun& run)
{
    // A tool that may not run where it is staged gets its next way at once;
    // the attempt does not count.
    if (run.notExecutable() && m_stage.fallBack(m_config)) {
        runAttempt();
        return;
    }
    // Only a tool that ended by itself with exit status 0 and an HTTP status
    // brought a whole answer; any other may have left half of one (a body cut
    // off, a child that had to be ended), which is no answer.
    const int status =
        run.end == ChildRun::End::Exited && run.result == 0 ? httpStatusOf(run.output) : 0;
    if (status != 0 && fileExists(answerPath())) {
        finish(status);
        return;
    }
    removeAnswerFiles();
    ++m_attempt;
    if (mayHaveBeenAnswered(run))
        m_lastAttempt = std::min(m_lastAttempt, m_attempt + 1);
    m_retry.start(m_config.pause(std::chrono::seconds(1)));
}

void CurlRequest::finish(int httpStatus)
{
    QString text;
    try {
        text = flattenLines(readFileText(answerPath()));
    } catch (...) {
        if (!tellFailure(Step::RequestRead))
            return;
    }
    if (!headerPath().isEmpty()) {
        QFile headers(headerPath());
        m_headers = headers.open(QIODevice::ReadOnly) ? headers.readAll() : QByteArray();
    }
    removeAnswerFiles();
    m_busy = false;
    emit answered(text, httpStatus);
}

void CurlRequest::end()
{
    ++m_job;
    m_runner.stop();
    m_retry.stop();
    m_busy = false;
}

} // namespace quillmore
