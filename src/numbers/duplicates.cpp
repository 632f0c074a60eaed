#include "numbers/duplicates.h"

#include "shell/counttext.h"
#include "shell/fileutil.h"

#include <QSet>

namespace quillmore {

QList<int> duplicateNumberIndices(const QStringList& entries, const QList<NumberClass>& classes)
{
    QList<int> duplicates;
    QSet<QString> seen;
    seen.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const NumberClass cls = classes.value(i);
        // An E.164 form starts with "+", so it never meets a digits-only key.
        const QString key =
            cls.verdict == NumberClass::Verdict::Valid ? cls.e164 : digitsOnly(entries.at(i));
        if (key.isEmpty())
            continue;
        if (seen.contains(key))
            duplicates << i;
        else
            seen.insert(key);
    }
    return duplicates;
}

QString duplicatesRemovedText(qsizetype removed)
{
    if (removed == 0)
        return QStringLiteral("No duplicate numbers found.");
    return countText("%n duplicate number(s) removed.", removed);
}

} // namespace quillmore
