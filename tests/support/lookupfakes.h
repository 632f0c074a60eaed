#pragma once

// Recording stand-ins around the lookup run and the key test: what a window
// would show of their signals, the message boxes, and a clock that does not wait.

#include "lookup/keytest.h"
#include "lookup/lookupconfig.h"
#include "lookup/lookuprun.h"
#include "numbers/numberlistmodel.h"
#include "shell/keystore.h"
#include "shell/progresssink.h"
#include "support/scripteddialogs.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace quillmore::test {

using RecordingDialogs = ScriptedDialogs;

// Notes each pause asked for and makes it last nothing.
class RecordingPauses
{
public:
    QList<std::chrono::milliseconds> requested;
    // Runs when a pause begins, as a user's click during the pause would.
    std::function<void(std::chrono::milliseconds)> onPause;

    std::chrono::milliseconds operator()(std::chrono::milliseconds asked)
    {
        requested << asked;
        if (onPause)
            onPause(asked);
        return std::chrono::milliseconds(0);
    }

    QList<int> seconds() const
    {
        QList<int> all;
        for (auto d : requested)
            all << int(d.count() / 1000);
        return all;
    }
};

// What the main window shows of a run: the list and key it reads, and
// everything the run tells.
class RunRecorder
{
public:
    RecordingDialogs dialogBoxes;
    RecordingProgress bar;
    NumberListModel numbers;
    KeyStore key{nullptr};
    QStringList captions; // every caption the button comes to show, in order
    QList<bool> busy;     // every busy state set, in order
    QString console;
    QStringList answers;
    QList<ResultRecord> records;
    QList<QStringList> rows;

    RunRecorder() { key.setKey(QStringLiteral("test-key")); }

    void setNumbers(const QStringList& entries)
    {
        numbers.clear();
        numbers.append(entries);
    }

    void watch(LookupRun& run)
    {
        QObject::connect(&run, &LookupRun::stateChanged, [this](LookupRun::State s) {
            const QString caption = s == LookupRun::State::Running
                                        ? QStringLiteral("Stop")
                                        : QStringLiteral("Start Looking Up");
            if (captions.isEmpty() || captions.constLast() != caption)
                captions << caption;
        });
        QObject::connect(&run, &LookupRun::busyChanged, [this](bool b) { busy << b; });
        QObject::connect(&run, &LookupRun::progressValue,
                         [this](double v) { bar.setProgressValue(v); });
        QObject::connect(&run, &LookupRun::progressText,
                         [this](const QString& t) { bar.setProgressText(t); });
        QObject::connect(&run, &LookupRun::answerReceived, [this](const QString& a) {
            console += a + QStringLiteral("\r\n");
            answers << a;
        });
        QObject::connect(&run, &LookupRun::rowReady, [this](const ResultRecord& r) {
            records << r;
            rows << r.cells;
        });
    }

    void watch(KeyTest& test)
    {
        QObject::connect(&test, &KeyTest::busyChanged, [this](bool b) { busy << b; });
        QObject::connect(&test, &KeyTest::progressText,
                         [this](const QString& t) { bar.setProgressText(t); });
    }
};

// The curl that the program carries.
inline QByteArray carriedCurl()
{
    return LookupConfig::defaults().curlBytes();
}

// A configuration for tests: the given service and CA, the carried curl, the
// recording clock, a fixed pause and temporary and cache folders of the test's own.
inline LookupConfig testLookupConfig(const QString& serviceUrl, const QByteArray& caPem,
                                     const QString& tempFolder,
                                     std::shared_ptr<RecordingPauses> pauses, int pauseSeconds = 4)
{
    LookupConfig config;
    config.serviceUrl = serviceUrl;
    const QByteArray curl = carriedCurl();
    config.curlBytes = [curl] { return curl; };
    config.bundleBytes = [caPem] { return caPem; };
    config.tempFolder = tempFolder;
    config.cacheFolder = tempFolder + QStringLiteral("-cache");
    if (pauses)
        config.pauseLength = [pauses](std::chrono::milliseconds d) { return (*pauses)(d); };
    config.randomPauseSeconds = [pauseSeconds] { return pauseSeconds; };
    return config;
}

// The entries of a folder (hidden ones included), for checking what a run left.
inline QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace quillmore::test
