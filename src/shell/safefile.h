#pragma once

#include "shell/errorreport.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <functional>

class QIODevice;

namespace quillmore {

// The failure every save tells: "Could not save <file>: <reason>".
Failure saveFailure(const QString& fileName, const QString& reason);

// Writes all of `bytes` or throws Failure with the device's reason.
void writeAllOrThrow(QIODevice& device, const QByteArray& bytes);

// The one way the program replaces a file: written beside it under a
// temporary name and put in its place only once complete, so an old file of
// that name stays as it was until then. Its own calls throw saveFailure();
// the device's open(mode), for callers that word the failure themselves,
// stays. Writers that take a device write to the file itself.
//
// Qt's own commit() closes the file without telling whether the last
// buffered bytes reached the disk, and then renames a cut-off file over the
// good one: commit() here flushes and checks first. It hides the base's
// commit on purpose; hold the file as a SafeFile.
class SafeFile : public QSaveFile
{
    Q_OBJECT
public:
    explicit SafeFile(const QString& fileName);
    ~SafeFile() override;

    using QSaveFile::open;
    // Opens for writing.
    void open();
    void writeAll(const QByteArray& bytes);
    // Puts the complete file in place.
    void commit();
    // Drops what was written; the old file stays. Never fails.
    void cancel();
};

// Replaces `fileName` with what `write` puts into the device. A Failure that
// `write` throws comes out as saveFailure() with its description as the reason.
void saveWholeFile(const QString& fileName, const std::function<void(QIODevice&)>& write);

} // namespace quillmore
