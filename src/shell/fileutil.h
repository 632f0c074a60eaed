#pragma once

#include <QString>

namespace quillmore {

// True when a file or folder of that name exists; never fails.
bool fileExists(const QString& path);

// The text after the last path separator; the whole text when there is none.
// Both separators count, so Windows paths and ours give the same name.
QString fileNamePart(const QString& path);

// The digits 0 to 9 of a number as typed, after trimming its outer spaces.
QString digitsOnly(const QString& text);

// The folder that holds the program's executable.
QString programFolder();

// The product's title for message boxes: the name loses its last word, and more
// while longer than 40 characters; a one-word name stays whole.
QString deriveAppTitle(const QString& productName);

inline const QString kProductName = QStringLiteral("Quillmore");

} // namespace quillmore
