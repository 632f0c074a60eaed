#pragma once

#include "shell/resultrecord.h"

#include <QList>
#include <QString>

namespace quillmore {

class Dialogs;
class PhoneNumbers;

// "Save Table With Results...": asks for a table (`lastTable`, the one last
// loaded, offered first), its phone column and where to save it, and writes
// every row of the table with the result columns, each row joined by its
// number to the results list's `rows`. A file name ending in ".xlsx" gets a
// workbook, any other CSV in the table's own delimiter and line ends. Tells
// "Done." once the file is in place; a table that cannot be read is told in
// the reader's words, a failed save by the error report, and either leaves
// any file of the chosen name as it was.
void saveTableWithResults(Dialogs& dialogs, const QList<ResultRecord>& rows,
                          const PhoneNumbers& numbers, const QString& lastTable);

inline const QString kOpenTableTitle = QStringLiteral("Open the Table to Save With Results");
inline const QString kSaveTableTitle = QStringLiteral("Save Table With Results");

} // namespace quillmore
