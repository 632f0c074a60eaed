#pragma once

#include <QElapsedTimer>
#include <QString>

namespace quillmore::cli {

enum class ProgressMode { Quiet, Terminal, Lines };

// The run's progress on standard error. On a terminal one line, rewritten in
// place: done/total, numbers per second, time left. Elsewhere (a log file) a
// plain line every 10 numbers and one at the end.
class ProgressLine
{
public:
    ProgressLine(ProgressMode mode, qsizetype total, qsizetype alreadyDone);

    void setDone(qsizetype done);
    void finish();
    // Clears a rewritten line so that a message can stand on its own line;
    // the next update draws it again.
    void makeRoom();

    // "12/40 done, 0.8 numbers/s, about 1 min left" from what is known.
    static QString text(qsizetype done, qsizetype total, qsizetype doneHere, qint64 elapsedMs);

private:
    void draw();

    ProgressMode m_mode;
    qsizetype m_total;
    qsizetype m_startDone;
    qsizetype m_done;
    qsizetype m_lastLine = 0;
    bool m_lineShown = false;
    QElapsedTimer m_clock;
};

} // namespace quillmore::cli
