#include "curlstage.h"

#include "answer.h"
#include "childrunner.h"
#include "errorreport.h"
#include "fileutil.h"
#include "request.h"
#include "resultrow.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace quillmore {

QString temporaryFolder(const LookupConfig& config)
{
    if (!config.tempFolder.isEmpty())
        return config.tempFolder;
    const QString temp = qEnvironmentVariable("TEMP");
    return temp.isEmpty() ? QDir::tempPath() : temp;
}

// Creates the file anew (it cannot exist in a fresh private folder) and makes
// it hold exactly `bytes`.
static void writeBytesToFile(const QByteArray& bytes, const QString& path,
                             QFileDevice::Permissions permissions)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw Failure(QStringLiteral("Permission denied"));
    file.setPermissions(permissions);
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw Failure(QStringLiteral("Disk full"));
    file.close();
}

void stageCurl(CurlStage& stage, const LookupConfig& config)
{
    // A stage left over from an earlier call is replaced, never reused.
    removeCurl(stage);
    const QString temp = temporaryFolder(config);
    if (!QFileInfo(temp).isDir())
        throw Failure(QStringLiteral("Path not found"));
    QTemporaryDir dir(QDir(temp).filePath(QStringLiteral("quillmore-XXXXXX")));
    if (!dir.isValid())
        throw Failure(QStringLiteral("Permission denied"));
    dir.setAutoRemove(false);
    stage.folder = dir.path();
    QFile::setPermissions(stage.folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QByteArray tool = config.curlBytes ? config.curlBytes() : QByteArray();
    writeBytesToFile(tool, stage.folder + QStringLiteral("/curl.exe"),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray bundle = config.bundleBytes ? config.bundleBytes() : QByteArray();
    writeBytesToFile(bundle, stage.folder + QStringLiteral("/curl-ca-bundle.crt"),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    stage.ready = true;
}

void removeCurl(CurlStage& stage)
{
    if (!stage.folder.isEmpty())
        QDir(stage.folder).removeRecursively();
    stage = CurlStage();
}

void removeFile(const QString& path)
{
    if (!path.isEmpty())
        QFile::remove(path);
}

// The tool's environment: it finds the bundle through CURL_CA_BUNDLE, and
// looks for no configuration file of the user's, so the request is exactly
// what the command line says.
static QProcessEnvironment childEnvironment(const CurlStage& stage)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CURL_CA_BUNDLE"), stage.bundlePath());
    env.insert(QStringLiteral("CURL_HOME"), stage.folder);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), stage.folder);
    env.insert(QStringLiteral("HOME"), stage.folder);
    return env;
}

QCoro::Task<QString> readCurl(const CurlStage& stageIn, const QString& number,
                              const QString& apiKey, const CurlRequest& requestIn)
{
    // Copied before the first suspension: the caller's arguments need not outlive it.
    const CurlStage stage = stageIn;
    const CurlRequest request = requestIn;
    const std::shared_ptr<RunControl> control =
        request.control ? request.control : std::make_shared<RunControl>();
    GuardedProcedure lines(request.dialogs, procedurePath(QStringLiteral("CurlFunctions"),
                                                          QStringLiteral("ReadCurl")));
    const QString responsePath = stage.responsePath();

    // No answer of an earlier request can be read.
    lines.stepAt(100, [&] { removeFile(responsePath); });
    QString address;
    lines.stepAt(102, [&] {
        address = requestAddress(request.config.serviceUrl, apiKey, digitsOnly(number));
    });
    QString commandLine;
    lines.stepAt(104, [&] {
        commandLine = curlCommandLine(QDir::toNativeSeparators(stage.toolPath()), address,
                                      QDir::toNativeSeparators(responsePath));
    });
    if (control->aborted())
        co_return QString();
    ChildOptions options;
    options.environment = childEnvironment(stage);
    options.timeout = request.config.childTimeout;
    options.control = control;

    constexpr int kAttempts = 6;
    int attempt = 0;
    do {
        ChildRun run;
        co_await lines.stepAsyncAt(106, [&]() -> QCoro::Task<> {
            run = co_await runAndWait(commandLine, 0, request.progress, options);
        });
        if (control->aborted())
            co_return QString();
        // A child that had to be ended may have left half an answer.
        if (run.end == ChildRun::End::TimedOut)
            lines.stepAt(108, [&] { removeFile(responsePath); });
        if (!fileExists(responsePath)) {
            co_await control->sleep(request.config.sleeper, std::chrono::seconds(1));
            if (control->aborted())
                co_return QString();
            ++attempt;
        }
    } while (!fileExists(responsePath) && attempt < kAttempts);

    if (!fileExists(responsePath))
        co_return kCouldNotConnect;
    QString text;
    lines.stepAt(112, [&] { text = readFileText(responsePath); });
    if (control->aborted())
        co_return QString();
    lines.stepAt(114, [&] { text = flattenLines(std::move(text)); });
    lines.stepAt(116, [&] { removeFile(responsePath); });
    co_return text;
}

} // namespace quillmore
