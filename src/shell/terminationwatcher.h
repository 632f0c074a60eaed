#pragma once

#include <QObject>

class QSocketNotifier;

namespace quillmore {

// Turns a request from outside to end the program (SIGTERM, SIGHUP: a logout,
// `kill`, a closed terminal) into a signal on the event loop, where it can be
// answered like a click on the close box. Elsewhere than on Unix it watches
// nothing. One at a time per process. A program run from a terminal may
// watch Ctrl+C (SIGINT) the same way.
class TerminationWatcher : public QObject
{
    Q_OBJECT
public:
    enum class Interrupt { Default, Watched };
    explicit TerminationWatcher(QObject* parent = nullptr,
                                Interrupt interrupt = Interrupt::Default);
    ~TerminationWatcher() override;

    // False when the signals could not be caught; the default ending stays.
    bool isWatching() const { return m_notifier != nullptr; }

signals:
    void terminationRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quillmore
