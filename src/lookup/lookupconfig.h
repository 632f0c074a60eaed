#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

namespace quillmore {

// Everything the lookup engine takes from outside. The defaults are the
// program's own (build options and embedded resources); tests override them.
struct LookupConfig
{
    QString serviceUrl;                      // base address, no trailing slash
    std::function<QByteArray()> curlBytes;   // the transfer tool to stage
    std::function<QByteArray()> bundleBytes; // the PEM bundle to stage
    QString tempFolder;                      // empty: TEMP, else the platform's temporary folder
    QString cacheFolder; // empty: the platform's cache folder (used when TEMP forbids running)
    QString builtCurl;   // the curl the program was built with: the last way to run a request
    // How long a pause of the given length really lasts; tests shorten pauses
    // to nothing and note them. Empty: as long as asked.
    std::function<std::chrono::milliseconds(std::chrono::milliseconds)> pauseLength;
    std::function<int()> randomPauseSeconds; // 3..6
    std::chrono::milliseconds childTimeout{30000};

    std::chrono::milliseconds pause(std::chrono::milliseconds asked) const
    {
        return pauseLength ? pauseLength(asked) : asked;
    }

    // The program's own configuration.
    static LookupConfig defaults();
};

} // namespace quillmore
