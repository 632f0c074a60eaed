#include "fileutil.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace quillmore {

bool fileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QString fileNamePart(const QString& path)
{
    const qsizetype cut =
        std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return cut < 0 ? path : path.mid(cut + 1);
}

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString deriveAppTitle(const QString& productName)
{
    if (!productName.contains(QLatin1Char(' ')))
        return productName;
    QString title = productName;
    do {
        const qsizetype space = title.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            break;
        title.truncate(space);
    } while (title.size() > 40);
    return title;
}

} // namespace quillmore
