#include "numbers/invalidnumbers.h"

namespace quillmore {

namespace {

constexpr qsizetype kDetailEntries = 10;

} // namespace

QList<int> cannotBeValidIndices(const QList<NumberClass>& classes)
{
    QList<int> indices;
    for (int i = 0; i < classes.size(); ++i)
        if (classes.at(i).verdict == NumberClass::Verdict::CannotBeValid)
            indices << i;
    return indices;
}

QString cannotBeValidQuestion(qsizetype count)
{
    if (count == 1)
        return QStringLiteral("Remove 1 number that cannot be a valid phone number? It would still "
                              "be charged for.");
    return QStringLiteral("Remove %1 numbers that cannot be valid phone numbers? They would still "
                          "be charged for.")
        .arg(count);
}

QString cannotBeValidDetails(const QStringList& entries, const QList<int>& indices)
{
    QStringList lines;
    for (qsizetype i = 0; i < std::min(indices.size(), kDetailEntries); ++i)
        lines << entries.value(indices.at(i));
    if (indices.size() > kDetailEntries)
        lines << QStringLiteral("and %1 more").arg(indices.size() - kDetailEntries);
    return lines.join(QLatin1Char('\n'));
}

QString cannotBeValidRemovedText(qsizetype removed)
{
    if (removed == 0)
        return QStringLiteral("Every number can be valid.");
    if (removed == 1)
        return QStringLiteral("1 number that cannot be valid removed.");
    return QStringLiteral("%1 numbers that cannot be valid removed.").arg(removed);
}

} // namespace quillmore
