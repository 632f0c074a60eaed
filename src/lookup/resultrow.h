#pragma once

#include <QString>
#include <QStringList>

namespace quillmore {

class Dialogs;

// Street lines, city, zip4, state and country joined by ", "; a part whose
// value is exactly "null" is left out, every other one (empty ones too) stays.
QString locationText(Dialogs& dialogs, const QString& answer);

// "Active" only for the value "true".
QString statusText(const QString& isActive);

// The six cells of a result row: number, type, name, location, provider,
// status. A lookup that got no answer ("Could not connect", "empty file") or
// an answer with an HTTP status outside 2xx keeps the number as the list holds
// it and says what happened in the status.
QStringList resultRow(Dialogs& dialogs, const QString& number, const QString& answer,
                      int httpStatus = 200);

// 3, 4, 5 or 6 for a uniform value in [0, 1).
int randomPauseSeconds(double uniform);
// Draws from the program's random generator.
int randomPauseSeconds();

} // namespace quillmore
