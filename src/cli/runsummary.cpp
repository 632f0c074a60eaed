#include "cli/runsummary.h"

#include "cli/orderedoutput.h"
#include "cli/stderrdialogs.h"
#include "shell/safefile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quillmore::cli {

namespace {

const QList<NotSentReason> kReasons = {NotSentReason::NoNumber, NotSentReason::CannotBeValid,
                                       NotSentReason::NotLookedUp};

QJsonObject countsObject(const QList<KindCount>& counts)
{
    QJsonObject object;
    for (const KindCount& kind : counts)
        object.insert(kind.value, kind.count);
    return object;
}

} // namespace

QString RunSummary::text() const
{
    const ResultSummary summary = tally.summary();
    QList<KindCount> more = {{QStringLiteral("Answers reused"), int(reused)},
                             {QStringLiteral("Answers resumed"), int(resumed)},
                             {QStringLiteral("Not sent"), summary.notSent()}};
    for (const NotSentReason reason : kReasons)
        if (summary.notSent(reason) > 0)
            more.append({QStringLiteral("  ") + notSentStatus(reason), summary.notSent(reason)});
    return summary.text(QStringLiteral("\n"), more);
}

QByteArray RunSummary::json() const
{
    const ResultSummary summary = tally.summary();
    QJsonObject notSent;
    for (const NotSentReason reason : kReasons)
        notSent.insert(notSentStatus(reason), summary.notSent(reason));
    QJsonArray providers;
    for (const KindCount& kind : summary.topProviders())
        providers.append(QJsonObject{{QStringLiteral("provider"), kind.value},
                                     {QStringLiteral("rows"), kind.count}});
    const QJsonObject object{{QStringLiteral("rows"), summary.rows()},
                             {QStringLiteral("paid"), summary.paid()},
                             {QStringLiteral("reused"), qint64(reused)},
                             {QStringLiteral("resumed"), qint64(resumed)},
                             {QStringLiteral("not_sent"), notSent},
                             {QStringLiteral("by_type"), countsObject(summary.byType())},
                             {QStringLiteral("by_status"), countsObject(summary.byStatus())},
                             {QStringLiteral("top_providers"), providers}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

void reportRunSummary(OrderedOutput& output, RunSummary summary, bool quiet, const QString& file,
                      const std::function<bool(qsizetype row)>& paidHere)
{
    if (quiet && file.isEmpty())
        return;
    output.forEachRow([&](qsizetype index, const ResultRecord& row) {
        summary.tally.add(row, false, paidHere(index));
    });
    if (!quiet)
        writeError(summary.text().chopped(1));
    if (!file.isEmpty())
        saveWholeFile(file, [&](QIODevice& device) { writeAllOrThrow(device, summary.json()); });
}

} // namespace quillmore::cli
