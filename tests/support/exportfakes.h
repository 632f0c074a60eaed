#pragma once

// Stand-ins for the main window, its dialogs, progress bar, the clipboard and
// the spreadsheet application, so the export buttons run without widgets.

#include "desktop/clipboard.h"
#include "desktop/spreadsheet.h"
#include "export/exportview.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/progresssink.h"
#include "support/scripteddialogs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

namespace quillmore::test {

// The error report's paths of the export buttons' handlers, as the main
// window names them after its buttons.
inline const QString kSaveTextProcedure =
    procedurePath(QStringLiteral("Form1"), QStringLiteral("PushButton4_Click"));
inline const QString kSaveSheetProcedure =
    procedurePath(QStringLiteral("Form1"), QStringLiteral("PushButton13_Click"));
inline const QString kCopyResultsProcedure =
    procedurePath(QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
inline const QString kCopyConsoleProcedure =
    procedurePath(QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));

using ScriptedDialogs = quillmore::test::ScriptedDialogs;
using RecordingProgress = quillmore::test::RecordingProgress;

class FakeExportView : public ExportView
{
public:
    ScriptedDialogs scriptedDialogs;
    RecordingProgress recordingProgress;
    ReportTable table;
    QString console;
    QList<bool> busyChanges;
    bool tableFails = false;

    Dialogs& dialogs() override { return scriptedDialogs; }
    ReportTable resultsTable() const override
    {
        if (tableFails)
            throw Failure(QStringLiteral("The list cannot be read"));
        return table;
    }
    ProgressSink& progress() override { return recordingProgress; }
    void setBusy(bool busy) override { busyChanges << busy; }
    bool isBusy() const override { return !busyChanges.isEmpty() && busyChanges.constLast(); }
    QString consoleText() const override { return console; }
};

// Keeps the text set last and a log of every write.
class RecordingClipboard : public Clipboard
{
public:
    QStringList log; // "set <text>"
    QString held;
    bool holdsText = false;

    void setText(const QString& newText) override
    {
        log << QStringLiteral("set ") + newText;
        held = newText;
        holdsText = true;
    }
    QString text() const override { return held; }
};

// A spreadsheet application that only writes down what it was told.
class RecordingSpreadsheetLauncher : public SpreadsheetLauncher
{
public:
    bool installed = true;
    bool startFails = false;
    // A cell whose text equals this is refused.
    QString refusedText;
    QStringList calls; // "create", "addWorkbook", "cell <row> <column> <text>", "autofit", "show"

    bool isInstalled() override { return installed; }
    std::unique_ptr<SpreadsheetApplication> createApplication() override
    {
        calls << QStringLiteral("create");
        if (startFails)
            throw Failure(QStringLiteral("Cannot start the spreadsheet application"));
        return std::make_unique<Application>(*this);
    }

private:
    class Application : public SpreadsheetApplication
    {
    public:
        explicit Application(RecordingSpreadsheetLauncher& owner) : m_owner(owner) {}
        void addWorkbook() override { m_owner.calls << QStringLiteral("addWorkbook"); }
        void setCellText(int row, int column, const QString& text) override
        {
            if (!m_owner.refusedText.isNull() && text == m_owner.refusedText)
                throw Failure(QStringLiteral("Cell refused"));
            m_owner.calls << QStringLiteral("cell %1 %2 %3").arg(row).arg(column).arg(text);
        }
        void autofitColumns() override { m_owner.calls << QStringLiteral("autofit"); }
        void show() override { m_owner.calls << QStringLiteral("show"); }

    private:
        RecordingSpreadsheetLauncher& m_owner;
    };
};

// A results list of `rows` rows by `columns` columns, captions "Column 1"...,
// cells "r<row>c<column>", every row ticked.
inline ReportTable filledTable(int rows, int columns)
{
    ReportTable table;
    for (int c = 1; c <= columns; ++c)
        table.headers << QStringLiteral("Column %1").arg(c);
    table.rows.reserve(rows);
    for (int r = 1; r <= rows; ++r) {
        ReportTable::Row row;
        row.ticked = true;
        for (int c = 1; c <= columns; ++c)
            row.cells << QStringLiteral("r%1c%2").arg(r).arg(c);
        table.rows << row;
    }
    return table;
}

} // namespace quillmore::test
