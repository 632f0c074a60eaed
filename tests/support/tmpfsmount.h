#pragma once

// A full disk for a test: a small tmpfs mounted on a folder for as long as
// the object lives. Mounting needs root and leave to mount; a test skips
// where isMounted() is false, saying kTmpfsSkipReason.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

#include <algorithm>

namespace quillmore::test {

inline constexpr char kTmpfsSkipReason[] =
    "A full disk is a small tmpfs, and mounting one needs root and leave to mount";

class TmpfsMount
{
public:
    // `options` as mount(8) takes them, e.g. "size=64k". The folder is made
    // when missing.
    TmpfsMount(const QString& folder, const QString& options) : m_path(folder)
    {
        QDir().mkpath(folder);
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), options,
                     QStringLiteral("tmpfs"), folder});
        m_mounted = mount.waitForFinished(30000) && mount.exitStatus() == QProcess::NormalExit &&
                    mount.exitCode() == 0;
    }
    ~TmpfsMount()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_path});
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_path; }
    QString filePath(const QString& name) const { return QDir(m_path).filePath(name); }

    // Takes all the room left with the file "filler", then gives `leaveFree`
    // bytes of it back (whole pages count). False when the filler cannot be made.
    bool fill(qint64 leaveFree = 0) const
    {
        QFile filler(filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        return leaveFree <= 0 || filler.resize(std::max<qint64>(0, filler.size() - leaveFree));
    }

private:
    QString m_path;
    bool m_mounted = false;
};

} // namespace quillmore::test
