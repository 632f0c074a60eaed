#pragma once

#include "lookup/lookupconfig.h"

#include <QString>

#include <memory>

namespace quillmore {

class Dialogs;
class SettingsStore;
class KeyStore;
class Clipboard;
class SpreadsheetLauncher;
class HistoryStore;

// What the windows take from outside; the program fills it with the real
// desktop, tests with scripted stand-ins.
struct AppContext
{
    Dialogs* dialogs = nullptr;
    SettingsStore* settings = nullptr;
    KeyStore* keys = nullptr;
    QString programFolder;
    LookupConfig lookup;
    std::shared_ptr<Clipboard> clipboard;
    std::shared_ptr<SpreadsheetLauncher> spreadsheet;
    // Where every answer is kept, and this start's session in it. May be
    // null, or off after a failure: results then last the session only.
    HistoryStore* history = nullptr;
    qint64 historySession = 0;
    // Where numbers written without a country code belong (ISO 3166 code);
    // none is the US. The program gives the system locale's.
    QString numberRegion;
};

} // namespace quillmore
