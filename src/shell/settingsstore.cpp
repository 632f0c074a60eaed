#include "shell/settingsstore.h"

#include "shell/errorreport.h"
#include "shell/safefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace quillmore {

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// A write takes milliseconds; a lock held longer than this by a copy that is
// still running is one that hangs. A crashed copy's lock goes at once.
constexpr int kStaleLockMs = 10000;
// How long a write waits for another copy's write before it gives up and
// keeps its value for the next one.
constexpr int kLockWaitMs = 2000;

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Every read and replacement of the file happens under this lock, so two
// running copies never write from the same old state.
class SettingsLock
{
public:
    explicit SettingsLock(const QString& path) : m_lock(path + QStringLiteral(".lock"))
    {
        m_lock.setStaleLockTime(kStaleLockMs);
        if (m_lock.tryLock(kLockWaitMs))
            return;
        if (m_lock.error() == QLockFile::LockFailedError)
            throw Failure(
                QStringLiteral("The settings file %1 is being written by another copy of %2")
                    .arg(native(path), QStringLiteral("Quillmore")));
        throw Failure(
            QStringLiteral("The settings file %1 cannot be locked for writing").arg(native(path)));
    }

private:
    QLockFile m_lock;
};

void makeFolder(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw Failure(QStringLiteral("The folder %1 cannot be created").arg(native(folder)));
}

// Makes the file readable and writable by its owner only before it is
// written: it holds the API key. Replacing a file keeps its permissions.
void restrictToOwner(const QString& path)
{
    makeFolder(path);
    const QFileInfo info(path);
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
    if (!QFileInfo::exists(m_path))
        return;
    try {
        SettingsLock lock(m_path);
        removeLeftoverScratch(m_path);
        bool setAside = false;
        m_values = readCurrent(setAside);
        if (!setAside || m_values.isEmpty())
            return;
        // What was rescued from a damaged file is stored at once: it would
        // otherwise live only in the file set aside.
        try {
            writeFile(m_values);
        } catch (const Failure&) {
            m_pending = m_values;
        }
    } catch (const Failure& failure) {
        m_readFailed = true;
        m_loadProblem = failure.description();
    }
}

// The file as it is now. A damaged file, or whatever else stands in its
// place, is set aside (`setAside` says so), and what the program itself put
// there is rescued. Throws Failure when the file cannot be read: nothing may
// then replace it.
SettingsValues SettingsStore::readCurrent(bool& setAside)
{
    setAside = false;
    const QFileInfo info(m_path);
    if (!info.exists())
        return {};
    if (!info.isFile()) {
        moveAside();
        setAside = true;
        return {};
    }
    QFile file(m_path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("The settings file %1 cannot be read: %2")
                          .arg(native(m_path), file.errorString()));
    const ParsedSettings parsed = parseSettings(bytes, m_format, m_path);
    if (!parsed.damaged)
        return parsed.values;
    // A damaged file would take every later save down with it. Keep it for
    // inspection and start afresh.
    moveAside();
    setAside = true;
    SettingsValues kept;
    for (const QString& key : {kPhoneNumbersKey, kApiKeyKey}) {
        const QVariant value = parsed.values.value(key);
        if (value.typeId() == QMetaType::QString &&
            !value.toString().contains(QChar::ReplacementCharacter))
            kept.insert(key, value);
    }
    return kept;
}

void SettingsStore::moveAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside =
            m_path + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    // What cannot be kept aside is not written over either.
    if (!QDir().rename(m_path, aside))
        throw Failure(
            QStringLiteral("The damaged settings file %1 cannot be set aside").arg(native(m_path)));
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
    // Writing back what was read is no change: it must neither undo what
    // another copy stored since nor, after a failed read, put an empty
    // value over the one that could not be read.
    const bool unchanged =
        m_readFailed ? readSetting(key) == value : m_values.value(key) == QVariant(value);
    if (!unchanged) {
        m_pending.insert(key, value);
        m_values.insert(key, value);
    } else if (m_pending.isEmpty()) {
        return;
    }
    flush();
}

void SettingsStore::removeSetting(const QString& key)
{
    if (m_registry) {
        writeRegistry(key, QVariant());
        return;
    }
    m_pending.insert(key, QVariant());
    m_values.remove(key);
    flush();
}

void SettingsStore::flush()
{
    makeFolder(m_path);
    SettingsLock lock(m_path);
    bool setAside = false;
    SettingsValues values = readCurrent(setAside);
    if (setAside) {
        // Nothing sound is left in the file: what this store last read is the
        // best there is, and what could be rescued is newer.
        SettingsValues known = m_values;
        known.insert(values);
        values = known;
    }
    m_readFailed = false;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value().isValid())
            values.insert(it.key(), it.value());
        else
            values.remove(it.key());
    }
    m_values = values;
    writeFile(values);
    m_pending.clear();
}

void SettingsStore::writeFile(const SettingsValues& values)
{
    restrictToOwner(m_path);
    const QByteArray bytes = formatSettings(values, m_format, m_path);
    saveWholeFile(m_path, [&](QIODevice& file) { writeAllOrThrow(file, bytes); });
}

// An invalid value removes the key.
void SettingsStore::writeRegistry(const QString& key, const QVariant& value)
{
    if (value.isValid())
        m_registry->setValue(key, value);
    else
        m_registry->remove(key);
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
