#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace quillmore {

class PhoneNumbers;

// What forgetting numbers did to the journals of earlier versions.
struct JournalForget
{
    int files = 0; // files rewritten
    int rows = 0;  // rows of the forgotten numbers removed from them
    // One line for the user for each file that still holds them.
    QStringList failures;
};

// The journals of earlier versions that the history took in stay in the
// data folder, renamed "<name>.imported" (and "runs/<run>.journal.imported"),
// as do the desktop's restored sessions ("<name>.journal.restored"). Every
// row there whose number's key (E.164 form, else digits: what the history
// matches on) is in `keys` is taken out of them: each file that holds one is
// written anew through the one safe writer, without those rows, and stays
// readable by the importer as before. A file that cannot be read or
// rewritten is told in `failures`; the others are still done.
JournalForget forgetInJournals(const QString& dataFolder, const QSet<QString>& keys,
                               const PhoneNumbers& numbers);

} // namespace quillmore
