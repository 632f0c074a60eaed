#pragma once

#include "curlstage.h"
#include "lookupconfig.h"
#include "runcontrol.h"

#include <QObject>
#include <QString>

#include <memory>

#include <qcoro/qcorotask.h>

namespace quillmore {

class LookupRunView;

// The main window's "Start Looking Up" / "Stop" button: looks up every number
// of the list one after the other, appends one result row per answer and each
// raw answer to the console, and pauses 3 to 6 seconds between requests.
//
// The window must call abort() (or delete this object) before it goes away;
// after that the run never touches the view again.
class LookupRun : public QObject
{
    Q_OBJECT
public:
    LookupRun(LookupRunView& view, LookupConfig config, QObject* parent = nullptr);
    ~LookupRun() override;

    // The button's click: a start, or a stop request when the caption is "Stop".
    // Ignored while a stop is pending, until the run has ended.
    void buttonPressed();

    bool isRunning() const { return m_running; }
    bool isStopPending() const { return m_running && m_stopPending; }

    // The window is closing: ends the running child and the run at once, removes
    // the tool's folder, and touches the view no more. Emits finished().
    void abort();

    // The running run's private tool folder; empty when there is none.
    QString stagingFolder() const;

signals:
    void finished();

private:
    QCoro::Task<> run(std::shared_ptr<StagedWork> state);
    void requestStop();
    void endAborted(bool notify);

    LookupRunView& m_view;
    LookupConfig m_config;
    QString m_savedStartCaption;
    bool m_stopRequested = false;
    bool m_running = false;
    bool m_stopPending = false;
    std::shared_ptr<StagedWork> m_state;
};

} // namespace quillmore
