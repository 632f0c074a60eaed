#pragma once

#include "desktop/controltable.h"
#include "desktop/pointerscheme.h"
#include "desktop/progressbarsink.h"
#include "export/exportview.h"
#include "export/resultsmodel.h"
#include "lookup/lookuprun.h"
#include "lookup/runreporting.h"
#include "numbers/numberlistmodel.h"
#include "numbers/phonenumbers.h"
#include "windows/consolepane.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <memory>

class QProgressBar;
class QPushButton;

namespace quillmore {

struct AppContext;
class DesktopSession;
class KeyWindow;
class ResultsList;

// The main window. It shows the number list and the results, and the run's
// progress and answers; the number list model and the key store feed the
// run, and the run tells the window what to show through its signals. The
// two models hold the lists; the list widgets only show them. The controls
// come from the window's table (mainwindowcontrols.h).
//
// Busy: while long work goes on (a run, a file load, the text export) the
// window is busy; removals from the lists are refused then, and the pointer
// shows it.
class MainWindow : public QWidget, public ExportView
{
    Q_OBJECT
    Q_PROPERTY(bool busy READ isBusy WRITE setBusy NOTIFY busyChanged)
public:
    explicit MainWindow(AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    bool isBusy() const override { return m_busy; }
    NumberListModel& numberList() { return m_numbers; }
    const ResultsModel& results() const { return m_resultsModel; }

    // What a close saves; also called when the desktop session ends.
    void saveNumberList();

    // ExportView
    Dialogs& dialogs() override;
    ProgressSink& progress() override { return m_progress; }
    void setBusy(bool busy) override;
    ReportTable resultsTable() const override;
    QString consoleText() const override { return m_console.text(); }

signals:
    // The window has closed and saved; the program ends.
    void closed();
    void busyChanged(bool busy);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectRun();
    void formLoad();
    void applySkin();

    void showKeyWindow();
    KeyWindow& keyWindow();
    void keyWindowClosed();
    void addTypedNumbers();
    void loadNumberFiles();
    void loadTable(const QString& path);
    void addSampleNumbers();
    void clearNumberList();
    void clearResultsList();
    void clearConsole();
    void appendConsole(const QString& answer);

    AppContext& m_context;
    NumberListModel m_numbers;
    ResultsModel m_resultsModel;
    PhoneNumbers m_phoneNumbers;
    PointerScheme m_pointer;
    bool m_busy = false;
    ProgressBarSink m_progress;
    ConsolePane m_console;
    ControlSet m_controls;
    QPointer<KeyWindow> m_keyWindow;
    std::unique_ptr<LookupRun> m_run;
    bool m_closing = false;
    std::unique_ptr<DesktopSession> m_history;
    ResultsList* m_results = nullptr;
    QString m_lastTable;      // the table the list was last loaded from
    QElapsedTimer m_runClock; // valid while a run goes on
    int m_runFinished = 0;
    int m_runTotal = 0;

    QPushButton* m_startButton = nullptr;
    QProgressBar* m_progressBar = nullptr;
};

} // namespace quillmore
