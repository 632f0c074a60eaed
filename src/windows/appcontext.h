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
class ResultsJournal;

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
    ResultsJournal* journal = nullptr; // may be null: results then last the session only
    // Where numbers written without a country code belong (ISO 3166 code);
    // none is the US. The program gives the system locale's.
    QString numberRegion;
};

} // namespace quillmore
