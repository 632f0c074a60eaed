#pragma once

#include "desktop/clipboard.h"
#include "desktop/spreadsheet.h"
#include "history/historystore.h"
#include "shell/keystore.h"
#include "shell/settingsstore.h"
#include "support/exportfakes.h"
#include "support/scripteddialogs.h"
#include "windows/appcontext.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

namespace quillmore::test {

using RecordingClipboard = quillmore::test::RecordingClipboard;

// Everything a window needs, scripted and private to one test: its own
// settings file, key store, program folder, temporary and cache folders.
//
// Lookups go to a stand-in for the transfer tool that never touches the
// network: it answers a request with the file named after the request's
// digits (a "%2B" before them aside) in answersFolder() (see answerWith()), leaves no answer for
// any other number (so the request ends as "Could not connect"), and notes every config line it was
// handed in requestsLog(). Pauses take no time; the lengths asked for are kept in `pauses`.
struct WindowFixture
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<KeyStore> keys;
    std::shared_ptr<RecordingClipboard> clipboard = std::make_shared<RecordingClipboard>();
    QList<std::chrono::milliseconds> pauses;
    // Runs as each pause begins, as a user's click during the pause would.
    std::function<void()> onPause;
    // Set by keepResults(); without it the window keeps no history.
    std::unique_ptr<HistoryStore> history;
    AppContext context;

    WindowFixture()
    {
        settings = std::make_unique<SettingsStore>(settingsFile());
        keys = std::make_unique<KeyStore>(settings.get());
        context.dialogs = &dialogs;
        context.settings = settings.get();
        context.keys = keys.get();
        for (const QString& folder : {programFolder(), tempFolder(), answersFolder()})
            QDir().mkpath(folder);
        context.programFolder = programFolder();
        context.lookup = LookupConfig::defaults();
        context.lookup.serviceUrl = QStringLiteral("https://127.0.0.1:9");
        const QByteArray tool = answeringTool();
        context.lookup.curlBytes = [tool] { return tool; };
        context.lookup.bundleBytes = [] { return QByteArray("no certificates needed\n"); };
        context.lookup.builtCurl.clear();
        context.lookup.tempFolder = tempFolder();
        context.lookup.cacheFolder = dir.filePath(QStringLiteral("cache"));
        context.lookup.randomPauseSeconds = [] { return 4; };
        context.lookup.pauseLength = [this](std::chrono::milliseconds asked) {
            pauses << asked;
            if (onPause)
                onPause();
            return std::chrono::milliseconds(0);
        };
        context.clipboard = clipboard;
        context.spreadsheet = std::make_shared<XlsxSpreadsheetLauncher>(
            dialogs, [] { return SpreadsheetHandler{}; }, tempFolder());
    }

    QString settingsFile() const { return dir.filePath(QStringLiteral("settings/Quillmore.conf")); }
    QString programFolder() const { return dir.filePath(QStringLiteral("program")); }
    QString tempFolder() const { return dir.filePath(QStringLiteral("temp")); }
    QString answersFolder() const { return dir.filePath(QStringLiteral("answers")); }
    QString requestsLog() const { return dir.filePath(QStringLiteral("requests.log")); }
    QString historyFolder() const { return dir.filePath(QStringLiteral("data")); }

    // Windows made from `context` from now on keep their results in a
    // history in historyFolder(), as the program does in the user's data
    // folder. Each call is a new start of the program: a session of its own.
    HistoryStore& keepResults()
    {
        if (!history) {
            history = std::make_unique<HistoryStore>(historyFolder());
            history->open();
        }
        context.history = history.get();
        context.historySession = history->startSession(kDesktopProgram);
        return *history;
    }
    QString storedValue(const QString& key) const
    {
        return SettingsStore(settingsFile()).readSetting(key, QStringLiteral("<missing>"));
    }

    // The stand-in tool's answer to a request for these digits, byte for byte.
    void answerWith(const QString& digits, const QByteArray& answer) const
    {
        QFile file(QDir(answersFolder()).filePath(digits));
        if (!file.open(QIODevice::WriteOnly) || file.write(answer) != answer.size())
            qFatal("cannot write the canned answer for %s", qPrintable(digits));
    }

    // Lookups through the transfer tool the program carries, to this service.
    void useService(const QString& serviceUrl, const QByteArray& caPem)
    {
        const LookupConfig carried = LookupConfig::defaults();
        context.lookup.serviceUrl = serviceUrl;
        context.lookup.curlBytes = carried.curlBytes;
        context.lookup.bundleBytes = [caPem] { return caPem; };
        context.lookup.builtCurl = carried.builtCurl;
    }

    // The config lines the stand-in tool was handed, one per request it ran.
    QStringList requestLines() const
    {
        QFile file(requestsLog());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    // Started as `tool -X POST -K - --output FILE --write-out ...` with the
    // request's `url = "..."` line on standard input, like the real one, and
    // reports the HTTP status 200 as the real one's --write-out does.
    QByteArray answeringTool() const
    {
        const QByteArray answers = answersFolder().toUtf8();
        const QByteArray log = requestsLog().toUtf8();
        return "#!/bin/sh\n"
               "line=$(cat)\n"
               "printf '%s\\n' \"$line\" >> '" +
               log +
               "'\n"
               "digits=$(printf '%s' \"$line\" | sed -n "
               "'s/.*[?&]phone=\\(%2B\\)\\{0,1\\}\\([0-9]*\\).*/\\2/p')\n"
               "[ -n \"$digits\" ] && [ -f '" +
               answers + "'/\"$digits\" ] && cp '" + answers +
               "'/\"$digits\" \"$6\"\n"
               "printf 200\n"
               "exit 0\n";
    }
};

// A service answer that the results list shows as exactly these six cells
// (number, type, name, location, provider, "Active" or anything else). The
// location is given as the country part with every other part null, so it
// reads unchanged; the cells may hold no ',', ':' or '"'.
inline QByteArray answerShownAs(const QStringList& cells)
{
    const auto text = [](const QString& value) { return '"' + value.toUtf8() + '"'; };
    const QByteArray location =
        cells.value(3).isEmpty() ? QByteArray("null") : text(cells.value(3));
    return "{\"phone_number\":" + text(cells.value(0)) + ",\"line_type\":" + text(cells.value(1)) +
           ",\"carrier\":" + text(cells.value(4)) +
           ",\"belongs_to\":{\"name\":" + text(cells.value(2)) +
           ",\"age_range\":null},\"current_addresses\":[{\"street_line_1\":null,\"street_line_2\":"
           "null,"
           "\"city\":null,\"zip4\":null,\"state_code\":null,\"country_code\":" +
           location +
           ",\"is_active\":" + (cells.value(5) == QLatin1String("Active") ? "true" : "false") +
           ",\"delivery_point\":null}],\"error\":null}";
}

} // namespace quillmore::test
