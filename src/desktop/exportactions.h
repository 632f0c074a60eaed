#pragma once

#include "desktop/clipboard.h"
#include "desktop/spreadsheet.h"
#include "export/exportview.h"

#include <QString>

namespace quillmore {

inline const QString kTextFileFilter =
    QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
inline const QString kSpreadsheetMissingMessage =
    QStringLiteral("Excel is not installed on this computer. You need to have it installed to "
                   "use this software without error.");
inline const QString kSpreadsheetFeatureMessage =
    QStringLiteral("Excel is not installed on this computer. You need to have it installed to "
                   "use this feature.");
inline const QString kCopiedMessage =
    QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area where you "
                   "normally type and press Ctrl+V to paste the clipboard.");

// Each button's handler takes the error report's path of its procedure
// (procedurePath), which the window names after the button.

// "Save Results As Text File": asks for a name, then writes the ticked rows
// aligned under the captions. The window is busy meanwhile.
void saveResultsAsTextFile(ExportView& view, const QString& procedure);

// Whether a spreadsheet application can take the results; says so when not.
bool saveResultsAsExcelFileIsExcelInstalled(SpreadsheetLauncher& app, Dialogs& dialogs);

// "Save Results As Excel File": every row, ticked or not, into a new unsaved
// workbook. List column c is sheet column c, captions in row 1; values after
// the first column lose every "=".
void saveResultsAsExcelFile(ExportView& view, SpreadsheetLauncher& app, const QString& procedure);

// The results' "Copy Results To Clipboard": the ticked rows, then how to paste them.
void copyResultsToClipboard(ExportView& view, Clipboard& clipboard, const QString& procedure);

// The console's "Copy Results To Clipboard": the console text as it stands.
void copyConsoleToClipboard(ExportView& view, Clipboard& clipboard, const QString& procedure);

} // namespace quillmore
