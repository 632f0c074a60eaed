#include "cli/inputnumbers.h"

#include "numbers/numberlist.h"
#include "shell/errorreport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace quillmore::cli {

QStringList numbersFromText(const QString& text)
{
    QStringList numbers = splitFileLines(text);
    // A blank line would cost a lookup that can only say "invalid".
    numbers.removeIf([](const QString& line) { return line.trimmed().isEmpty(); });
    return numbers;
}

QByteArray readStandardInputBytes()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read standard input: ") + in.errorString());
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("Cannot read standard input: ") + in.errorString());
    return bytes;
}

static QStringList readStandardInput()
{
    // Decoded as a number file is.
    return numbersFromText(QString::fromLocal8Bit(readStandardInputBytes()));
}

QStringList readInputNumbers(const QStringList& files)
{
    if (files.isEmpty())
        return readStandardInput();
    QStringList numbers;
    for (const QString& file : files) {
        if (file == u"-") {
            numbers += readStandardInput();
            continue;
        }
        if (!QFile::exists(file))
            throw Failure(QStringLiteral("Cannot read %1: no such file.")
                              .arg(QDir::toNativeSeparators(file)));
        try {
            for (QString& line : readNumberFile(file))
                if (!line.trimmed().isEmpty())
                    numbers << std::move(line);
        } catch (const Failure& failure) {
            throw Failure(QStringLiteral("Cannot read %1: %2.")
                              .arg(QDir::toNativeSeparators(file), failure.description()));
        }
    }
    return numbers;
}

QString inputHash(const QStringList& numbers)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& number : numbers) {
        hash.addData(number.toUtf8());
        hash.addData(QByteArrayView("\n"));
    }
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace quillmore::cli
