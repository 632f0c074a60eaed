#pragma once

#include "numbers/phonenumbers.h"
#include "shell/resultrecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

namespace quillmore {

// JSON Lines: UTF-8, no byte-order mark, one object per result, in list
// order, each ended by LF:
//   {"number":"<as typed>","e164":...,"valid":...,"row":{"<caption 1>":"<cell 1>",...},
//    "answer":...}
// "e164" and "valid" are what the phone-number library made of the number
// (PhoneNumbers::classify): the E.164 form and true for a valid number, null
// and false for one that cannot be valid, null and null for an entry without
// digits. They tell after the fact which paid lookups were for impossible
// numbers.
// "row" keeps the captions in column order: the object is written here
// rather than through QJsonObject, which would sort its keys. A record with
// fewer cells than captions gives "" for the missing ones. "answer" is the
// service's answer embedded as JSON when it is a JSON object or array, the
// answer as a JSON string when it is anything else, and null when the record
// has no answer text. A row answered from an earlier lookup rather than
// looked up again ends with "reused_from": the UTC time that answer was
// received, "2026-11-30T10:12:00Z"; other rows have no such member.

// ISO 8601 in UTC with "Z", to the second.
QString reusedFromText(const QDateTime& received);

// Appends an answer text as "answer" holds it: embedded JSON, a JSON string or null.
void appendAnswer(QString& out, const QString& answer);

// One record's line, LF included.
QByteArray jsonLine(const QStringList& captions, const ResultRecord& record,
                    const PhoneNumbers& numbers);

// Every record into an open device. Throws Failure when a write is refused.
void writeResultsJsonLines(const QStringList& captions, const QList<ResultRecord>& records,
                           const PhoneNumbers& numbers, QIODevice& device);

QByteArray resultsJsonLinesBytes(const QStringList& captions, const QList<ResultRecord>& records,
                                 const PhoneNumbers& numbers);

// Replaces `fileName` only with a complete file. Throws Failure naming the file.
void saveResultsAsJsonLines(const QStringList& captions, const QList<ResultRecord>& records,
                            const PhoneNumbers& numbers, const QString& fileName);

} // namespace quillmore
