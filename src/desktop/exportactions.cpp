#include "desktop/exportactions.h"

#include "export/textexport.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"

namespace quillmore {

void saveResultsAsTextFile(ExportView& view, const QString& procedure)
{
    Dialogs& dialogs = view.dialogs();
    GuardedProcedure proc(dialogs, procedure);
    const QString fileName =
        proc.value([&] { return dialogs.saveFileName(QStringLiteral("Save"), kTextFileFilter); });
    if (fileName.isEmpty())
        return;
    // Saved during a run, the window stays busy: the run relies on it to keep
    // the number list it reads intact.
    const bool wasBusy = view.isBusy();
    proc.step([&] { view.setBusy(true); });
    proc.step([&] {
        saveListviewProperlySpaced(view.resultsTable(), fileName, &view.progress(), dialogs);
    });
    // A run that ended while a box of the export was up has switched busy
    // off for good: it must not come back on.
    proc.step([&] { view.setBusy(wasBusy && view.isBusy()); });
}

bool saveResultsAsExcelFileIsExcelInstalled(SpreadsheetLauncher& app, Dialogs& dialogs)
{
    bool installed = false;
    try {
        installed = app.isInstalled();
    } catch (...) {
        installed = false;
    }
    if (!installed) {
        try {
            dialogs.message(kSpreadsheetMissingMessage);
        } catch (...) {
            // The test never reports; its answer stands.
        }
    }
    return installed;
}

void saveResultsAsExcelFile(ExportView& view, SpreadsheetLauncher& app, const QString& procedure)
{
    Dialogs& dialogs = view.dialogs();
    GuardedProcedure proc(dialogs, procedure);

    const bool installed =
        proc.value([&] { return saveResultsAsExcelFileIsExcelInstalled(app, dialogs); }, false);
    if (!installed) {
        proc.step([&] { dialogs.message(kSpreadsheetFeatureMessage); });
        return;
    }
    const ReportTable table = proc.value([&] { return view.resultsTable(); });
    if (table.rows.isEmpty())
        return;

    // Without an application every later call would fail the same way.
    std::unique_ptr<SpreadsheetApplication> sheet;
    const bool started = proc.step([&] {
        sheet = app.createApplication();
        if (!sheet)
            throw Failure(QStringLiteral("The spreadsheet application could not be started"));
        sheet->addWorkbook();
    });
    if (!started)
        return;

    // A value that the sheet refuses is lost alone; the export goes on.
    auto put = [&](int row, int column, const QString& text) {
        try {
            sheet->setCellText(row, column, text);
        } catch (...) {
            proc.reportCurrent(std::current_exception());
        }
    };
    const qsizetype columns = table.headers.size();
    proc.step([&] {
        for (qsizetype c = 0; c < columns; ++c) {
            if (!table.headers.at(c).isEmpty())
                put(1, int(c + 1), table.headers.at(c));
        }
    });
    proc.step([&] {
        for (qsizetype r = 0; r < table.rows.size(); ++r) {
            const ReportTable::Row& row = table.rows.at(r);
            for (qsizetype c = 0; c < columns; ++c) {
                QString value = cellText(row, c);
                if (value.isEmpty())
                    continue;
                // Only the first column may keep a leading "=".
                if (c > 0)
                    value.remove(QLatin1Char('='));
                put(int(r + 2), int(c + 1), value);
            }
        }
    });
    proc.step([&] { sheet->autofitColumns(); });
    proc.step([&] { sheet->show(); });
}

void copyResultsToClipboard(ExportView& view, Clipboard& clipboard, const QString& procedure)
{
    Dialogs& dialogs = view.dialogs();
    GuardedProcedure proc(dialogs, procedure);
    proc.step([&] { copyListviewProperlySpaced(view.resultsTable(), clipboard); });
    proc.step([&] { dialogs.message(kCopiedMessage); });
}

void copyConsoleToClipboard(ExportView& view, Clipboard& clipboard, const QString& procedure)
{
    GuardedProcedure proc(view.dialogs(), procedure);
    proc.step([&] { clipboardSetText(clipboard, view.consoleText()); });
}

} // namespace quillmore
