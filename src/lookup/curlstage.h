#pragma once

#include "lookupconfig.h"
#include "runcontrol.h"

#include <QString>

#include <memory>

#include <qcoro/qcorotask.h>

namespace quillmore {

class Dialogs;
class ProgressSink;

// The transfer tool's private folder for one run or key test. Nobody else can
// write in it and its name cannot be guessed, so nothing planted beside it in
// the shared temporary folder is ever run, followed or deleted.
struct CurlStage
{
    QString folder;     // set as soon as the folder exists, so that it is always removed
    bool ready = false; // tool and bundle are written

    QString toolPath() const { return ready ? folder + QStringLiteral("/curl.exe") : QString(); }
    QString bundlePath() const
    {
        return ready ? folder + QStringLiteral("/curl-ca-bundle.crt") : QString();
    }
    QString responsePath() const
    {
        return ready ? folder + QStringLiteral("/message.txt") : QString();
    }
};

// TEMP when it is set and not empty, else the platform's temporary folder;
// a folder given in the configuration wins over both.
QString temporaryFolder(const LookupConfig& config);

// Makes a new private folder in the temporary folder and writes the tool
// (executable by its owner only) and the certificate bundle into it. Throws
// Failure when that is not possible; the stage then stays unusable, and
// requests through it end as "Could not connect".
void stageCurl(CurlStage& stage, const LookupConfig& config);

// Removes the stage's folder with everything in it; never fails.
void removeCurl(CurlStage& stage);

// Deletes a file if it is there; never fails.
void removeFile(const QString& path);

// Everything one lookup run or key test owns while it goes on. The coroutine
// keeps its own reference, so an abort can end it even after its owner is gone.
struct StagedWork
{
    std::shared_ptr<RunControl> control = std::make_shared<RunControl>();
    CurlStage stage;
    LookupConfig config;

    // Resumes the work at once wherever it waits (it then ends quietly) and
    // removes its staged files.
    void abort()
    {
        control->abort();
        removeCurl(stage);
    }
};

// What a request needs besides the number and the key.
struct CurlRequest
{
    Dialogs& dialogs;       // for its own error report
    ProgressSink& progress; // the main window's progress bar
    const LookupConfig& config;
    std::shared_ptr<RunControl> control;
};

// One lookup: runs the tool up to 6 times, waiting one second after each try
// that left no answer file, and gives the answer as one line, "empty file" or
// "Could not connect". Reports its own failures under CurlFunctions.ReadCurl.
// Gives the empty text once aborted.
QCoro::Task<QString> readCurl(const CurlStage& stage, const QString& number, const QString& apiKey,
                              const CurlRequest& request);

} // namespace quillmore
