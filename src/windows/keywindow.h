#pragma once

#include "desktop/controltable.h"
#include "desktop/pointerscheme.h"

#include <QWidget>

#include <memory>

class QLineEdit;

namespace quillmore {

struct AppContext;
class KeyTest;

// "Key Options": where the user enters, keeps and tests the API key. The
// field edits the key store; the key test reads the store like any request.
class KeyWindow : public QWidget
{
    Q_OBJECT
public:
    explicit KeyWindow(AppContext& context, QWidget* parent = nullptr);
    ~KeyWindow() override;

    // Busy while the key test runs; the pointer shows it.
    bool isBusy() const { return m_busy; }

    // Ends a running key test at once (the program is closing).
    void endWork();

    static QString videoTarget(const QString& programFolder);

signals:
    // The key test's request, for the main window's progress bar.
    void progressText(const QString& text);
    // "OK": back to the main window, this one stays loaded.
    void okPressed();
    // The close box: this window is unloaded, the main window comes back.
    void closedByUser();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape does what the close box does.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void formLoad();
    void storeKey(const QString& text);
    void openDocs();
    void openWhatIs();
    void openVideo();
    void pressOk();

    void setBusy(bool busy);

    AppContext& m_context;
    PointerScheme m_pointer;
    bool m_busy = false;
    ControlSet m_controls;
    QLineEdit* m_key = nullptr;
    std::unique_ptr<KeyTest> m_keyTest;
    bool m_storeFailureReported = false;
};

} // namespace quillmore
