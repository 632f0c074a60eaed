#pragma once

#include "numbers/phonenumbers.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {

// Positions (0-based, ascending) of the entries that cannot be valid numbers;
// entries without digits are not among them.
QList<int> cannotBeValidIndices(const QList<NumberClass>& classes);

// Asked before they go: "Remove N numbers that cannot be valid phone numbers?
// They would still be charged for."
QString cannotBeValidQuestion(qsizetype count);

// The question's details: the first ten of those entries, one a line, and
// how many more there are.
QString cannotBeValidDetails(const QStringList& entries, const QList<int>& indices);

// "N numbers that cannot be valid removed.", with the one and none cases.
QString cannotBeValidRemovedText(qsizetype removed);

} // namespace quillmore
