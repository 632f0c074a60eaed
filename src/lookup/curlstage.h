#pragma once

#include "lookup/lookupconfig.h"

#include <QLockFile>
#include <QString>

#include <memory>

namespace quillmore {

// The transfer tool's private folder for one run or key test. Nobody else can
// write in it and its name cannot be guessed, so nothing planted beside it in
// the shared temporary folder is ever run, followed or deleted. The folder
// goes with the stage: remove() or the destructor.
class CurlStage
{
public:
    CurlStage() = default;
    CurlStage(const CurlStage&) = delete;
    CurlStage& operator=(const CurlStage&) = delete;
    ~CurlStage() { remove(); }

    // Makes a new private folder in the temporary folder and writes the tool
    // (executable by its owner only) and the certificate bundle into it; when
    // that fails for any reason (missing, not a folder, full, not writable),
    // the same under the user's cache folder. Throws the temporary folder's
    // Failure when neither works; the stage then stays unusable and holds
    // nothing, and requests through it end as "Could not connect".
    void stage(const LookupConfig& config);

    // The tool could not be started where it is (a temporary folder where
    // programs may not run): moves to the next way, a private folder under
    // the user's cache folder, then the curl the program was built with.
    // Each stage walks this way once; false when no way is left.
    bool fallBack(const LookupConfig& config);

    // Removes the folder with everything in it; never fails.
    void remove();

    QString folder() const { return m_folder; }
    QString toolPath() const { return m_tool; }
    QString bundlePath() const;
    QString responsePath() const;

private:
    enum class Way { Temporary, Cache, BuiltCurl, None };
    void makeFolder(const QString& parent, const LookupConfig& config);

    QString m_folder; // set as soon as the folder exists, so that it is always removed
    // Marks the folder as ours and in use; one left by a crash is removed at the next start.
    std::unique_ptr<QLockFile> m_claim;
    QString m_tool; // empty until the tool is ready to run
    Way m_way = Way::Temporary;
};

// TEMP when it is set and not empty, else the platform's temporary folder;
// a folder given in the configuration wins over both.
QString temporaryFolder(const LookupConfig& config);

// The user's cache folder for the tool when the temporary folder forbids running it.
QString cacheFolder(const LookupConfig& config);

// Deletes a file if it is there; never fails.
void removeFile(const QString& path);

} // namespace quillmore
