#include "windows/consolepane.h"

#include <QPlainTextEdit>

namespace quillmore {

void ConsolePane::attach(QPlainTextEdit* box)
{
    m_box = box;
    m_box->setReadOnly(true);
    m_box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_box->setUndoRedoEnabled(false);
    // Answers are long single lines: wrap them anywhere rather than scroll sideways.
    m_box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ConsolePane::append(const QString& answer)
{
    m_text += answer;
    m_text += QStringLiteral("\r\n");
    // Appending a block costs the same on the 10,000th answer as on the first;
    // the shown text never holds CR, so the kept text is the one copied.
    m_box->appendPlainText(answer);
}

void ConsolePane::clear()
{
    m_text.clear();
    m_box->clear();
}

} // namespace quillmore
