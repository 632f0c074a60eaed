#include "export/textexport.h"

#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "shell/progresssink.h"
#include "shell/safefile.h"

#include <QBuffer>

#include <algorithm>

namespace quillmore {

namespace {

const QString kWritingFile = QStringLiteral("Writing file: ");
const QString kLineEnd = QStringLiteral("\r\n");

qsizetype widthAt(const QList<qsizetype>& widths, qsizetype column)
{
    return column < widths.size() ? widths.at(column) : 0;
}

} // namespace

qsizetype textLength(QStringView text)
{
    qsizetype length = text.size();
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i].isLowSurrogate() && text[i - 1].isHighSurrogate())
            --length;
    }
    return length;
}

QString cellText(const ReportTable::Row& row, qsizetype column)
{
    return column < row.cells.size() ? row.cells.at(column) : QString();
}

QList<qsizetype> columnWidths(const ReportTable& table, CaptionWidth captions)
{
    const qsizetype columns = table.headers.size();
    QList<qsizetype> widths(columns, 0);
    if (captions == CaptionWidth::Counted) {
        for (qsizetype c = 0; c < columns; ++c)
            widths[c] = textLength(table.headers.at(c));
    }
    for (const ReportTable::Row& row : table.rows) {
        const qsizetype filled = std::min(columns, row.cells.size());
        for (qsizetype c = 0; c < filled; ++c)
            widths[c] = std::max(widths[c], textLength(row.cells.at(c)));
    }
    return widths;
}

void appendAligned(QString& line, QStringView text, qsizetype width)
{
    line += text;
    const qsizetype padding = width - textLength(text);
    if (padding > 0)
        line += QString(padding, QLatin1Char(' '));
    line += QLatin1Char('\t');
}

QByteArray alignedLineBytes(const QStringList& cells, const QList<qsizetype>& widths)
{
    QString line;
    for (qsizetype c = 0; c < widths.size(); ++c)
        appendAligned(line, c < cells.size() ? QStringView(cells.at(c)) : QStringView(),
                      widths.at(c));
    line += kLineEnd;
    return exportBytes(line);
}

void widenColumns(QList<qsizetype>& widths, const QStringList& cells)
{
    const qsizetype filled = std::min(widths.size(), cells.size());
    for (qsizetype c = 0; c < filled; ++c)
        widths[c] = std::max(widths[c], textLength(cells.at(c)));
}

QByteArray exportBytes(QStringView text)
{
    return text.toLocal8Bit();
}

ProperlySpacedFile::ProperlySpacedFile(const ReportTable& table, const QString& fileName,
                                       ProgressSink* progress)
    : m_table(table), m_fileName(fileName), m_shownName(fileNamePart(fileName)),
      m_progress(progress)
{
}

void ProperlySpacedFile::announce(double value)
{
    if (!m_progress)
        return;
    m_progress->setProgressValue(value);
    m_progress->setProgressText(kWritingFile + m_shownName);
}

void ProperlySpacedFile::measureColumns()
{
    m_widths = columnWidths(m_table, CaptionWidth::Counted);
}

void ProperlySpacedFile::writeHeaderLine(QIODevice& device)
{
    m_line.clear();
    for (qsizetype c = 0; c < m_table.headers.size(); ++c)
        appendAligned(m_line, m_table.headers.at(c), widthAt(m_widths, c));
    m_line += kLineEnd;
    writeLine(device);
}

void ProperlySpacedFile::writeRowLines(QIODevice& device)
{
    const qsizetype rowCount = m_table.rows.size();
    const qsizetype columns = m_table.headers.size();
    for (qsizetype r = 1; r <= rowCount; ++r) {
        const ReportTable::Row& row = m_table.rows.at(r - 1);
        if (!row.ticked)
            continue;
        m_line.clear();
        for (qsizetype c = 0; c < columns; ++c)
            appendAligned(m_line, cellText(row, c), widthAt(m_widths, c));
        m_line += kLineEnd;
        if (m_progress) {
            m_progress->setProgressValue(rowProgress(r, rowCount));
            // The row number on the bar changes rarely enough to be read.
            if (r % 1000 == 0)
                m_progress->setProgressText(kWritingFile + m_shownName + QStringLiteral(" (") +
                                            QString::number(r) + QLatin1Char(')'));
        }
        writeLine(device);
    }
}

void ProperlySpacedFile::announceDone()
{
    if (!m_progress)
        return;
    m_progress->setProgressValue(100);
    m_progress->setProgressText(QStringLiteral("Done."));
}

void ProperlySpacedFile::rest()
{
    if (!m_progress)
        return;
    m_progress->setProgressValue(0);
    m_progress->setProgressText(kProgressRestText);
}

double ProperlySpacedFile::rowProgress(qsizetype row, qsizetype rowCount)
{
    if (rowCount <= 0)
        return 100;
    // The head start of one point per 2000 rows overshoots on the last rows
    // of long lists; the bar holds at full there.
    const double value = double(rowCount / 2000 + row) / double(rowCount) * 100.0;
    return std::min(value, 100.0);
}

void ProperlySpacedFile::writeLine(QIODevice& device)
{
    try {
        writeAllOrThrow(device, exportBytes(m_line));
    } catch (const Failure& failure) {
        throw saveFailure(m_fileName, failure.description());
    }
}

void saveListviewProperlySpaced(const ReportTable& table, const QString& fileName,
                                ProgressSink* progress, Dialogs& dialogs)
{
    GuardedProcedure proc(dialogs, procedurePath(QStringLiteral("Main"),
                                                 QStringLiteral("SaveListviewProperlySpaced")));
    ProperlySpacedFile job(table, fileName, progress);
    // Until committed, the old file of that name stays as it was. In a folder
    // that takes no new file, a file the user may write is written in place:
    // only then is the old text at risk.
    SafeFile file(fileName);
    file.setDirectWriteFallback(true);

    // After the first failure every later write would fail the same way; one
    // report says it all. Skipped steps keep their line numbers.
    bool failed = false;
    auto step = [&](auto&& work) {
        if (failed)
            proc.step([] {});
        else
            failed = !proc.step(work);
    };

    step([&] { job.announce(1); });
    step([&] { job.measureColumns(); });
    step([&] { job.announce(10); });
    step([&] { file.open(); });
    step([&] { job.writeHeaderLine(file); });
    step([&] { job.announce(20); });
    step([&] { job.writeRowLines(file); });
    step([&] { file.commit(); });
    // "Done." only for a file that is really there.
    step([&] { job.announceDone(); });
    proc.step([&] { job.rest(); });
}

} // namespace quillmore
