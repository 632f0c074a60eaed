#pragma once

#include "shell/resultrecord.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace quillmore {

// The lines of a results journal and their reading back.
//
// UTF-8 text, one JSON object per line, each ended by LF, with "op" saying
// what happened to the list:
//   {"op":"append","id":<row id>,"number":"<as typed>","cells":["...",...],"answer":"<raw answer>"}
//   {"op":"remove","id":<row id>}
//   {"op":"clear"}
// A row id names one row of one session for good, whatever was written or
// lost before it, so a line that never reached the disk cannot make a later
// remove take the wrong row. Journals of earlier versions have appends without
// an id and name the removed row by its position at that moment:
//   {"op":"remove","index":<0-based position>}
// and are read the same way.
//
// Replaying the lines in order rebuilds the list. Whatever the reader does not
// know is passed over: a line that is not one complete JSON object (the torn
// last line of a killed program), a line of another op, a member of another
// name or of another kind (null, true, false, a fraction, a nested object or
// array), an append without its number or cells, a remove of a row that is
// not there. Ticked states are not kept: rows come back unticked.

// Without an id the line is an earlier version's append, which is what the
// command line's run journals write: they never remove a row.
QByteArray journalAppendLine(std::optional<quint64> id, const ResultRecord& record);
QByteArray journalRemoveLine(quint64 id);
QByteArray journalClearLine();

// Rebuilds a list from a journal's text.
QList<ResultRecord> replayJournal(const QByteArray& text);

// Whether the list a journal's text rebuilds may hold rows: false only when it
// surely holds none. Reads only the lines' ops and ids, many times faster than
// a replay, so that a start can sort many large journals quickly.
bool journalMayHoldRows(const QByteArray& text);

} // namespace quillmore
