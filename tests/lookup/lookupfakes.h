#pragma once

// Recording stand-ins for the windows, the message boxes and the clock, for
// tests of the lookup run and the key test (and of the windows built on them).

#include "dialogs.h"
#include "lookupconfig.h"
#include "lookupview.h"
#include "progresssink.h"
#include "scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

#include <qcoro/qcorotask.h>

namespace quillmore::test {

using RecordingDialogs = ScriptedDialogs;

// The main window as the lookup run sees it.
class FakeRunView : public LookupRunView
{
public:
    RecordingDialogs dialogBoxes;
    RecordingProgress bar;
    QStringList numbers;
    QString caption = QStringLiteral("Start Looking Up");
    QStringList captions; // every caption set, in order
    QList<bool> busy;     // every busy state set, in order
    QString console;
    QStringList answers; // one per appendConsole call
    QList<QStringList> rows;
    int clears = 0;
    QString key = QStringLiteral("test-key");

    Dialogs& dialogs() override { return dialogBoxes; }
    int numberCount() const override { return int(numbers.size()); }
    QString numberAt(int index) const override { return numbers.at(index); }
    QString startCaption() const override { return caption; }
    void setStartCaption(const QString& c) override
    {
        caption = c;
        captions << c;
    }
    void setBusy(bool b) override { busy << b; }
    ProgressSink& progress() override { return bar; }
    void appendConsole(const QString& answer) override
    {
        console += answer + QStringLiteral("\r\n");
        answers << answer;
    }
    void clearResults() override
    {
        rows.clear();
        ++clears;
    }
    void appendResultRow(const QStringList& cells) override { rows << cells; }
    QString apiKey() override { return key; }
};

// The key window as the key test sees it.
class FakeKeyView : public KeyTestView
{
public:
    RecordingDialogs dialogBoxes;
    RecordingProgress bar;
    QList<bool> busy;
    QString key = QStringLiteral("test-key");

    Dialogs& dialogs() override { return dialogBoxes; }
    void setBusy(bool b) override { busy << b; }
    ProgressSink& progress() override { return bar; }
    QString apiKey() override { return key; }
};

// A clock that does not wait: it notes each requested pause and ends it at once.
class RecordingSleeper : public Sleeper
{
public:
    QList<std::chrono::milliseconds> requested;
    // Runs when a pause begins, as a user's click during the pause would.
    std::function<void(std::chrono::milliseconds)> onSleep;

    QCoro::Task<> sleep(std::chrono::milliseconds duration) override
    {
        requested << duration;
        if (onSleep)
            onSleep(duration);
        co_return;
    }

    QList<int> seconds() const
    {
        QList<int> all;
        for (auto d : requested)
            all << int(d.count() / 1000);
        return all;
    }
};

// The curl that the program carries.
inline QByteArray carriedCurl()
{
    return LookupConfig::defaults().curlBytes();
}

// A configuration for tests: the given service and CA, the carried curl, the
// recording clock, a fixed pause and a temporary folder of the test's own.
inline LookupConfig testLookupConfig(const QString& serviceUrl, const QByteArray& caPem,
                                     const QString& tempFolder, std::shared_ptr<Sleeper> sleeper,
                                     int pauseSeconds = 4)
{
    LookupConfig config;
    config.serviceUrl = serviceUrl;
    const QByteArray curl = carriedCurl();
    config.curlBytes = [curl] { return curl; };
    config.bundleBytes = [caPem] { return caPem; };
    config.tempFolder = tempFolder;
    config.sleeper = std::move(sleeper);
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
