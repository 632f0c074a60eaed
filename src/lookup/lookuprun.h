#pragma once

#include "lookup/answer.h"
#include "lookup/curlstage.h"
#include "lookup/lookupconfig.h"
#include "lookup/request.h"
#include "shell/errorreport.h"
#include "shell/resultrecord.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace quillmore {

class KeyStore;
class NumberListModel;

// The main window's "Start Looking Up" / "Stop": looks up every number of the
// list one after the other and pauses 3 to 6 seconds between requests.
//
// A small phase machine: Staging (the tool's private folder) -> Requesting
// (one number, its request, its answer) -> Pausing -> Requesting ... ->
// Ending -> Idle. It reads the number list and the key and tells what
// happened through its signals, and shows nothing: what the user sees of
// it is the listener's to decide. A failed step is told by failed() and the
// run goes on with the step after it, as the program always has.
//
// It owns its staging folder, its request (with the child process) and its
// timers; end() (also the destructor) stops all of them at once, and nothing
// of an ended run happens afterwards, even when it was ended by a listener
// of one of its own signals.
class LookupRun : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Running, StopPending };
    Q_ENUM(State)
    enum class Phase { Idle, Staging, Requesting, Pausing, Ending };
    Q_ENUM(Phase)
    // Completed: every number was looked up; Stopped: the user stopped it;
    // Refused: the service refused the key or the request (serviceRefused()
    // came first); Ended: end() cut it off.
    enum class Outcome { Completed, Stopped, Refused, Ended };
    Q_ENUM(Outcome)

    LookupRun(const NumberListModel& numbers, const KeyStore& key, LookupConfig config,
              QObject* parent = nullptr);
    ~LookupRun() override;

    // Starts a run over the number list; ignored unless idle.
    void start();
    // Asks a running run to stop after the number under way; ignored unless running.
    void stop();

    State state() const { return m_state; }
    Phase phase() const { return m_phase; }
    bool isRunning() const { return m_state != State::Idle; }

    // Ends the run at once (the window is closing): the child, the timers and
    // the staged files go; finished(Ended) follows when a run was going on.
    void end();

signals:
    void stateChanged(LookupRun::State state);
    void busyChanged(bool busy);
    void progressValue(double value);
    void progressText(const QString& text);
    // Each raw answer, for the console.
    void answerReceived(const QString& answer);
    // One result row per answer that is not a refusal.
    void rowReady(const ResultRecord& row);
    // The service's error answer (quota, key, withdrawn API): the run ends
    // after it; the number it came for gets no row.
    void serviceRefused(AnswerClass cls);
    // The same refusal as it came, before serviceRefused: the number it came
    // for, its text and HTTP status, for the history to keep.
    void refusalReceived(const QString& number, const QString& answer, int httpStatus);
    // A step failed; the run goes on after it.
    void failed(const Failure& failure, Step step);
    void finished(LookupRun::Outcome outcome);

private:
    void setState(State state);
    void nextNumber();
    void sendRequest();
    void answerArrived(const QString& answer, int httpStatus);
    void pause();
    void finish(Outcome outcome);
    // Runs `work`; a failure in it is told as `step`. False when the run was
    // ended meanwhile (by a listener, say, while it showed a box), so the
    // caller must not go on.
    template <typename F> bool attempt(Step step, F&& work);

    const NumberListModel& m_numbers;
    const KeyStore& m_key;
    LookupConfig m_config;
    CurlStage m_stage;
    CurlRequest m_request;
    QTimer m_beforeRequest; // lets pending events run before each request
    QTimer m_pause;
    QTimer m_afterPause; // and once more after each pause
    State m_state = State::Idle;
    Phase m_phase = Phase::Idle;
    quint64 m_job = 0; // changes whenever a run starts or is ended
    bool m_stopRequested = false;
    int m_count = 0;
    int m_index = 0; // 1-based position of the number being looked up
    QString m_number;
};

} // namespace quillmore
