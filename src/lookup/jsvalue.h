#pragma once

#include <QString>
#include <QStringView>

namespace quillmore {

class Dialogs;

// The value after the first occurrence of `key` (any letter case) in a
// one-line answer, up to and including the next comma (or else the next quote
// followed by a space), with every double quote, comma and colon taken out.
// This is a text search, not a JSON parser: nesting, escapes and string
// boundaries mean nothing to it. Empty when the text is empty or lacks the key.
// Throws Failure("Invalid procedure call or argument") when there is no end mark
// or it stands directly after the key.
QString jsValueCore(QStringView text, QStringView key);

// The same, reporting the failure under CurlFunctions.GetJSValue and giving
// the empty text instead.
QString getJSValue(Dialogs& dialogs, const QString& text, const QString& key);

// Where `key` first occurs in `text` regardless of letter case, or -1.
qsizetype findIgnoringCase(QStringView text, QStringView key);

} // namespace quillmore
