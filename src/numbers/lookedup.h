#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {

// Positions (0-based, ascending) of the entries whose number has a row in
// the results list already: equal digits, as the request sends them, to a
// row's number as typed or to its "Phone Number" cell. An entry without
// digits never matches.
QList<int> lookedUpNumberIndices(const QStringList& entries, const QStringList& rowNumbers);

// "N numbers already looked up removed.", with the one case; with no row at
// all "No number has been looked up yet.".
QString lookedUpRemovedText(qsizetype removed, qsizetype rows);

} // namespace quillmore
