#pragma once

#include "history/storedanswer.h"
#include "shell/resultrecord.h"

#include <QString>

namespace quillmore {

class PhoneNumbers;

// A result row as the history keeps it, and back.
//
// The row's status is stored by name, the RowStatus's own ("Active",
// "CouldNotConnect", ...), with the reason of a row not sent after a slash
// ("NotSent/NoNumber"): names stay what they are when the enum is
// reordered. Rows taken in from earlier versions' journals carry their
// Status cell instead; their status is then read back from the cells, as
// the journals' rows always were.
QString rowStatusName(const ResultRecord& record);
// Sets the status, the reason and the line type of `record` from a stored
// name; a name it does not know reads them from the cells.
void applyRowStatusName(ResultRecord& record, const QString& name);

// A row as it arrives: the number as typed and as sent, its E.164 form, and
// whether it is an answer the service gave; the time, program and session
// are the caller's to set.
StoredAnswer storedAnswerOf(const ResultRecord& record, const PhoneNumbers& numbers);
// The row a stored answer shows, unticked.
ResultRecord recordOf(const StoredAnswer& answer);

} // namespace quillmore
