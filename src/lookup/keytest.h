#pragma once

#include "curlstage.h"
#include "lookupconfig.h"

#include <QObject>
#include <QString>

#include <memory>

#include <qcoro/qcorotask.h>

namespace quillmore {

class KeyTestView;

inline const QString kKeyTestNumber = QStringLiteral("4135923823");

// The key window's "Test API Key": one real lookup of a sample number with the
// key in the window, and one message saying what the service made of it.
// Nothing of the answer is kept. The window must call abort() (or delete this
// object) before it goes away.
class KeyTest : public QObject
{
    Q_OBJECT
public:
    KeyTest(KeyTestView& view, LookupConfig config, QObject* parent = nullptr);
    ~KeyTest() override;

    // The button's click; ignored while a test is running.
    void buttonPressed();
    bool isRunning() const { return m_state != nullptr; }

    // Ends the running child and the test at once and removes the tool's folder;
    // the view is not touched again. Emits finished().
    void abort();

    QString stagingFolder() const;

signals:
    void finished();

private:
    QCoro::Task<> run(std::shared_ptr<StagedWork> state);
    void endAborted(bool notify);

    KeyTestView& m_view;
    LookupConfig m_config;
    std::shared_ptr<StagedWork> m_state;
};

} // namespace quillmore
