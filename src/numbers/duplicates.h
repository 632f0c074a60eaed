#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {

// Positions (0-based, ascending) of the entries that ask the service for the
// same number as an earlier entry: equal digits as the request sends them,
// however they were spelt. The first of each is kept; an entry without
// digits is never a duplicate.
QList<int> duplicateNumberIndices(const QStringList& entries);

// "N duplicate numbers removed.", with the one and none cases.
QString duplicatesRemovedText(qsizetype removed);

} // namespace quillmore
