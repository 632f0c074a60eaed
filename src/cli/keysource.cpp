#include "cli/keysource.h"

#include "shell/errorreport.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmore::cli {

QString readKeyFile(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    const auto refuse = [&](const QString& why) {
        return Failure(QStringLiteral("The key file %1 is refused: %2").arg(shown, why));
    };
    const QByteArray name = QFile::encodeName(path);
    const auto systemError = [&] {
        return refuse(QString::fromLocal8Bit(std::strerror(errno)) + u'.');
    };
    const QString notPlain = QStringLiteral("it is not a plain file.");
    // Opening a FIFO waits for a writer, and a device may do anything: only a
    // plain file is opened, and without waiting, in case it was swapped for
    // something else meanwhile.
    struct stat info = {};
    if (::stat(name.constData(), &info) != 0)
        throw systemError();
    if (!S_ISREG(info.st_mode))
        throw refuse(notPlain);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        throw systemError();
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw refuse(file.errorString() + u'.');
    }
    // Checked again through the open file, so what is checked is what is read.
    if (::fstat(fd, &info) != 0)
        throw systemError();
    if (!S_ISREG(info.st_mode))
        throw refuse(notPlain);
    if (info.st_uid != ::geteuid())
        throw refuse(QStringLiteral("it belongs to another user."));
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        throw refuse(
            QStringLiteral("other users can read or change it (mode %1). Make it "
                           "owner-only: chmod 600 %2")
                .arg(QString::number(info.st_mode & 07777, 8).rightJustified(4, u'0'), shown));
    // A key is short; a huge file is no key file.
    const QByteArray head = file.read(64 * 1024);
    qsizetype end = 0;
    while (end < head.size() && head[end] != '\n' && head[end] != '\r')
        ++end;
    const QString key = QString::fromUtf8(head.left(end)).trimmed();
    if (key.isEmpty())
        throw refuse(QStringLiteral("its first line holds no key."));
    return key;
}

QString directKey(const QString& keyFile)
{
    const QString fromEnvironment = qEnvironmentVariable(kKeyVariable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    if (!keyFile.isEmpty())
        return readKeyFile(keyFile);
    return {};
}

QString noKeyMessage()
{
    return QStringLiteral("No API key: set QUILLMORE_API_KEY, give --key-file FILE, or enter the "
                          "key once in the Quillmore desktop program.");
}

QString chooseKey(const QString& keyFile, const std::function<QString()>& storedKey)
{
    const QString direct = directKey(keyFile);
    if (!direct.isEmpty())
        return direct;
    const QString stored = storedKey ? storedKey() : QString();
    if (!stored.isEmpty())
        return stored;
    throw Failure(noKeyMessage());
}

} // namespace quillmore::cli
