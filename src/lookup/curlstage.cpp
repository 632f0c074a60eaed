#include "lookup/curlstage.h"

#include "shell/errorreport.h"
#include "shell/leftovers.h"
#include "shell/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace quillmore {

static const QString kToolName = QStringLiteral("curl.exe");
static const QString kBundleName = QStringLiteral("curl-ca-bundle.crt");
static const QString kResponseName = QStringLiteral("message.txt");

QString temporaryFolder(const LookupConfig& config)
{
    if (!config.tempFolder.isEmpty())
        return config.tempFolder;
    const QString temp = qEnvironmentVariable("TEMP");
    return temp.isEmpty() ? QDir::tempPath() : temp;
}

QString cacheFolder(const LookupConfig& config)
{
    if (!config.cacheFolder.isEmpty())
        return config.cacheFolder;
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

// Makes the file hold exactly `bytes`. The tool is run by its name, so under
// that name there is a whole file or none; the texts told are the ones users
// know from the old platform.
static void writeBytesToFile(const QByteArray& bytes, const QString& path,
                             QFileDevice::Permissions permissions)
{
    SafeFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("Permission denied"));
    try {
        file.writeAll(bytes);
        file.commit();
    } catch (const Failure&) {
        throw Failure(QStringLiteral("Disk full"));
    }
    if (!QFile::setPermissions(path, permissions))
        throw Failure(QStringLiteral("Permission denied"));
}

void CurlStage::makeFolder(const QString& parent, const LookupConfig& config)
{
    remove();
    if (!QFileInfo(parent).isDir() && !QDir().mkpath(parent))
        throw Failure(QStringLiteral("Path not found"));
    QTemporaryDir dir(QDir(parent).filePath(kStagingFolderPrefix + QStringLiteral("XXXXXX")));
    if (!dir.isValid())
        throw Failure(QStringLiteral("Permission denied"));
    dir.setAutoRemove(false);
    m_folder = dir.path();
    m_claim = claimFolder(m_folder);
    QFile::setPermissions(m_folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray tool = config.curlBytes ? config.curlBytes() : QByteArray();
    writeBytesToFile(tool, QDir(m_folder).filePath(kToolName),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray bundle = config.bundleBytes ? config.bundleBytes() : QByteArray();
    writeBytesToFile(bundle, QDir(m_folder).filePath(kBundleName),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_tool = QDir(m_folder).filePath(kToolName);
}

void CurlStage::stage(const LookupConfig& config)
{
    // A stage left over from an earlier call is replaced, never reused.
    m_way = Way::Temporary;
    try {
        const QString temp = temporaryFolder(config);
        if (!QFileInfo(temp).isDir())
            throw Failure(QStringLiteral("Path not found"));
        makeFolder(temp, config);
        return;
    } catch (const Failure& inTemporary) {
        m_way = Way::Cache;
        try {
            makeFolder(cacheFolder(config), config);
            return;
        } catch (const Failure&) {
            // The temporary folder is where the tool belongs: its failure is the one to tell.
            remove();
            m_way = Way::Temporary;
            throw inTemporary;
        }
    }
}

bool CurlStage::fallBack(const LookupConfig& config)
{
    if (m_way == Way::Temporary) {
        m_way = Way::Cache;
        try {
            makeFolder(cacheFolder(config), config);
            return true;
        } catch (const Failure&) {
            // On to the next way.
        }
    }
    if (m_way == Way::Cache) {
        m_way = Way::BuiltCurl;
        if (!config.builtCurl.isEmpty() && QFileInfo(config.builtCurl).isExecutable()) {
            // The bundle and the answer need no permission to run: they stay private.
            if (m_folder.isEmpty()) {
                try {
                    makeFolder(temporaryFolder(config), config);
                } catch (const Failure&) {
                    m_way = Way::None;
                    return false;
                }
            }
            m_tool = config.builtCurl;
            return true;
        }
    }
    m_way = Way::None;
    return false;
}

void CurlStage::remove()
{
    m_claim.reset();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
    m_folder.clear();
    m_tool.clear();
}

QString CurlStage::bundlePath() const
{
    return m_tool.isEmpty() ? QString() : QDir(m_folder).filePath(kBundleName);
}

QString CurlStage::responsePath() const
{
    return m_tool.isEmpty() ? QString() : QDir(m_folder).filePath(kResponseName);
}

void removeFile(const QString& path)
{
    if (!path.isEmpty())
        QFile::remove(path);
}

} // namespace quillmore
