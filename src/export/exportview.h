#pragma once

#include "shell/dialogs.h"
#include "shell/progresssink.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {

// A report list as the exporters read it: column captions, then rows whose
// cell c is the row's text for c = 0 and its sub-item c for the others. A
// copy: rows added while an export runs do not change it.
struct ReportTable
{
    struct Row
    {
        QStringList cells;
        bool ticked = false;
    };
    QStringList headers;
    QList<Row> rows;
};

// What the export buttons need of the main window.
class ExportView
{
public:
    virtual ~ExportView() = default;
    virtual Dialogs& dialogs() = 0;
    // The results model's rows as they stand (ResultsModel::table()).
    virtual ReportTable resultsTable() const = 0;
    virtual ProgressSink& progress() = 0;
    virtual void setBusy(bool busy) = 0;
    virtual bool isBusy() const = 0;
    // The console's accumulated text, CR LF line ends included.
    virtual QString consoleText() const = 0;
};

} // namespace quillmore
