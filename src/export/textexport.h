#pragma once

#include "export/exportview.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

class QIODevice;

namespace quillmore {

class Dialogs;
class ProgressSink;

// The length that column widths and padding count: characters, so a name
// outside the Basic Multilingual Plane pads like any other.
qsizetype textLength(QStringView text);

// Cell c of a row; a row shorter than the header list reads as empty there.
QString cellText(const ReportTable::Row& row, qsizetype column);

enum class CaptionWidth { Counted, Ignored };

// One width per header: the longest cell of the column in every row, ticked
// or not, and the caption too when it is counted.
QList<qsizetype> columnWidths(const ReportTable& table, CaptionWidth captions);

// Appends `text`, the spaces up to `width` and one TAB. A text longer than
// its width goes in whole, unpadded.
void appendAligned(QString& line, QStringView text, qsizetype width);

// One whole line of the aligned file: every cell aligned to its width, CR LF
// at the end, in the bytes it is written in.
QByteArray alignedLineBytes(const QStringList& cells, const QList<qsizetype>& widths);

// Widens `widths` (one per caption) to hold the cells of one more row.
void widenColumns(QList<qsizetype>& widths, const QStringList& cells);

// The bytes a line is written in: the locale's 8-bit encoding, no byte-order mark.
QByteArray exportBytes(QStringView text);

// The aligned file's steps, for a writer that guards each one on its own.
// Progress goes to `progress` when there is one, in the order the user sees it.
class ProperlySpacedFile
{
public:
    ProperlySpacedFile(const ReportTable& table, const QString& fileName, ProgressSink* progress);

    // Value and "Writing file: <name>" on the bar.
    void announce(double value);
    void measureColumns();
    void writeHeaderLine(QIODevice& device);
    // One line per ticked row, each with its progress value.
    void writeRowLines(QIODevice& device);
    void announceDone();
    void rest();

    const QList<qsizetype>& widths() const { return m_widths; }

    // The bar's value after ticked row `row` (1-based) of `rowCount`, held at 100.
    static double rowProgress(qsizetype row, qsizetype rowCount);

private:
    void writeLine(QIODevice& device);

    const ReportTable& m_table;
    QString m_fileName;
    QString m_shownName;
    ProgressSink* m_progress;
    QList<qsizetype> m_widths;
    QString m_line;
};

// The writer behind "Save Results As Text File": replaces `fileName` only with
// a complete file. Reports its own failure once and stops writing; the bar
// still comes back to rest.
void saveListviewProperlySpaced(const ReportTable& table, const QString& fileName,
                                ProgressSink* progress, Dialogs& dialogs);

} // namespace quillmore
