#include "numbers/numberlist.h"

#include "shell/errorreport.h"

#include <QFile>
#include <QFileInfo>

namespace quillmore {

QStringList sampleNumbers()
{
    return {QStringLiteral("4135923823"),   QStringLiteral("3342228605"),
            QStringLiteral("503.235.3968"), QStringLiteral("603-380-2932"),
            QStringLiteral("760-546-7993"), QStringLiteral("212-522-9333")};
}

static QString trimSpaces(const QString& s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && s.at(end - 1) == QLatin1Char(' '))
        --end;
    return s.mid(begin, end - begin);
}

QStringList splitTypedNumbers(const QString& answer)
{
    QStringList entries;
    for (const QString& piece : answer.split(QLatin1Char(',')))
        entries << trimSpaces(piece);
    return entries;
}

QStringList splitFileLines(const QString& text)
{
    QStringList entries;
    const qsizetype n = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            entries << text.mid(start, i - start);
            i += (i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ? 2 : 1;
            start = i;
        } else if (c == QLatin1Char('\n')) {
            entries << text.mid(start, i - start);
            ++i;
            start = i;
            // An LF ends an entry but not a line: what follows it, even nothing
            // at the end of the file, is one more entry.
            if (i == n)
                entries << QString();
        } else {
            ++i;
        }
    }
    if (start < n)
        entries << text.mid(start);
    return entries;
}

QStringList splitPastedNumbers(const QString& clipboardText)
{
    QStringList entries = splitFileLines(clipboardText);
    entries.removeAll(QString());
    return entries;
}

QStringList readNumberFile(const QString& path)
{
    QFile file(path);
    if (QFileInfo(path).isDir())
        throw Failure(QStringLiteral("Is a directory"));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(file.errorString());
    return splitFileLines(QString::fromLocal8Bit(bytes));
}

QString joinForStorage(const QStringList& entries)
{
    return entries.join(QLatin1Char(';'));
}

QStringList splitFromStorage(const QString& stored)
{
    QStringList entries;
    if (stored.isEmpty())
        return entries;
    for (const QString& piece : stored.split(QLatin1Char(';')))
        if (!piece.isEmpty())
            entries << piece;
    return entries;
}

} // namespace quillmore
