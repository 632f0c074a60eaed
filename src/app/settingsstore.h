#pragma once

#include <QMap>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>

namespace quillmore {

inline const QString kPhoneNumbersKey = QStringLiteral("Phone Numbers");
inline const QString kApiKeyKey = QStringLiteral("Text1");

// The per-user store of the two things that outlive a run: the number list and
// the API key. Values come back exactly as written.
//
// Where the store is a file, the store keeps what it has read and written in
// memory and replaces the whole file at every write. Qt's own file cache
// would otherwise carry a failed write's state into every later one.
class SettingsStore
{
public:
    // The user's own store ("Halvren" / "Quillmore" in the platform's native place).
    SettingsStore();
    // A store kept in the given file; tests give each case its own.
    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();

    QString readSetting(const QString& key, const QString& defaultValue = {}) const;
    // Throws Failure when the value could not be stored; what was stored before
    // then stays, and the next write tries afresh.
    void writeSetting(const QString& key, const QString& value);
    // Throws Failure when the value could not be removed; the store then
    // stays as it was.
    void removeSetting(const QString& key);

    QString fileName() const;

private:
    void load();
    void setAside();
    void writeFile(const QMap<QString, QVariant>& values);
    void writeRegistry(const QString& key, const QString& value);

    QString m_path;
    QSettings::Format m_format;
    QMap<QString, QVariant> m_values;
    // Only where the platform store is no file (the registry).
    std::unique_ptr<QSettings> m_registry;
};

} // namespace quillmore
