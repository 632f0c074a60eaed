#pragma once

#include "shell/errorreport.h"
#include "shell/resultrecord.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {

// Street lines, city, zip4, state and country joined by ", "; a part whose
// value is exactly "null" is left out, every other one (empty ones too) stays.
// A value that cannot be read counts as empty; its failure goes to `failures`.
QString locationText(const QString& answer, QList<Failure>* failures = nullptr);

// "Active" only for the value "true".
QString statusText(const QString& isActive);

// The row for `number`'s answer: its six cells (number, type, name, location,
// provider, status), its typed status and the line type. A lookup that got no answer ("Could not
// connect", "empty file") or an answer with an HTTP status outside 2xx keeps the number as the list
// holds it and says what happened in the status. Every value that cannot be read leaves its cell
// empty and adds its failure to `failures`, one per reading, in reading order, for the caller to
// report.
ResultRecord resultRow(const QString& number, const QString& answer, int httpStatus = 200,
                       QList<Failure>* failures = nullptr);

// 3, 4, 5 or 6 for a uniform value in [0, 1).
int randomPauseSeconds(double uniform);
// Draws from the program's random generator.
int randomPauseSeconds();

} // namespace quillmore
