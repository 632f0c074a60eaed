#include "shell/settingsformat.h"

#include "shell/errorreport.h"
#include "shell/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>

namespace quillmore {

namespace {

QString scratchPrefix(const QString& settingsFile)
{
    return QLatin1Char('.') + QFileInfo(settingsFile).fileName() + QStringLiteral(".scratch-");
}

class ScratchFile
{
public:
    explicit ScratchFile(const QString& settingsFile)
        : m_dir(QFileInfo(settingsFile)
                    .dir()
                    .filePath(scratchPrefix(settingsFile) + QStringLiteral("XXXXXX")))
    {
        if (!m_dir.isValid())
            throw Failure(QStringLiteral("No working copy of the settings can be made in %1: %2")
                              .arg(QDir::toNativeSeparators(QFileInfo(settingsFile).absolutePath()),
                                   m_dir.errorString()));
    }
    QString path() const { return m_dir.filePath(QStringLiteral("settings.conf")); }

private:
    QTemporaryDir m_dir;
};

// Whether `read` holds every key of `meant` with the same text. Types may
// differ: a list of one reads back as its text.
bool sameSettings(const SettingsValues& read, const SettingsValues& meant)
{
    if (read.keys() != meant.keys())
        return false;
    for (auto it = meant.cbegin(); it != meant.cend(); ++it) {
        const QVariant back = read.value(it.key());
        if (back.toString() != it.value().toString() ||
            back.toStringList() != it.value().toStringList())
            return false;
    }
    return true;
}

} // namespace

ParsedSettings parseSettings(const QByteArray& bytes, QSettings::Format format,
                             const QString& settingsFile)
{
    ParsedSettings parsed;
    if (bytes.isEmpty())
        return parsed;
    // Qt only ever writes UTF-8; anything else would be rewritten with
    // replacement characters and the original bytes lost.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    parsed.damaged = utf8.hasError();

    ScratchFile scratch(settingsFile);
    saveWholeFile(scratch.path(), [&](QIODevice& copy) { writeAllOrThrow(copy, bytes); });
    QSettings settings(scratch.path(), format);
    // Qt parses sections lazily: a file may open cleanly and fail only when
    // every key is read, which is also what each later write would do.
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys) {
        if (key.isEmpty()) // Qt refuses to read or write such a key
            parsed.damaged = true;
        else
            parsed.values.insert(key, settings.value(key));
    }
    if (settings.status() != QSettings::NoError)
        parsed.damaged = true;
    return parsed;
}

QByteArray formatSettings(const SettingsValues& values, QSettings::Format format,
                          const QString& settingsFile)
{
    QByteArray bytes;
    {
        ScratchFile scratch(settingsFile);
        {
            QSettings settings(scratch.path(), format);
            for (auto it = values.cbegin(); it != values.cend(); ++it)
                settings.setValue(it.key(), it.value());
            settings.sync();
            if (settings.status() != QSettings::NoError)
                throw Failure(QStringLiteral("The settings could not be prepared for writing"));
        }
        QFile file(scratch.path());
        if (!file.open(QIODevice::ReadOnly))
            throw Failure(file.errorString());
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw Failure(file.errorString());
    }
    // QSettings takes a copy cut short by a full disk for written and says
    // nothing: only bytes that read back as every value may replace the file.
    const ParsedSettings check = parseSettings(bytes, format, settingsFile);
    if (check.damaged || !sameSettings(check.values, values))
        throw Failure(QStringLiteral("The settings could not be prepared for writing"));
    return bytes;
}

void removeLeftoverScratch(const QString& settingsFile)
{
    QDir folder = QFileInfo(settingsFile).dir();
    const QStringList leftovers =
        folder.entryList({scratchPrefix(settingsFile) + QLatin1Char('*')},
                         QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : leftovers)
        QDir(folder.filePath(name)).removeRecursively();
}

} // namespace quillmore
