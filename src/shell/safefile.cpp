#include "shell/safefile.h"

#include <QDir>

namespace quillmore {

Failure saveFailure(const QString& fileName, const QString& reason)
{
    return Failure(
        QStringLiteral("Could not save %1: %2").arg(QDir::toNativeSeparators(fileName), reason));
}

void writeAllOrThrow(QIODevice& device, const QByteArray& bytes)
{
    // A write the disk takes only in part comes back short and without a
    // reason; the rest, written again, fails with it (or goes in).
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = device.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            throw Failure(device.errorString());
        done += written;
    }
}

SafeFile::SafeFile(const QString& fileName) : QSaveFile(fileName) {}

// An uncommitted file is dropped by QSaveFile itself.
SafeFile::~SafeFile() = default;

void SafeFile::open()
{
    if (!QSaveFile::open(QIODevice::WriteOnly))
        throw saveFailure(fileName(), errorString());
}

void SafeFile::writeAll(const QByteArray& bytes)
{
    try {
        writeAllOrThrow(*this, bytes);
    } catch (const Failure& failure) {
        throw saveFailure(fileName(), failure.description());
    }
}

void SafeFile::commit()
{
    if (!isOpen())
        throw saveFailure(fileName(), QStringLiteral("the file is not open"));
    // As with a write, a flush the disk took in part tells its reason only
    // when the rest is tried again.
    if (!flush() && !flush()) {
        const QString reason = errorString();
        cancel();
        throw saveFailure(fileName(), reason);
    }
    if (!QSaveFile::commit())
        throw saveFailure(fileName(), errorString());
}

void SafeFile::cancel()
{
    if (!isOpen())
        return;
    cancelWriting();
    // Refused after cancelWriting(): closes and removes the temporary file now.
    QSaveFile::commit();
}

void saveWholeFile(const QString& fileName, const std::function<void(QIODevice&)>& write)
{
    SafeFile file(fileName);
    file.open();
    try {
        write(file);
    } catch (const Failure& failure) {
        file.cancel();
        throw saveFailure(fileName, failure.description());
    }
    file.commit();
}

} // namespace quillmore
