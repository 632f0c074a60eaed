#pragma once

#include "cli/clioptions.h"
#include "cli/runinput.h"
#include "cli/runsummary.h"
#include "cli/sendplan.h"
#include "cli/stderrdialogs.h"
#include "lookup/lookupconfig.h"
#include "numbers/phonenumbers.h"
#include "shell/errorreport.h"
#include "shell/resultrecord.h"
#include "tables/tableplan.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <deque>
#include <memory>
#include <vector>

namespace quillmore::cli {

class CliRun;
class EarlierRuns;
class OrderedOutput;
class OutputTarget;
class ProgressLine;
class RowLayout;
class RunHistory;
class StoredKeyRead;

inline constexpr int kExitUsage = 1;
// Requests were sent, but the results could not be written: the answers are
// in the lookup history, and --resume writes them without paying again.
inline constexpr int kExitOutputFailed = 4;

// One invocation after its command line is read, in named steps: read the
// input (a number list or a contact table), plan, get the key, open the
// history, open the output, run, write, and the exit status. Everything that can refuse the run
// does so before anything is sent (status 1). The key and the run are waited for on the event loop;
// `finished` gives the exit status, once.
class CliSession : public QObject
{
    Q_OBJECT
public:
    CliSession(const CliOptions& options, const LookupConfig& config, QObject* parent = nullptr);
    ~CliSession() override;

    void start();

signals:
    void finished(int exitStatus);

private:
    bool readInput();
    bool plan();
    void getKey();
    void keyKnown(const QString& key);
    bool openHistory();
    bool openOutput();
    void reuseAnswers();
    bool runLookups(const QString& key);
    void unitArrived(qsizetype unit, const ResultRecord& record, int httpStatus);
    void historyFailed(const QString& text);
    void interrupted();
    void runEnded();
    bool writeOutput();
    int exitStatus(bool written);
    void end(int status);
    void addRow(qsizetype index, qint64 id, const ResultRecord* record);
    // Gives every row of a unit its answer; the number of rows.
    qsizetype addUnit(qsizetype unit, qint64 id, const ResultRecord* record);
    bool isComplete() const;
    QString resumeHint() const;

    const CliOptions m_options;
    const LookupConfig m_config;
    StderrDialogs m_dialogs;
    RunInput m_input;
    TablePlan m_tablePlan; // of a table
    SendPlan m_plan;
    std::unique_ptr<PhoneNumbers> m_phone;
    std::unique_ptr<RowLayout> m_layout;
    std::vector<bool> m_sentUnits; // answered by a request of this run
    std::unique_ptr<StoredKeyRead> m_storedKey;
    std::unique_ptr<RunHistory> m_history;
    std::unique_ptr<EarlierRuns> m_earlier;
    qint64 m_runId = 0; // this run in the history
    std::unique_ptr<OutputTarget> m_target;
    std::unique_ptr<OrderedOutput> m_output;
    std::unique_ptr<ProgressLine> m_progress;
    std::unique_ptr<CliRun> m_run;
    std::deque<qsizetype> m_pending;
    qsizetype m_done = 0;
    qsizetype m_failedRows = 0;
    qsizetype m_sent = 0;
    int m_interrupts = 0;
    bool m_outputFailed = false;
    bool m_historyFailed = false;
    bool m_ended = false;
    RunSummary m_summary;
};

} // namespace quillmore::cli
