#pragma once

#include "shell/settingsformat.h"

#include <QSettings>
#include <QString>

#include <memory>

namespace quillmore {

inline const QString kPhoneNumbersKey = QStringLiteral("Phone Numbers");
inline const QString kApiKeyKey = QStringLiteral("Text1");

// The per-user store of the two things that outlive a run: the number list and
// the API key. Values come back exactly as written.
//
// Where the store is a file, every write changes only the keys it means to
// change: under a lock beside the file it reads the file as it is now (another
// running copy may have changed it), changes those keys and replaces the file.
// The file is never replaced unless it could be read first: a value that
// could not be written is kept in memory and goes out with the next write
// that works.
class SettingsStore
{
public:
    // The user's own store ("Halvren" / "Quillmore" in the platform's native place).
    SettingsStore();
    // A store kept in the given file; tests give each case its own.
    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();

    // Why the stored settings could not be read when the store was made, in
    // words for the user; empty when they could. The store itself shows nothing.
    QString loadProblem() const { return m_loadProblem; }

    // What this store last read, with its own changes on top.
    QString readSetting(const QString& key, const QString& defaultValue = {}) const;
    // Throws Failure when the value could not be stored; the value is kept
    // and stored with the next write that works. Writing back the value the
    // store already holds touches nothing.
    void writeSetting(const QString& key, const QString& value);
    // Removes the key from the store, with the same rules as a write.
    void removeSetting(const QString& key);

    QString fileName() const;

private:
    void load();
    SettingsValues readCurrent(bool& setAside);
    void flush();
    void moveAside();
    void writeFile(const SettingsValues& values);
    void writeRegistry(const QString& key, const QVariant& value);

    QString m_path;
    QSettings::Format m_format;
    // The file as last read, with the pending changes applied.
    SettingsValues m_values;
    // Changes not yet in the file; an invalid value stands for a removal.
    SettingsValues m_pending;
    // Until a read works, what the store holds says nothing about the file.
    bool m_readFailed = false;
    QString m_loadProblem;
    // Only where the platform store is no file (the registry).
    std::unique_ptr<QSettings> m_registry;
};

} // namespace quillmore
