#include "shell/leftovers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmore {

namespace {

constexpr qsizetype kRandomPartLength = 6;
// Our folders are flat; a deeper tree is not one of ours.
constexpr int kMaxDepth = 32;

bool isAsciiLetterOrDigit(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// Removes the folder `name` inside the open folder `parentFd`. Everything is
// reached through descriptors opened without following links, so a link
// swapped in anywhere is removed as a link, never walked through.
bool removeTreeAt(int parentFd, const char* name, int depth)
{
    if (depth > kMaxDepth)
        return false;
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (::unlinkat(fd, entry->d_name, 0) == 0 || errno == ENOENT)
            continue;
        if (errno == EISDIR || errno == EPERM)
            ok = removeTreeAt(fd, entry->d_name, depth + 1) && ok;
        else
            ok = false;
    }
    ::closedir(dir);
    if (::unlinkat(parentFd, name, AT_REMOVEDIR) != 0 && errno != ENOENT)
        ok = false;
    return ok;
}

// Whether the lock in `folder` was left by a process that is gone. Taking it
// is the test: QLockFile takes a lock over only when its holder no longer
// runs. Without a stale-lock time a lock held by a live process stays held
// however old it is.
bool lockIsStale(const QString& folder)
{
    const QString path = folder + QLatin1Char('/') + kFolderLockName;
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    QLockFile probe(path);
    probe.setStaleLockTime(0);
    if (!probe.tryLock(0))
        return false;
    probe.unlock();
    return true;
}

// A folder without a lock is used by no copy of the program.
bool lockIsHeld(const QString& folder)
{
    struct stat st;
    const QByteArray lock = QFile::encodeName(folder + QLatin1Char('/') + kFolderLockName);
    if (::lstat(lock.constData(), &st) != 0 && errno == ENOENT)
        return false;
    return !lockIsStale(folder);
}

// The latest change to the folder or anything directly in it.
QDateTime lastChange(const QString& folder)
{
    QDateTime latest = QFileInfo(folder).lastModified();
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries)
        latest = std::max(latest, entry.lastModified());
    return latest;
}

// Removes each folder directly in `parent` whose name fits `namePrefix`, that
// is a real folder (not a link) owned by this user, and for which `unused`
// holds. Returns how many were removed.
int removeOwnFolders(const QString& parent, const QString& namePrefix,
                     const std::function<bool(const QString&)>& unused)
{
    if (parent.isEmpty() || namePrefix.isEmpty())
        return 0;
    const QByteArray nativeParent = QFile::encodeName(parent);
    const int parentFd = ::open(nativeParent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return 0;
    int removed = 0;
    const QStringList names =
        QDir(parent).entryList({namePrefix + QLatin1Char('*')},
                               QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!isTemporaryFolderName(name, namePrefix))
            continue;
        const QByteArray nativeName = QFile::encodeName(name);
        struct stat st;
        if (::fstatat(parentFd, nativeName.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (!unused(parent + QLatin1Char('/') + name))
            continue;
        if (removeTreeAt(parentFd, nativeName.constData(), 0))
            ++removed;
    }
    ::close(parentFd);
    return removed;
}

} // namespace

std::unique_ptr<QLockFile> claimFolder(const QString& folder)
{
    auto lock = std::make_unique<QLockFile>(folder + QLatin1Char('/') + kFolderLockName);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

bool isTemporaryFolderName(const QString& name, const QString& prefix)
{
    if (name.size() != prefix.size() + kRandomPartLength || !name.startsWith(prefix))
        return false;
    for (qsizetype i = prefix.size(); i < name.size(); ++i)
        if (!isAsciiLetterOrDigit(name.at(i)))
            return false;
    return true;
}

int removeLeftoverFolders(const QString& parent, const QString& namePrefix)
{
    return removeOwnFolders(parent, namePrefix, lockIsStale);
}

int removeUnusedWorkbookFolders(const QString& parent, const QDateTime& changedBefore)
{
    return removeOwnFolders(parent, kWorkbookFolderPrefix, [&](const QString& folder) {
        return !lockIsHeld(folder) && lastChange(folder) < changedBefore &&
               !isOpenByAnyProcess(folder);
    });
}

bool isOpenByAnyProcess(const QString& folder)
{
    const QByteArray inside = QFile::encodeName(QFileInfo(folder).canonicalFilePath()) + '/';
    if (inside.size() < 2)
        return false; // gone already
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return true;
    bool open = false;
    while (const dirent* process = ::readdir(proc)) {
        if (open)
            break;
        if (process->d_name[0] < '1' || process->d_name[0] > '9')
            continue;
        const QByteArray fdFolder = QByteArray("/proc/") + process->d_name + "/fd";
        // Another user's process cannot be looked into, and cannot write here.
        DIR* fds = ::opendir(fdFolder.constData());
        if (!fds)
            continue;
        while (const dirent* fd = ::readdir(fds)) {
            char target[4096];
            const ssize_t length =
                ::readlinkat(::dirfd(fds), fd->d_name, target, sizeof target - 1);
            if (length <= 0)
                continue;
            const QByteArrayView path(target, length);
            if (path.startsWith(inside) || path == inside.chopped(1)) {
                open = true;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return open;
}

bool removeFolderTree(const QString& folder)
{
    const QFileInfo info(folder);
    const QByteArray parent = QFile::encodeName(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());
    if (name.isEmpty())
        return false;
    const int parentFd = ::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return errno == ENOENT;
    const bool ok = removeTreeAt(parentFd, name.constData(), 0);
    ::close(parentFd);
    return ok;
}

} // namespace quillmore
