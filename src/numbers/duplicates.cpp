#include "duplicates.h"

#include "fileutil.h"

#include <QSet>

namespace quillmore {

QList<int> duplicateNumberIndices(const QStringList& entries)
{
    QList<int> duplicates;
    QSet<QString> seen;
    seen.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const QString digits = digitsOnly(entries.at(i));
        if (digits.isEmpty())
            continue;
        if (seen.contains(digits))
            duplicates << i;
        else
            seen.insert(digits);
    }
    return duplicates;
}

QString duplicatesRemovedText(qsizetype removed)
{
    if (removed == 0)
        return QStringLiteral("No duplicate numbers found.");
    if (removed == 1)
        return QStringLiteral("1 duplicate number removed.");
    return QStringLiteral("%1 duplicate numbers removed.").arg(removed);
}

} // namespace quillmore
