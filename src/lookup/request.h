#pragma once

#include <QString>

namespace quillmore {

// The address of one lookup. Key and digits are inserted as they stand, but for
// blanks, quotes and control characters in the key, which are percent-encoded
// so that the key cannot split curl's command line into extra arguments.
QString requestAddress(const QString& baseUrl, const QString& apiKey, const QString& digits);

// The tool's whole command line: quoted tool path, the POST of the address and
// the quoted answer file.
QString curlCommandLine(const QString& toolPath, const QString& address,
                        const QString& responsePath);

} // namespace quillmore
