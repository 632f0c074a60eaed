#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quillmore {

class Dialogs;

// --- The request -----------------------------------------------------------

// The address of one lookup. Key and digits are inserted as they stand, but for
// blanks, quotes and control characters in the key, which are percent-encoded
// so that the key cannot split curl's command line into extra arguments.
QString requestAddress(const QString& baseUrl, const QString& apiKey, const QString& digits);

// The tool's whole command line: quoted tool path, the POST of the address and
// the quoted answer file.
QString curlCommandLine(const QString& toolPath, const QString& address,
                        const QString& responsePath);

// The digits 0 to 9 of a number as typed, after trimming its outer spaces.
QString digitsOnly(const QString& text);

// --- The answer --------------------------------------------------------------

// One line: TABs removed, CR LF, then lone CR, then lone LF each become one space.
QString flattenLines(QString text);

// The answer file's bytes as text. A first byte 0xFF or 0xFE means UTF-16
// little-endian (a byte-order mark stays as the first character); otherwise
// UTF-8, where each byte that is not part of a valid sequence becomes the
// character of the same number.
QString decodeAnswer(const QByteArray& bytes);

inline const QString kCouldNotConnect = QStringLiteral("Could not connect");
inline const QString kEmptyFile = QStringLiteral("empty file");

// The answer file as text: empty when there is no file, "empty file" when it
// holds nothing. Throws Failure when it exists but cannot be read.
QString readFileText(const QString& path);

// --- Classification ----------------------------------------------------------

enum class AnswerClass { QuotaExceeded, ApiWithdrawn, KeyRejected, Answer };

// The service's error texts, tested in this order; the first that matches wins.
AnswerClass classifyAnswer(const QString& answer);

// The message for a service error; for a normal answer the key test's "API Key is working.".
QString answerClassMessage(AnswerClass cls);

// --- Result rows -------------------------------------------------------------

// Reads one value of an answer; the lookup run passes the guarded reader.
using ValueReader = QString (*)(Dialogs&, const QString& answer, const QString& key);

// Street lines, city, zip4, state and country joined by ", "; a part whose
// value is exactly "null" is left out, every other one (empty ones too) stays.
QString locationText(Dialogs& dialogs, const QString& answer, ValueReader read);

// "Active" only for the value "true".
QString statusText(const QString& isActive);

// The six cells of a result row: number, type, name, location, provider, status.
QStringList resultRow(Dialogs& dialogs, const QString& answer, ValueReader read);

// 3, 4, 5 or 6 for a uniform value in [0, 1).
int randomPauseSeconds(double uniform);
// Draws from the program's random generator.
int randomPauseSeconds();

} // namespace quillmore
