#pragma once

#include "export/resultsummary.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace quillmore::cli {

// What a run gave, for standard error at its end and for --summary FILE:
// the result rows' figures, and the rows that came from earlier answers
// rather than from a request of this run.
struct RunSummary
{
    ResultSummary::Tally tally;
    qsizetype reused = 0;  // by --reuse, from the lookup history
    qsizetype resumed = 0; // by --resume, from a run that did not finish

    // Aligned lines: rows, paid lookups, reused and resumed answers, rows
    // not sent and why, then the rows by Type, by Status and the largest
    // providers.
    QString text() const;
    // One JSON object, LF-ended: {"rows", "paid", "reused", "resumed",
    // "not_sent": {reason: n}, "by_type": {type: n}, "by_status": {...},
    // "top_providers": [{"provider", "rows"}, ...]}.
    QByteArray json() const;
};

class OrderedOutput;

// At a run's end: the rows the output holds are tallied, a row's lookup as
// paid only where `paidHere(row)`; the text goes to standard error unless
// `quiet`, the JSON to `file` when one is named, through the safe writer.
// Throws Failure when the file cannot be written.
void reportRunSummary(OrderedOutput& output, RunSummary summary, bool quiet, const QString& file,
                      const std::function<bool(qsizetype row)>& paidHere);

} // namespace quillmore::cli
