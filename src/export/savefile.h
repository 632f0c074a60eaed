#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

namespace quillmore {

// Writes all of `bytes` or throws Failure with the device's reason.
void writeAllOrThrow(QIODevice& device, const QByteArray& bytes);

// Replaces `fileName` with what `write` puts into the device, through
// QSaveFile: until the new file is complete and committed, an old file of that
// name stays as it was. Throws Failure naming the file and the reason.
void saveWholeFile(const QString& fileName, const std::function<void(QIODevice&)>& write);

} // namespace quillmore
