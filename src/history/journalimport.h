#pragma once

#include "history/storedanswer.h"
#include "shell/resultrecord.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {

class HistoryStore;
class PhoneNumbers;

// What one start took in.
struct JournalImport
{
    int files = 0;
    int rows = 0;
    // Files left where they are for the next start: in use by a running
    // command-line run, unreadable, or not renamed after their rows were taken in.
    QStringList leftOver;
};

// The journals of earlier versions become history, once, at the first start:
// the desktop's sessions in `dataFolder` ("results-<N>.journal" oldest first,
// then the one-previous-session layout's "results.journal.previous" and
// "results.journal") as desktop sessions that "Restore Last Results" offers,
// and the command-line runs' journals ("runs/<run>.journal") as unfinished
// runs under their run key <run>. A session's rows are what its journal
// rebuilds (the journal format's own reader); each is received at the file's
// last change. Each file taken in is renamed "<name>.imported", so nothing a
// user had is lost and nothing is taken in twice. Sessions already restored
// ("...journal.restored") have their rows in a later session and stay as they
// are. A failure of the store throws Failure (once, as the store tells it).
//
// `runs` false leaves the command-line runs' journals where they are: a
// program that does not resume them must not take them from the one that does.
JournalImport importJournals(HistoryStore& store, const QString& dataFolder,
                             const PhoneNumbers& numbers, bool runs = true);

// An earlier version's row as the history keeps it: its digits and E.164
// form, and whether it was an answer the service gave. The journals kept no
// HTTP status; a row that says it was a service error counts as one.
StoredAnswer importedAnswer(const ResultRecord& record, const PhoneNumbers& numbers);

} // namespace quillmore
