#include "settingsstore.h"

#include "errorreport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTemporaryDir>

namespace quillmore {

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

using Values = QMap<QString, QVariant>;

struct Parsed
{
    Values values;
    bool damaged = false;
};

// Qt keeps every settings file it has opened in a process-wide cache, pending
// changes and error status included. Parsing and formatting therefore go
// through a private copy under a name no other object will ever open.
class ScratchFile
{
public:
    ScratchFile()
    {
        if (!m_dir.isValid())
            throw Failure(QStringLiteral("No temporary folder for the settings: ") +
                          m_dir.errorString());
    }
    QString path() const { return m_dir.filePath(QStringLiteral("settings.conf")); }

private:
    QTemporaryDir m_dir;
};

Parsed parse(const QByteArray& bytes, QSettings::Format format)
{
    Parsed parsed;
    if (bytes.isEmpty())
        return parsed;
    // Qt only ever writes UTF-8; anything else would be rewritten with
    // replacement characters and the original bytes lost.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    parsed.damaged = utf8.hasError();

    ScratchFile scratch;
    QFile copy(scratch.path());
    if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() || !copy.flush())
        throw Failure(copy.errorString());
    copy.close();
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

QByteArray format(const Values& values, QSettings::Format format)
{
    ScratchFile scratch;
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
    return file.readAll();
}

// Makes the file readable and writable by its owner only before it is
// written: it holds the API key. Replacing a file keeps its permissions.
void restrictToOwner(const QString& path)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw Failure(QStringLiteral("The folder %1 cannot be created")
                          .arg(QDir::toNativeSeparators(info.absolutePath())));
    if (info.exists()) {
        // The "user" bits only repeat the owner's for the current user.
        const auto kept = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
        if (info.isFile() && (info.permissions() & ~kept) != kOwnerOnly)
            QFile::setPermissions(path, kOwnerOnly);
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        file.close();
    QFile::setPermissions(path, kOwnerOnly);
}

} // namespace

SettingsStore::SettingsStore() : m_format(QSettings::NativeFormat)
{
    auto native =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QStringLiteral("Halvren"), QStringLiteral("Quillmore"));
    if (QDir::isAbsolutePath(native->fileName())) {
        m_path = native->fileName();
        native.reset();
        load();
    } else {
        m_registry = std::move(native);
    }
}

SettingsStore::SettingsStore(const QString& iniFile)
    : m_path(QFileInfo(iniFile).absoluteFilePath()), m_format(QSettings::IniFormat)
{
    load();
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::fileName() const
{
    return m_registry ? m_registry->fileName() : m_path;
}

void SettingsStore::load()
{
    const QFileInfo info(m_path);
    if (!info.exists())
        return;
    if (!info.isFile()) {
        setAside();
        return;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        setAside();
        return;
    }
    Parsed parsed;
    try {
        parsed = parse(file.readAll(), m_format);
    } catch (const Failure&) {
        // Nothing to compare the file against: leave it for the first write,
        // which fails the same way, rather than call it damaged.
        return;
    }
    if (!parsed.damaged) {
        m_values = parsed.values;
        return;
    }
    // A damaged file would take every later save down with it. Keep it for
    // inspection, start afresh, and rescue what the program itself put there.
    setAside();
    for (const QString& key : {kPhoneNumbersKey, kApiKeyKey}) {
        const QVariant value = parsed.values.value(key);
        if (value.typeId() == QMetaType::QString &&
            !value.toString().contains(QChar::ReplacementCharacter))
            m_values.insert(key, value);
    }
}

void SettingsStore::setAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside =
            m_path + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    // When even this fails (a folder that cannot be moved), the session goes
    // on with what it holds in memory and every write says why it failed.
    QDir().rename(m_path, aside);
}

QString SettingsStore::readSetting(const QString& key, const QString& defaultValue) const
{
    const QVariant v = m_registry ? m_registry->value(key) : m_values.value(key);
    if (!v.isValid())
        return defaultValue;
    // A hand-edited file can hold a list where a string belongs; keep what it says.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

void SettingsStore::writeSetting(const QString& key, const QString& value)
{
    if (m_registry) {
        writeRegistry(key, value);
        return;
    }
    Values values = m_values;
    values.insert(key, value);
    // The whole file every time, so a key typed just before a crash is kept
    // and a failed write leaves nothing behind to spoil the next one.
    writeFile(values);
    m_values = std::move(values);
}

void SettingsStore::removeSetting(const QString& key)
{
    if (m_registry) {
        m_registry->remove(key);
        m_registry->sync();
        if (m_registry->status() != QSettings::NoError)
            throw Failure(QStringLiteral("The setting could not be removed"));
        return;
    }
    if (!m_values.contains(key))
        return;
    Values values = m_values;
    values.remove(key);
    writeFile(values);
    m_values = std::move(values);
}

void SettingsStore::writeFile(const Values& values)
{
    const QByteArray bytes = format(values, m_format);
    if (QFileInfo(m_path).isDir())
        setAside();
    restrictToOwner(m_path);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(file.errorString());
    // Writes are buffered: a full disk may only show at the flush.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString error = file.errorString();
        file.cancelWriting();
        throw Failure(error);
    }
    if (!file.commit())
        throw Failure(file.errorString());
}

void SettingsStore::writeRegistry(const QString& key, const QString& value)
{
    m_registry->setValue(key, value);
    m_registry->sync();
    const QSettings::Status status = m_registry->status();
    if (status == QSettings::NoError)
        return;
    // The status never clears and the unsaved value would go out with the
    // next write: start again from what is really stored.
    const QString organization = m_registry->organizationName();
    const QString application = m_registry->applicationName();
    m_registry.reset();
    m_registry = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             organization, application);
    throw Failure(status == QSettings::AccessError
                      ? QStringLiteral("Permission denied")
                      : QStringLiteral("The settings file is damaged and was not written"));
}

} // namespace quillmore
