#include "numbers/lookedup.h"

#include "shell/counttext.h"
#include "shell/fileutil.h"

#include <QSet>

namespace quillmore {

QList<int> lookedUpNumberIndices(const QStringList& entries, const QStringList& rowNumbers)
{
    QSet<QString> answered;
    answered.reserve(rowNumbers.size());
    for (const QString& number : rowNumbers) {
        const QString digits = digitsOnly(number);
        if (!digits.isEmpty())
            answered.insert(digits);
    }
    QList<int> found;
    for (int i = 0; i < entries.size(); ++i) {
        const QString digits = digitsOnly(entries.at(i));
        if (!digits.isEmpty() && answered.contains(digits))
            found << i;
    }
    return found;
}

QString lookedUpRemovedText(qsizetype removed, qsizetype rows)
{
    if (rows == 0)
        return QStringLiteral("No number has been looked up yet.");
    return countText("%n number(s) already looked up removed.", removed);
}

} // namespace quillmore
