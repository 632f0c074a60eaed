#include "numbers/invalidnumbers.h"

#include "shell/counttext.h"

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
    return countText("Remove %n number(s) that cannot be valid phone number(s)? They would still "
                     "be charged for.",
                     count);
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
    return countText("%n number(s) that cannot be valid removed.", removed);
}

} // namespace quillmore
