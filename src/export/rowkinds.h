#pragma once

#include "shell/resultrecord.h"

#include <QHash>
#include <QList>
#include <QString>

namespace quillmore {

// The columns whose few values say what a row is: what the summary counts
// and what "Tick Rows Where" ticks by.
enum class RowAspect { Type, Status, Provider };

// One value of an aspect and how many rows have it.
struct KindCount
{
    QString value;
    int count = 0;

    friend bool operator==(const KindCount&, const KindCount&) = default;
};

// The texts a row without an answer is counted under for its type and
// provider: every row is counted once in each aspect, so each aspect's
// counts add up to the rows.
inline const QString kNoAnswerKind = QStringLiteral("No answer");
inline const QString kNotSentKind = QStringLiteral("Not sent");
// An answer that names no line type or no carrier.
inline const QString kUnknownKind = QStringLiteral("Unknown");

// The aspect's value for the row, from its typed status and line type, never
// from how a cell reads; only the carrier is the Provider cell itself, for
// no other field holds it. Status values are the Status cell's wording for
// each status, so the two read alike.
QString rowKind(const ResultRecord& row, RowAspect aspect);

// The values the rows have, each with its count: largest first, equal
// counts in the values' order ignoring case.
QList<KindCount> kindCounts(const QList<ResultRecord>& rows, RowAspect aspect);

// Orders counts as kindCounts() does.
void sortKindCounts(QList<KindCount>& counts);

// Each value with its count, ordered as kindCounts() does.
QList<KindCount> sortedKindCounts(const QHash<QString, int>& counted);

// The caption of the aspect's column.
QString aspectCaption(RowAspect aspect);

} // namespace quillmore
