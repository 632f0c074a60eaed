#include "export/resultsummary.h"

#include "numbers/phonenumbers.h"

#include <QLocale>
#include <QSet>

#include <algorithm>

namespace quillmore {

void ResultSummary::Tally::add(const ResultRecord& row, bool valid, bool paidHere)
{
    ++m_rows;
    if (paidHere && isPaid(row))
        ++m_paid;
    if (row.status == RowStatus::NotSent) {
        ++m_notSentTotal;
        ++m_notSent[row.notSent];
    }
    ++m_types[rowKind(row, RowAspect::Type)];
    ++m_statuses[rowKind(row, RowAspect::Status)];
    ++m_providers[rowKind(row, RowAspect::Provider)];
    m_valid += valid ? 1 : 0;
}

ResultSummary ResultSummary::Tally::summary(bool validCounted) const
{
    return ResultSummary(*this, validCounted);
}

ResultSummary::ResultSummary(const Tally& tally, bool validCounted)
    : m_rows(tally.m_rows), m_paid(tally.m_paid), m_notSentTotal(tally.m_notSentTotal),
      m_notSent(tally.m_notSent), m_byType(sortedKindCounts(tally.m_types)),
      m_byStatus(sortedKindCounts(tally.m_statuses)),
      m_byProvider(sortedKindCounts(tally.m_providers)), m_validCounted(validCounted),
      m_valid(validCounted ? tally.m_valid : 0)
{
}

ResultSummary::ResultSummary(const QList<ResultRecord>& rows, const ValidNumberTest& isValid)
{
    Tally tally;
    for (const ResultRecord& row : rows)
        tally.add(row, isValid && isValid(row.number));
    *this = ResultSummary(tally, bool(isValid));
}

bool ResultSummary::isPaid(const ResultRecord& row)
{
    return row.isAnswer() || row.status == RowStatus::EmptyAnswer ||
           row.status == RowStatus::ServiceError;
}

QList<KindCount> ResultSummary::topProviders(int top) const
{
    top = std::max(top, 0);
    if (m_byProvider.size() <= top)
        return m_byProvider;
    QList<KindCount> shown = m_byProvider.first(top);
    int rest = 0;
    for (qsizetype i = top; i < m_byProvider.size(); ++i)
        rest += m_byProvider.at(i).count;
    shown.append({kOtherProviders, rest});
    return shown;
}

QString ResultSummary::countText(int count)
{
    return QLocale(QLocale::English).toString(count);
}

QString ResultSummary::shareText() const
{
    if (m_rows == 0)
        return {};
    return QStringLiteral(" (%1%)").arg(
        QLocale(QLocale::English).toString(validShare() * 100.0, 'f', 1));
}

QString ResultSummary::validText() const
{
    return countText(m_valid) + shareText();
}

QString ResultSummary::text(const QString& lineEnd, const QList<KindCount>& more) const
{
    struct Line
    {
        QString label;
        QString count; // empty for a heading
        QString after;
    };
    QList<Line> lines;
    lines.append({QStringLiteral("Rows"), countText(m_rows), {}});
    lines.append({QStringLiteral("Paid lookups"), countText(m_paid), {}});
    for (const KindCount& figure : more)
        lines.append({figure.value, countText(figure.count), {}});
    if (m_validCounted)
        lines.append({QStringLiteral("Valid numbers"), countText(m_valid), shareText()});
    const auto group = [&](const QString& heading, const QList<KindCount>& counts) {
        lines.append(Line{});
        lines.append({heading, {}, {}});
        for (const KindCount& kind : counts)
            lines.append({QStringLiteral("  ") + kind.value, countText(kind.count), {}});
    };
    group(aspectCaption(RowAspect::Type), m_byType);
    group(aspectCaption(RowAspect::Status), m_byStatus);
    group(aspectCaption(RowAspect::Provider), topProviders());

    qsizetype labelWidth = 0;
    qsizetype countWidth = 0;
    for (const Line& line : std::as_const(lines)) {
        if (line.count.isEmpty())
            continue;
        labelWidth = std::max(labelWidth, line.label.size());
        countWidth = std::max(countWidth, line.count.size());
    }
    QString text;
    for (const Line& line : std::as_const(lines)) {
        if (line.count.isEmpty())
            text += line.label;
        else
            text += line.label.leftJustified(labelWidth + 2) +
                    line.count.rightJustified(countWidth) + line.after;
        text += lineEnd;
    }
    return text;
}

bool ValidNumberMemo::isValid(const QString& entry)
{
    const auto known = m_known.constFind(entry);
    if (known != m_known.cend())
        return *known;
    const bool valid = m_numbers.classify(entry).verdict == NumberClass::Verdict::Valid;
    m_known.insert(entry, valid);
    return valid;
}

QStringList ValidNumberMemo::unjudged(const QList<ResultRecord>& rows) const
{
    QStringList entries;
    QSet<QString> seen;
    for (const ResultRecord& row : rows)
        if (!m_known.contains(row.number) && !seen.contains(row.number)) {
            seen.insert(row.number);
            entries.append(row.number);
        }
    return entries;
}

void ValidNumberMemo::learn(const QStringList& entries, const QList<NumberClass>& classes)
{
    for (qsizetype i = 0; i < entries.size() && i < classes.size(); ++i)
        m_known.insert(entries.at(i), classes.at(i).verdict == NumberClass::Verdict::Valid);
}

} // namespace quillmore
