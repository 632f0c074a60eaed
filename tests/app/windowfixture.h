#pragma once

#include "appcontext.h"
#include "clipboard.h"
#include "exportfakes.h"
#include "scripteddialogs.h"
#include "settingsstore.h"
#include "spreadsheet.h"

#include <QTemporaryDir>

#include <memory>

namespace quillmore::test {

using RecordingClipboard = quillmore::testing::RecordingClipboard;

// Everything a window needs, scripted and private to one test: its own
// settings file, program folder and temporary folder.
struct WindowFixture
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<SettingsStore> settings;
    std::shared_ptr<RecordingClipboard> clipboard = std::make_shared<RecordingClipboard>();
    AppContext context;

    WindowFixture()
    {
        settings = std::make_unique<SettingsStore>(settingsFile());
        context.dialogs = &dialogs;
        context.settings = settings.get();
        QDir().mkpath(programFolder());
        QDir().mkpath(tempFolder());
        context.programFolder = programFolder();
        context.lookup = LookupConfig::defaults();
        context.lookup.tempFolder = tempFolder();
        context.clipboard = clipboard;
        context.spreadsheet = std::make_shared<XlsxSpreadsheetLauncher>(
            dialogs, [] { return SpreadsheetHandler{}; }, tempFolder());
    }

    QString settingsFile() const { return dir.filePath(QStringLiteral("settings/Quillmore.conf")); }
    QString programFolder() const { return dir.filePath(QStringLiteral("program")); }
    QString tempFolder() const { return dir.filePath(QStringLiteral("temp")); }
    QString storedValue(const QString& key) const
    {
        return SettingsStore(settingsFile()).readSetting(key, QStringLiteral("<missing>"));
    }
};

} // namespace quillmore::test
