#include "cli/outputtarget.h"

#include "shell/errorreport.h"
#include "shell/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace quillmore::cli {

namespace {

Failure cannotWrite(const QString& path, const QString& why)
{
    return Failure(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), why));
}

} // namespace

OutputTarget::OutputTarget(const QString& path, const QStringList& inputs) : m_path(path)
{
    if (m_path.isEmpty()) {
        auto out = std::make_unique<QFile>();
        if (!out->open(stdout, QIODevice::WriteOnly))
            throw Failure(QStringLiteral("Cannot write to standard output: ") + out->errorString());
        m_device = std::move(out);
        return;
    }
    const QFileInfo target(m_path);
    if (target.isDir())
        throw cannotWrite(m_path, QStringLiteral("it is a folder."));
    // The same file by another spelling, or through a link, is the same file:
    // the number list must not be overwritten with its own results.
    const QString canonical = target.canonicalFilePath();
    for (const QString& input : inputs) {
        if (input == u"-" || canonical.isEmpty())
            continue;
        if (QFileInfo(input).canonicalFilePath() == canonical)
            throw Failure(QStringLiteral("--output %1 is one of the inputs; name another file for "
                                         "the results.")
                              .arg(QDir::toNativeSeparators(m_path)));
    }
    auto out = std::make_unique<SafeFile>(m_path);
    if (!out->open(QIODevice::WriteOnly))
        throw cannotWrite(m_path, out->errorString());
    m_device = std::move(out);
}

OutputTarget::~OutputTarget()
{
    if (auto* file = qobject_cast<SafeFile*>(m_device.get()))
        file->cancel();
}

QIODevice& OutputTarget::device()
{
    return *m_device;
}

void OutputTarget::commit()
{
    auto* file = qobject_cast<SafeFile*>(m_device.get());
    if (!file) {
        if (auto* out = qobject_cast<QFile*>(m_device.get()); out && !out->flush())
            throw Failure(out->errorString());
        return;
    }
    file->commit();
    QFile::remove(partialPath());
}

void OutputTarget::cancel()
{
    if (auto* file = qobject_cast<SafeFile*>(m_device.get()))
        file->cancel();
}

} // namespace quillmore::cli
