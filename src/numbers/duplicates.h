#pragma once

#include "numbers/phonenumbers.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {

// Positions (0-based, ascending) of the entries that stand for the same
// number as an earlier entry: the same E.164 form where the library finds
// both valid, however they were spelt ("413-592-3823" and "+1 (413) 592 3823"),
// and otherwise equal digits as the request sends them. The first of each is
// kept; an entry without digits is never a duplicate. `classes` holds one
// class per entry (PhoneNumbers::classify).
QList<int> duplicateNumberIndices(const QStringList& entries, const QList<NumberClass>& classes);

// "N duplicate numbers removed.", with the one and none cases.
QString duplicatesRemovedText(qsizetype removed);

} // namespace quillmore
