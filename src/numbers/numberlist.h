#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quillmore {

// The six numbers "Load Sample/Example Numbers" appends, in this order.
QStringList sampleNumbers();

// Typed input: split at every comma, blanks (spaces only) trimmed from each
// piece, empty pieces kept.
QStringList splitTypedNumbers(const QString& answer);

// A number file's text: entries at every CR LF, lone CR and lone LF; blank
// lines give empty entries; a final CR LF or CR closes the last entry, a final
// lone LF opens one more, empty entry. Lines are taken whole.
QStringList splitFileLines(const QString& text);

// Clipboard text: one entry per non-empty line (CR LF, lone CR or lone LF end
// a line), each taken whole, blanks included.
QStringList splitPastedNumbers(const QString& clipboardText);

// Reads one number file (bytes decoded with the locale's 8-bit codec).
// Throws Failure when the file cannot be read.
QStringList readNumberFile(const QString& path);

// The stored form of the list: entries joined with ";", nothing after the last.
QString joinForStorage(const QStringList& entries);
// Back from the stored form: split at every ";", empty pieces dropped.
QStringList splitFromStorage(const QString& stored);

inline const QString kFileNotFoundText = QStringLiteral("File not found");
inline const QString kAddNumbersPrompt =
    QStringLiteral("Enter phone number or numbers (use commas): ");
inline const QString kLoadDialogTitle =
    QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files");
inline const QString kNumberFileFilter = QStringLiteral(
    "Text Files (*.txt)|*.txt|Tables (*.csv *.tsv *.xlsx)|*.csv;*.tsv;*.xlsx|All Files (*.*)|*.*|");

} // namespace quillmore
