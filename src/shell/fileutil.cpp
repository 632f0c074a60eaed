#include "shell/fileutil.h"

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

QString digitsOnly(const QString& text)
{
    // Only spaces are trimmed: other blanks are dropped below like any non-digit.
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    QString digits;
    digits.reserve(last - first);
    for (qsizetype i = first; i < last; ++i) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9')
            digits.append(c);
    }
    return digits;
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
