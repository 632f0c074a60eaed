#pragma once

#include "shell/errorreport.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace quillmore {

// The value after the first occurrence of `key` (any letter case) in a
// one-line answer, up to and including the next comma (or else the next quote
// followed by a space), with every double quote, comma and colon taken out.
// This is a text search, not a JSON parser: nesting, escapes and string
// boundaries mean nothing to it. Empty when the text is empty or lacks the key.
// Throws Failure("Invalid procedure call or argument") when there is no end mark
// or it stands directly after the key.
QString jsValueCore(QStringView text, QStringView key);

// The same, giving the empty text instead of failing; the failure goes to
// `failures` (when given) for the caller to report.
QString getJSValue(const QString& text, const QString& key, QList<Failure>* failures = nullptr);

// Where `key` first occurs in `text` regardless of letter case, or -1.
qsizetype findIgnoringCase(QStringView text, QStringView key);

} // namespace quillmore
