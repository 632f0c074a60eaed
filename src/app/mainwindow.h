#pragma once

#include "exportview.h"
#include "lookupview.h"
#include "pointerscheme.h"

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
class LookupRun;

// The main window's progress bar, holding the exact (fractional) value that
// long work reports; the bar itself shows whole percent.
class ProgressBarSink : public ProgressSink
{
public:
    explicit ProgressBarSink(QProgressBar* bar = nullptr);
    void attach(QProgressBar* bar);
    void setProgressValue(double value) override;
    void setProgressText(const QString& text) override;
    double progressValue() const override { return m_value; }
    QString progressText() const override { return m_text; }

private:
    QProgressBar* m_bar;
    double m_value = 0;
    QString m_text;
};

class MainWindow : public QWidget, public LookupRunView, public ExportView
{
    Q_OBJECT
public:
    explicit MainWindow(AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The number list, in order.
    QStringList numbers() const;
    bool isBusy() const { return m_pointer.isBusy(); }
    // The key window, loaded unseen if need be.
    KeyWindow& keyWindow();
    KeyWindow* loadedKeyWindow() const;
    bool isLookupRunning() const;

    // LookupRunView and ExportView
    Dialogs& dialogs() override;
    int numberCount() const override;
    QString numberAt(int index) const override;
    QString startCaption() const override;
    void setStartCaption(const QString& caption) override;
    void setBusy(bool busy) override;
    ProgressSink& progress() override { return m_progress; }
    void appendConsole(const QString& answer) override;
    void clearResults() override;
    void appendResultRow(const QStringList& cells) override;
    QString apiKey() override;
    ReportTable resultsTable() const override;
    QString consoleText() const override { return m_consoleText; }

    // The controls, for tests and screenshots.
    QTreeWidget* numberList() const { return m_numberList; }
    QTreeWidget* resultsList() const { return m_resultsList; }
    QPlainTextEdit* console() const { return m_console; }
    QProgressBar* progressBar() const { return m_progressBar; }
    QPushButton* keyButton() const { return m_keyButton; }
    QPushButton* addButton() const { return m_addButton; }
    QPushButton* loadButton() const { return m_loadButton; }
    QPushButton* clearNumbersButton() const { return m_clearNumbersButton; }
    QPushButton* samplesButton() const { return m_samplesButton; }
    QPushButton* startButton() const { return m_startButton; }
    QPushButton* copyConsoleButton() const { return m_copyConsoleButton; }
    QPushButton* clearConsoleButton() const { return m_clearConsoleButton; }
    QPushButton* saveTextButton() const { return m_saveTextButton; }
    QPushButton* saveSheetButton() const { return m_saveSheetButton; }
    QPushButton* copyResultsButton() const { return m_copyResultsButton; }
    QPushButton* clearResultsButton() const { return m_clearResultsButton; }
    QGroupBox* consoleFrame() const { return m_consoleFrame; }

    void setAllResultsTicked(bool ticked);

signals:
    // The window has closed and saved; the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void formLoad();
    void applySkin();
    void saveNumberList();

    void showKeyWindow();
    void keyWindowClosed();
    void addTypedNumbers();
    void loadNumberFiles();
    void addSampleNumbers();
    void clearNumberList();
    void clearResultsList();
    void removeSelectedRow(QTreeWidget* list);
    void appendNumbers(const QStringList& entries);

    AppContext& m_context;
    PointerScheme m_pointer;
    ProgressBarSink m_progress;
    QString m_consoleText;
    QPointer<KeyWindow> m_keyWindow;
    std::unique_ptr<LookupRun> m_run;
    bool m_closing = false;

    QPushButton* m_keyButton = nullptr;
    QTreeWidget* m_numberList = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_loadButton = nullptr;
    QPushButton* m_clearNumbersButton = nullptr;
    QPushButton* m_samplesButton = nullptr;
    QPushButton* m_startButton = nullptr;
    QGroupBox* m_consoleFrame = nullptr;
    QPlainTextEdit* m_console = nullptr;
    QPushButton* m_copyConsoleButton = nullptr;
    QPushButton* m_clearConsoleButton = nullptr;
    QTreeWidget* m_resultsList = nullptr;
    QPushButton* m_saveTextButton = nullptr;
    QPushButton* m_saveSheetButton = nullptr;
    QPushButton* m_copyResultsButton = nullptr;
    QPushButton* m_clearResultsButton = nullptr;
    QProgressBar* m_progressBar = nullptr;
};

} // namespace quillmore
