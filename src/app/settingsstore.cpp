#include "settingsstore.h"

#include "errorreport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace quillmore {

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("Halvren"),
                                             QStringLiteral("Quillmore")))
{
    setAsideIfDamaged([] {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("Halvren"), QStringLiteral("Quillmore"));
    });
}

SettingsStore::SettingsStore(const QString& iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
    setAsideIfDamaged(
        [iniFile] { return std::make_unique<QSettings>(iniFile, QSettings::IniFormat); });
}

void SettingsStore::setAsideIfDamaged(const std::function<std::unique_ptr<QSettings>()>& reopen)
{
    // Qt never writes over a file it could not parse, so a damaged file would
    // silently swallow every later save. Keep it for inspection under another
    // name and start afresh.
    if (m_settings->status() != QSettings::FormatError)
        return;
    const QString path = m_settings->fileName();
    if (!QFileInfo(path).isFile())
        return;
    m_settings.reset();
    const QString aside = path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QFile::rename(path, aside);
    m_settings = reopen();
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}

QString SettingsStore::readSetting(const QString& key, const QString& defaultValue) const
{
    const QVariant v = m_settings->value(key);
    if (!v.isValid())
        return defaultValue;
    // A hand-edited file can hold a list where a string belongs; keep what it says.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

void SettingsStore::restrictToOwner()
{
    // The file holds the API key: make it before Qt does, readable by its owner
    // only. Later rewrites keep the permissions of the file they replace, so
    // this is looked at once, not at every keystroke.
    if (m_ownerOnly)
        return;
    m_ownerOnly = true;
    const QString path = m_settings->fileName();
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return; // the registry: nothing to do
    QFileInfo info(path);
    if (info.exists())
        return;
    QDir().mkpath(info.absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void SettingsStore::writeSetting(const QString& key, const QString& value)
{
    restrictToOwner();
    const QVariant before = m_settings->value(key);
    m_settings->setValue(key, value);
    // Written through at once, so a key typed just before a crash is not lost.
    m_settings->sync();
    const QSettings::Status status = m_settings->status();
    if (status != QSettings::NoError) {
        // Keep the in-memory view in step with what is really stored.
        if (before.isValid())
            m_settings->setValue(key, before);
        else
            m_settings->remove(key);
        throw Failure(status == QSettings::AccessError
                          ? QStringLiteral("Permission denied")
                          : QStringLiteral("The settings file is damaged and was not written"));
    }
}

} // namespace quillmore
