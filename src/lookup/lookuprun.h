#pragma once

#include "lookup/curlstage.h"
#include "lookup/lookupconfig.h"
#include "lookup/request.h"
#include "shell/errorreport.h"
#include "shell/resultrecord.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace quillmore {

class Dialogs;
class KeyStore;
class NumberListModel;

// The main window's "Start Looking Up" / "Stop": looks up every number of the
// list one after the other, reports one result row per answer and each raw
// answer for the console, and pauses 3 to 6 seconds between requests.
//
// It reads the number list and the key and tells everything else through its
// signals. It owns its staging folder, its request (with the child process)
// and its timers; end() (also the destructor) stops all of them at once, and
// nothing of an ended run happens afterwards.
class LookupRun : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Running, StopPending };
    Q_ENUM(State)

    LookupRun(Dialogs& dialogs, const NumberListModel& numbers, const KeyStore& key,
              LookupConfig config, QObject* parent = nullptr);
    ~LookupRun() override;

    // The button's click: a start when idle, a stop request while running.
    // Ignored while a stop is pending, until the run has ended.
    void buttonPressed();

    State state() const { return m_state; }
    bool isRunning() const { return m_state != State::Idle; }

    // Ends the run at once (the window is closing): the child, the timers and
    // the staged files go; finished() follows when a run was going on.
    void end();

signals:
    void stateChanged(LookupRun::State state);
    void busyChanged(bool busy);
    void progressValue(double value);
    void progressText(const QString& text);
    void answerReceived(const QString& answer);
    void resultAdded(const ResultRecord& row);
    void finished();

private:
    // The run's statements in source order; each names its line in a report.
    enum class Statement {
        Caption,
        ClearStop,
        Busy,
        ClearErrorShown,
        Stage,
        Count,
        TakeNumber,
        ProgressValue,
        ProgressText,
        YieldBeforeRequest,
        BusyAgain,
        Request,
        Console,
        Classify,
        StopAfterError,
        IdleAfterError,
        ErrorShown,
        ErrorMessage,
        AddRow,
        CheckStop,
        Pause,
        Yield,
        StopAtEnd,
        CaptionAtEnd,
        RemoveStage,
        IdleAtEnd,
        ProgressAtEnd,
        Done
    };

    void setState(State state);
    void beginNumber();
    void sendRequest();
    void answerArrived(const QString& answer, int httpStatus);
    void nextNumber();
    void endRun();

    Dialogs& m_dialogs;
    const NumberListModel& m_numbers;
    const KeyStore& m_key;
    LookupConfig m_config;
    GuardedProcedure m_lines;
    CurlStage m_stage;
    CurlRequest m_request;
    QTimer m_beforeRequest; // lets pending events run before each request
    QTimer m_pause;
    QTimer m_afterPause; // and once more after each pause
    State m_state = State::Idle;
    bool m_stopRequested = false;
    bool m_serviceErrorShown = false;
    int m_count = 0;
    int m_index = 0; // 1-based position of the number being looked up
    QString m_number;
};

} // namespace quillmore
