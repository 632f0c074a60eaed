#pragma once

#include "dialogs.h"
#include "progresssink.h"

#include <QString>
#include <QStringList>

namespace quillmore {

// What the lookup run needs of the main window. The window implements it; the
// run knows nothing of widgets.
class LookupRunView
{
public:
    virtual ~LookupRunView() = default;

    virtual Dialogs& dialogs() = 0;

    // The number list, read afresh at every call (entries may be added during a run).
    virtual int numberCount() const = 0;
    virtual QString numberAt(int index) const = 0; // 0-based

    // The caption of "Start Looking Up" / "Stop".
    virtual QString startCaption() const = 0;
    virtual void setStartCaption(const QString& caption) = 0;

    // The window's busy state (wait pointer everywhere over it).
    virtual void setBusy(bool busy) = 0;

    virtual ProgressSink& progress() = 0;

    // Appends the answer and CR LF to the console.
    virtual void appendConsole(const QString& answer) = 0;

    virtual void clearResults() = 0;
    // Six cells; the row is added unticked.
    virtual void appendResultRow(const QStringList& cells) = 0;

    // The key window's key field, loading that window unseen if need be.
    virtual QString apiKey() = 0;
};

// What the key test needs of the key window (and the main window's progress bar).
class KeyTestView
{
public:
    virtual ~KeyTestView() = default;
    virtual Dialogs& dialogs() = 0;
    virtual void setBusy(bool busy) = 0;
    virtual ProgressSink& progress() = 0;
    virtual QString apiKey() = 0;
};

} // namespace quillmore
