#pragma once

#include "lookupview.h"
#include "pointerscheme.h"

#include <QWidget>

#include <memory>

class QLineEdit;
class QLabel;
class QGroupBox;
class QPushButton;

namespace quillmore {

struct AppContext;
class KeyTest;

// "Key Options": where the user enters, keeps and tests the API key. Its key
// field is the run-time home of the key for the whole program.
class KeyWindow : public QWidget, public KeyTestView
{
    Q_OBJECT
public:
    // `mainProgress` is the main window's progress bar, which the key test's
    // request ticks while it waits.
    KeyWindow(AppContext& context, ProgressSink& mainProgress, QWidget* parent = nullptr);
    ~KeyWindow() override;

    QString key() const;

    // KeyTestView
    Dialogs& dialogs() override;
    void setBusy(bool busy) override;
    bool isBusy() const { return m_pointer.isBusy(); }
    ProgressSink& progress() override { return m_mainProgress; }
    QString apiKey() override { return key(); }

    // Ends a running key test at once (the program is closing).
    void abortWork();
    bool isTesting() const;

    QLineEdit* keyField() const { return m_key; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* docsButton() const { return m_docs; }
    QPushButton* whatIsButton() const { return m_whatIs; }
    QPushButton* testButton() const { return m_test; }
    QPushButton* videoButton() const { return m_video; }

    static QString videoTarget(const QString& programFolder);

signals:
    // "OK": back to the main window, this one stays loaded.
    void okPressed();
    // The close box: this window is unloaded, the main window comes back.
    void closedByUser();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void formLoad();
    void storeKey(const QString& text);
    void openDocs();
    void openWhatIs();
    void openVideo();
    void pressOk();

    AppContext& m_context;
    ProgressSink& m_mainProgress;
    PointerScheme m_pointer;
    QGroupBox* m_howFrame = nullptr;
    QGroupBox* m_moreFrame = nullptr;
    QGroupBox* m_enterFrame = nullptr;
    QLabel* m_label = nullptr;
    QLineEdit* m_key = nullptr;
    QPushButton* m_video = nullptr;
    QPushButton* m_docs = nullptr;
    QPushButton* m_whatIs = nullptr;
    QPushButton* m_test = nullptr;
    QPushButton* m_ok = nullptr;
    std::unique_ptr<KeyTest> m_keyTest;
    bool m_storeFailureReported = false;
};

} // namespace quillmore
