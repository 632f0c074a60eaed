#include "cli/progressline.h"

#include <cmath>
#include <cstdio>

namespace quillmore::cli {

namespace {

void writeRaw(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QString durationText(double seconds)
{
    if (seconds < 60)
        return QStringLiteral("less than a minute");
    const qint64 minutes = qint64(std::llround(seconds / 60.0));
    if (minutes < 60)
        return QStringLiteral("about %1 min").arg(minutes);
    return QStringLiteral("about %1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

} // namespace

ProgressLine::ProgressLine(ProgressMode mode, qsizetype total, qsizetype alreadyDone)
    : m_mode(mode), m_total(total), m_startDone(alreadyDone), m_done(alreadyDone),
      m_lastLine(alreadyDone)
{
    m_clock.start();
}

QString ProgressLine::text(qsizetype done, qsizetype total, qsizetype doneHere, qint64 elapsedMs)
{
    QString line = QStringLiteral("%1/%2 done").arg(done).arg(total);
    if (doneHere <= 0 || elapsedMs <= 0)
        return line;
    const double rate = double(doneHere) * 1000.0 / double(elapsedMs);
    line += QStringLiteral(", %1 numbers/s").arg(rate, 0, 'f', rate < 10 ? 2 : 1);
    if (done < total)
        line += QStringLiteral(", %1 left").arg(durationText(double(total - done) / rate));
    return line;
}

void ProgressLine::draw()
{
    const QString line = text(m_done, m_total, m_done - m_startDone, m_clock.elapsed());
    if (m_mode == ProgressMode::Terminal) {
        // Back to the line's start, the new text, the rest of the old one erased.
        writeRaw("\r" + line.toLocal8Bit() + "\x1b[K");
        m_lineShown = true;
    } else {
        writeRaw(line.toLocal8Bit() + '\n');
    }
}

void ProgressLine::setDone(qsizetype done)
{
    m_done = done;
    if (m_mode == ProgressMode::Terminal) {
        draw();
    } else if (m_mode == ProgressMode::Lines && m_done - m_lastLine >= 10) {
        m_lastLine = m_done;
        draw();
    }
}

void ProgressLine::finish()
{
    if (m_mode == ProgressMode::Quiet)
        return;
    draw();
    if (m_mode == ProgressMode::Terminal) {
        writeRaw("\n");
        m_lineShown = false;
    }
}

void ProgressLine::makeRoom()
{
    if (m_mode == ProgressMode::Terminal && m_lineShown) {
        writeRaw("\r\x1b[K");
        m_lineShown = false;
    }
}

} // namespace quillmore::cli
