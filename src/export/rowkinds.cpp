#include "export/rowkinds.h"

#include <QHash>

#include <algorithm>

namespace quillmore {

static QString statusKind(const ResultRecord& row)
{
    switch (row.status) {
    case RowStatus::Active:
        return QStringLiteral("Active");
    case RowStatus::Inactive:
        return QStringLiteral("Inactive");
    case RowStatus::EmptyAnswer:
        return kEmptyAnswerStatus;
    case RowStatus::CouldNotConnect:
        return QStringLiteral("Could not connect");
    case RowStatus::ServiceError:
        return QStringLiteral("Service error (HTTP %1)").arg(row.httpStatus);
    case RowStatus::NotSent:
        return notSentStatus(row.notSent);
    }
    return {};
}

QString rowKind(const ResultRecord& row, RowAspect aspect)
{
    if (aspect == RowAspect::Status)
        return statusKind(row);
    if (row.status == RowStatus::NotSent)
        return kNotSentKind;
    if (!row.isAnswer())
        return kNoAnswerKind;
    const QString& value = aspect == RowAspect::Type ? row.lineType : row.cells.value(4);
    return value.isEmpty() ? kUnknownKind : value;
}

void sortKindCounts(QList<KindCount>& counts)
{
    std::sort(counts.begin(), counts.end(), [](const KindCount& a, const KindCount& b) {
        if (a.count != b.count)
            return a.count > b.count;
        const int byName = a.value.compare(b.value, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.value < b.value;
    });
}

QList<KindCount> kindCounts(const QList<ResultRecord>& rows, RowAspect aspect)
{
    QHash<QString, int> counted;
    for (const ResultRecord& row : rows)
        ++counted[rowKind(row, aspect)];
    return sortedKindCounts(counted);
}

QList<KindCount> sortedKindCounts(const QHash<QString, int>& counted)
{
    QList<KindCount> counts;
    counts.reserve(counted.size());
    for (auto it = counted.cbegin(); it != counted.cend(); ++it)
        counts.append({it.key(), it.value()});
    sortKindCounts(counts);
    return counts;
}

QString aspectCaption(RowAspect aspect)
{
    const int column = aspect == RowAspect::Type ? 1 : aspect == RowAspect::Provider ? 4 : 5;
    return kResultCaptions.at(column);
}

} // namespace quillmore
