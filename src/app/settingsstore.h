#pragma once

#include <QString>

#include <functional>
#include <memory>

class QSettings;

namespace quillmore {

inline const QString kPhoneNumbersKey = QStringLiteral("Phone Numbers");
inline const QString kApiKeyKey = QStringLiteral("Text1");

// The per-user store of the two things that outlive a run: the number list and
// the API key. Values come back exactly as written.
class SettingsStore
{
public:
    // The user's own store ("Halvren" / "Quillmore" in the platform's native place).
    SettingsStore();
    // A store kept in the given file; tests give each case its own.
    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();

    QString readSetting(const QString& key, const QString& defaultValue = {}) const;
    // Throws Failure when the value could not be stored; the old value then stays.
    void writeSetting(const QString& key, const QString& value);

    QString fileName() const;

private:
    void restrictToOwner();
    void setAsideIfDamaged(const std::function<std::unique_ptr<QSettings>()>& reopen);
    std::unique_ptr<QSettings> m_settings;
    bool m_ownerOnly = false;
};

} // namespace quillmore
