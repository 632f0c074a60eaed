#pragma once

#include <QByteArray>
#include <QMap>
#include <QSettings>
#include <QString>
#include <QVariant>

namespace quillmore {

using SettingsValues = QMap<QString, QVariant>;

struct ParsedSettings
{
    SettingsValues values;
    bool damaged = false;
};

// Qt's own reading and writing of a settings file's bytes. Qt keeps every
// settings file it has opened in a process-wide cache, pending changes and
// error status included, so both go through a private copy under a name no
// other object will ever open. That copy lives in a scratch folder beside
// `settingsFile`: the settings need nothing outside their own folder, which a
// full or missing temporary folder would otherwise take down. Both throw
// Failure when the scratch copy cannot be made; formatSettings also when its
// bytes do not read back as `values`.
ParsedSettings parseSettings(const QByteArray& bytes, QSettings::Format format,
                             const QString& settingsFile);
QByteArray formatSettings(const SettingsValues& values, QSettings::Format format,
                          const QString& settingsFile);

// Scratch folders that a copy of the program left beside `settingsFile` when
// it crashed. Only safe while holding the settings file's lock, under which
// every scratch folder is made and removed.
void removeLeftoverScratch(const QString& settingsFile);

} // namespace quillmore
