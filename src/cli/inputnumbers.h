#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quillmore::cli {

// The numbers of every input in order: each file split into lines as "Load
// Numbers From Text File" splits them, blank lines left out. "-" (or no file
// at all) is standard input. Throws Failure naming the input that cannot be
// read; nothing is read after it.
QStringList readInputNumbers(const QStringList& files);

// Everything standard input holds. Throws Failure when it cannot be read.
QByteArray readStandardInputBytes();

// One input's text as numbers, blank lines left out.
QStringList numbersFromText(const QString& text);

// What names a run's input in the history (its run key): a SHA-256 of the
// numbers, so that the same list in another file or with other line ends is
// the same input.
QString inputHash(const QStringList& numbers);

} // namespace quillmore::cli
