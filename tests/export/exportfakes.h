#pragma once

// Stand-ins for the main window, its dialogs, progress bar, the clipboard and
// the spreadsheet application, so the export buttons run without widgets.

#include "clipboard.h"
#include "dialogs.h"
#include "errorreport.h"
#include "exportview.h"
#include "progresssink.h"
#include "spreadsheet.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

namespace quillmore::testing {

// Answers from a script and remembers every box it was asked to show.
class ScriptedDialogs : public Dialogs
{
public:
    struct Shown
    {
        QString text;
        QString title;
        Icon icon;
    };
    struct Asked
    {
        QString title;
        QString filter;
    };

    ScriptedDialogs() { setApplicationTitle(QStringLiteral("Quillmore")); }

    QList<Shown> messages;
    QList<Asked> saveRequests;
    QList<Asked> openRequests;
    QList<QUrl> openedUrls;
    // Taken from the front; when none is left the user cancels.
    QStringList saveAnswers;
    QList<QStringList> openAnswers;
    QStringList inputAnswers;

    QStringList errorReports() const
    {
        QStringList reports;
        for (const Shown& shown : messages) {
            if (shown.title == QLatin1String("Application Error"))
                reports << shown.text;
        }
        return reports;
    }

    void openUrl(const QUrl& url) override { openedUrls << url; }

protected:
    void showMessage(const QString& text, const QString& title, Icon icon) override
    {
        messages << Shown{text, title, icon};
    }
    QString askText(const QString&, const QString&, const QString&) override
    {
        return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
    }
    QStringList askOpenFileNames(const QString& title, const QString& filter) override
    {
        openRequests << Asked{title, filter};
        return openAnswers.isEmpty() ? QStringList() : openAnswers.takeFirst();
    }
    QString askSaveFileName(const QString& title, const QString& filter) override
    {
        saveRequests << Asked{title, filter};
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
};

// A progress bar that keeps every change in order.
class RecordingProgress : public ProgressSink
{
public:
    // "value <number>" and "text <text>" entries, in call order.
    QStringList log;
    QList<double> values;
    QStringList texts;
    // Called before a value is taken; may throw to stand for a failing step.
    std::function<void(double)> onValue;

    void setProgressValue(double value) override
    {
        if (onValue)
            onValue(value);
        m_value = value;
        values << value;
        log << QStringLiteral("value ") + QString::number(value);
    }
    void setProgressText(const QString& text) override
    {
        m_text = text;
        texts << text;
        log << QStringLiteral("text ") + text;
    }
    double progressValue() const override { return m_value; }
    QString progressText() const override { return m_text; }

private:
    double m_value = 0;
    QString m_text = kProgressRestText;
};

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
    QString consoleText() const override { return console; }
};

// Keeps the text set last and a log of every attempt; can play a busy clipboard.
class RecordingClipboard : public Clipboard
{
public:
    QStringList log; // "clear" and "set <text>", failed attempts included
    QString text;
    bool holdsText = false;
    int busyAttempts = 0; // attempts refused before one gets through

    bool clear() override
    {
        log << QStringLiteral("clear");
        if (refuse())
            return false;
        text.clear();
        holdsText = false;
        return true;
    }
    bool setText(const QString& newText) override
    {
        log << QStringLiteral("set ") + newText;
        if (refuse())
            return false;
        text = newText;
        holdsText = true;
        return true;
    }

private:
    bool refuse()
    {
        if (busyAttempts <= 0)
            return false;
        --busyAttempts;
        return true;
    }
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

} // namespace quillmore::testing
