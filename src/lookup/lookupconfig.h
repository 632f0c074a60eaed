#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

#include <qcoro/qcorotask.h>

namespace quillmore {

// Waits without using the processor; tests put a fast one in its place.
class Sleeper
{
public:
    virtual ~Sleeper() = default;
    virtual QCoro::Task<> sleep(std::chrono::milliseconds duration) = 0;
};

// A Sleeper on the event loop's monotonic timers.
class TimerSleeper : public Sleeper
{
public:
    QCoro::Task<> sleep(std::chrono::milliseconds duration) override;
};

// Everything the lookup engine takes from outside. The defaults are the
// program's own (build options and embedded resources); tests override them.
struct LookupConfig
{
    QString serviceUrl;                      // base address, no trailing slash
    std::function<QByteArray()> curlBytes;   // the transfer tool to stage
    std::function<QByteArray()> bundleBytes; // the PEM bundle to stage
    QString tempFolder;                      // empty: TEMP, else the platform's temporary folder
    std::shared_ptr<Sleeper> sleeper;        // pauses and retry waits
    std::function<int()> randomPauseSeconds; // 3..6
    std::chrono::milliseconds childTimeout{30000};

    // The program's own configuration.
    static LookupConfig defaults();
};

} // namespace quillmore
