#include "export/savefile.h"

#include "shell/errorreport.h"

#include <QDir>
#include <QSaveFile>

namespace quillmore {

namespace {

Failure saveFailure(const QString& fileName, const QString& reason)
{
    return Failure(
        QStringLiteral("Could not save %1: %2").arg(QDir::toNativeSeparators(fileName), reason));
}

} // namespace

void writeAllOrThrow(QIODevice& device, const QByteArray& bytes)
{
    if (device.write(bytes) != bytes.size())
        throw Failure(device.errorString());
}

void saveWholeFile(const QString& fileName, const std::function<void(QIODevice&)>& write)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw saveFailure(fileName, file.errorString());
    try {
        write(file);
    } catch (const Failure& failure) {
        file.cancelWriting();
        throw saveFailure(fileName, failure.description());
    }
    if (!file.commit())
        throw saveFailure(fileName, file.errorString());
}

} // namespace quillmore
