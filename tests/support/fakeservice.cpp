#include "support/fakeservice.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QtDebug>
#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillmore::test {

namespace {

const char* const kServiceDir = QUILLMORE_FAKE_SERVICE_DIR;

QString serviceFile(const QString& name)
{
    return QDir(QString::fromUtf8(kServiceDir)).filePath(name);
}

QString logPath(const QString& dir)
{
    return QDir(dir).filePath(QStringLiteral("requests.log"));
}
QString errorPath(const QString& dir)
{
    return QDir(dir).filePath(QStringLiteral("server.err"));
}

QString fileTail(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    return QString::fromUtf8(all.right(2000)).trimmed();
}

// Runs a short helper to its end; on failure says why and returns false.
bool runTool(const QString& program, const QStringList& arguments, const char* what)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    if (!tool.waitForFinished(30000)) {
        tool.kill();
        tool.waitForFinished(5000);
        qWarning().noquote() << "FakeService:" << what << "did not finish:" << tool.errorString();
        return false;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        qWarning().noquote() << "FakeService:" << what << "failed with exit code" << tool.exitCode()
                             << QString::fromLocal8Bit(tool.readAll());
        return false;
    }
    return true;
}

// The CA is the slow part of starting, so a work folder keeps its own for later starts,
// as long as its server certificate is good for another hour.
bool ensureCa(const QString& dir)
{
    const QStringList files = {QStringLiteral("ca.pem"), QStringLiteral("ca.key"),
                               QStringLiteral("server.pem"), QStringLiteral("server.key")};
    const bool complete = std::all_of(files.begin(), files.end(), [&](const QString& name) {
        return QFileInfo(QDir(dir).filePath(name)).size() > 0;
    });
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty()) {
        qWarning("FakeService: openssl not found on PATH");
        return false;
    }
    if (complete) {
        QProcess check;
        check.start(openssl,
                    {QStringLiteral("x509"), QStringLiteral("-checkend"), QStringLiteral("3600"),
                     QStringLiteral("-noout"), QStringLiteral("-in"),
                     QDir(dir).filePath(QStringLiteral("server.pem"))});
        if (check.waitForFinished(10000) && check.exitStatus() == QProcess::NormalExit &&
            check.exitCode() == 0)
            return true;
    }
    return runTool(QStringLiteral("/bin/sh"), {serviceFile(QStringLiteral("make-test-ca.sh")), dir},
                   "make-test-ca.sh");
}

} // namespace

FakeService::FakeService() = default;

FakeService::~FakeService()
{
    stop();
}

bool FakeService::start(const QString& workDir, int slowSeconds)
{
    stop();
    m_port = 0;
    m_dir = QDir(workDir).absoluteFilePath(QStringLiteral("fake-service"));
    if (!QDir().mkpath(m_dir)) {
        qWarning().noquote() << "FakeService: cannot make" << m_dir;
        return false;
    }
    if (!ensureCa(m_dir))
        return false;
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        qWarning("FakeService: python3 not found on PATH");
        return false;
    }
    QFile::remove(logPath(m_dir));

    auto process = std::make_unique<QProcess>();
    process->setProgram(python);
    process->setArguments(
        {serviceFile(QStringLiteral("server.py")), QStringLiteral("--port"), QStringLiteral("0"),
         QStringLiteral("--cert"), QDir(m_dir).filePath(QStringLiteral("server.pem")),
         QStringLiteral("--key"), QDir(m_dir).filePath(QStringLiteral("server.key")),
         QStringLiteral("--log"), logPath(m_dir), QStringLiteral("--slow-seconds"),
         QString::number(slowSeconds)});
    process->setStandardErrorFile(errorPath(m_dir));
    process->start();

    const QDeadlineTimer deadline(15000);
    QByteArray output;
    while (!output.contains('\n')) {
        if (process->state() == QProcess::NotRunning ||
            !process->waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            if (!output.contains('\n'))
                output += process->readAllStandardOutput();
            if (output.contains('\n'))
                break;
            qWarning().noquote() << "FakeService: the service did not report its port:"
                                 << process->errorString() << fileTail(errorPath(m_dir));
            m_process = std::move(process);
            stop();
            return false;
        }
        output += process->readAllStandardOutput();
    }

    const QByteArray line = output.left(output.indexOf('\n')).trimmed();
    bool ok = false;
    const int port = line.startsWith("PORT ") ? line.mid(5).toInt(&ok) : 0;
    m_process = std::move(process);
    if (!ok || port <= 0) {
        qWarning().noquote() << "FakeService: unexpected first line" << line;
        stop();
        return false;
    }
    m_port = port;
    return true;
}

void FakeService::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

QString FakeService::baseUrl() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(m_port);
}

QByteArray FakeService::caPem() const
{
    QFile file(caPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString FakeService::caPath() const
{
    return m_dir.isEmpty() ? QString() : QDir(m_dir).filePath(QStringLiteral("ca.pem"));
}

QList<LoggedRequest> FakeService::requests() const
{
    QList<LoggedRequest> result;
    if (m_dir.isEmpty())
        return result;
    QFile file(logPath(m_dir));
    if (!file.open(QIODevice::ReadOnly))
        return result;
    // The field is null when absent from the query and empty when present without a value.
    const auto text = [](const QJsonValue& value) {
        if (!value.isString())
            return QString();
        const QString s = value.toString();
        return s.isNull() ? QStringLiteral("") : s;
    };
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        LoggedRequest request;
        request.method = entry.value(QLatin1String("method")).toString();
        request.path = entry.value(QLatin1String("path")).toString();
        request.query = entry.value(QLatin1String("query")).toString();
        request.apiKey = text(entry.value(QLatin1String("api_key")));
        request.phone = text(entry.value(QLatin1String("phone")));
        request.arrivalMonotonic = entry.value(QLatin1String("arrival_monotonic")).toDouble();
        request.connection = entry.value(QLatin1String("connection")).toInt();
        result.append(request);
    }
    // Connections are served in threads, so lines can land slightly out of arrival order.
    std::stable_sort(result.begin(), result.end(), [](const auto& a, const auto& b) {
        return a.arrivalMonotonic < b.arrivalMonotonic;
    });
    return result;
}

int FakeService::port() const
{
    return m_port;
}

QString unusedLoopbackUrl()
{
    // Bound but never listening: connections are refused, and the descriptor is kept open
    // on purpose so that no other process can start listening there during the test.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        qWarning("unusedLoopbackUrl: socket() failed");
        return {};
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        qWarning("unusedLoopbackUrl: cannot bind a loopback port");
        ::close(fd);
        return {};
    }
    return QStringLiteral("https://127.0.0.1:%1").arg(ntohs(address.sin_port));
}

} // namespace quillmore::test
