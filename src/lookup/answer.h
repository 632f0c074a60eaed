#pragma once

#include <QByteArray>
#include <QString>

namespace quillmore {

// One line: TABs removed, CR LF, then lone CR, then lone LF each become one space.
QString flattenLines(QString text);

// The answer file's bytes as text. A first byte 0xFF or 0xFE means UTF-16
// little-endian (a byte-order mark stays as the first character); otherwise
// UTF-8, where each byte that is not part of a valid sequence becomes the
// character of the same number.
QString decodeAnswer(const QByteArray& bytes);

inline const QString kCouldNotConnect = QStringLiteral("Could not connect");
inline const QString kEmptyFile = QStringLiteral("empty file");

// A body that came back in memory as the answer text: "empty file" when it
// holds nothing, else decoded as decodeAnswer() does and flattened to one line.
QString answerFromBody(const QByteArray& body);

// The answer file as text: empty when there is no file, "empty file" when it
// holds nothing. Throws Failure when it exists but cannot be read.
QString readFileText(const QString& path);

enum class AnswerClass { QuotaExceeded, ApiWithdrawn, KeyRejected, Answer };

// The service's error texts, tested in this order; the first that matches wins.
AnswerClass classifyAnswer(const QString& answer);

// An answer that came with a status outside 2xx: a failure of the service or
// of a gateway before it, never a result. (The service's own error texts are
// classified first and keep their messages.)
bool isErrorStatus(int httpStatus);

// The status cell of such an answer's row: "Service error (HTTP 503)".
QString serviceErrorStatus(int httpStatus);

// The message for a service error; for a normal answer the key test's "API Key is working.".
QString answerClassMessage(AnswerClass cls);

} // namespace quillmore
