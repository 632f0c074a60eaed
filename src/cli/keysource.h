#pragma once

#include <QString>

#include <functional>

namespace quillmore::cli {

inline constexpr char kKeyVariable[] = "QUILLMORE_API_KEY";

// The API key, from the first place that has one: the environment variable
// QUILLMORE_API_KEY, the first line of `keyFile` (when one is given), the key
// the desktop program stored (`storedKey`). Throws Failure with a message for
// the user when a key file is refused or no place has a key.
QString chooseKey(const QString& keyFile, const std::function<QString()>& storedKey);

// The key from the environment variable, else from `keyFile` when one is
// given; empty when neither has one, so that the stored key is asked for.
// Throws Failure when the key file is refused.
QString directKey(const QString& keyFile);

// What the user reads when no place has a key.
QString noKeyMessage();

// The first line of a key file that only its owner can read or write. Throws
// Failure when the file is missing, not a plain file, open to other users,
// someone else's, or without a key on its first line.
QString readKeyFile(const QString& path);

} // namespace quillmore::cli
