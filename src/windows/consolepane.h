#pragma once

#include <QString>

class QPlainTextEdit;

namespace quillmore {

// The "Console View" text box: the service's answers, one a line. It keeps
// the exact text (CR LF line ends) that "Copy Results To Clipboard" copies,
// apart from what the box shows.
class ConsolePane
{
public:
    // Makes `box` read-only, scrolling down, wrapping the long answers.
    void attach(QPlainTextEdit* box);

    void append(const QString& answer);
    void clear();
    const QString& text() const { return m_text; }

private:
    QPlainTextEdit* m_box = nullptr;
    QString m_text;
};

} // namespace quillmore
