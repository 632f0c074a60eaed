#include "cli/runfiles.h"

#include <QDir>
#include <QStandardPaths>

namespace quillmore::cli {

QString defaultJournalPath(const QString& hash)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(data).filePath(QStringLiteral("runs/") + hash + QStringLiteral(".journal"));
}

} // namespace quillmore::cli
