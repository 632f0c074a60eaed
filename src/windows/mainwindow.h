#pragma once

#include "desktop/pointerscheme.h"
#include "desktop/progressbarsink.h"
#include "export/exportview.h"
#include "lookup/lookuprun.h"
#include "numbers/numberlistmodel.h"
#include "numbers/phonenumbers.h"
#include "windows/runreporting.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <memory>

class QGroupBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace quillmore {

struct AppContext;
class KeyWindow;
class ResultsList;

// The main window. It shows the number list and the results, and the run's
// progress and answers; the number list model and the key store feed the
// run, and the run tells the window what to show through its signals.
// Controls carry the object names the rest of the program knows them by
// ("ListView1", "PushButton17", ...).
class MainWindow : public QWidget, public ExportView
{
    Q_OBJECT
public:
    explicit MainWindow(AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    bool isBusy() const override { return m_pointer.isBusy(); }
    NumberListModel& numberList() { return m_numbers; }

    // What a close saves; also called when the desktop session ends.
    void saveNumberList();

    // ExportView
    Dialogs& dialogs() override;
    ProgressSink& progress() override { return m_progress; }
    void setBusy(bool busy) override;
    ReportTable resultsTable() const override;
    QString consoleText() const override { return m_consoleText; }

signals:
    // The window has closed and saved; the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

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
    void addSampleNumbers();
    void clearNumberList();
    void clearResultsList();
    void appendConsole(const QString& answer);

    AppContext& m_context;
    NumberListModel m_numbers;
    PhoneNumbers m_phoneNumbers;
    PointerScheme m_pointer;
    ProgressBarSink m_progress;
    QString m_consoleText;
    QPointer<KeyWindow> m_keyWindow;
    std::unique_ptr<LookupRun> m_run;
    bool m_closing = false;
    ResultsList* m_results = nullptr;
    QElapsedTimer m_runClock; // valid while a run goes on
    int m_runFinished = 0;
    int m_runTotal = 0;

    QTreeWidget* m_numberList = nullptr;
    QPushButton* m_startButton = nullptr;
    QGroupBox* m_consoleFrame = nullptr;
    QPlainTextEdit* m_console = nullptr;
    QTreeWidget* m_resultsList = nullptr;
    QProgressBar* m_progressBar = nullptr;
};

} // namespace quillmore
