#pragma once

#include "export/exportview.h"

#include <QString>

namespace quillmore {

// The system clipboard as the copy buttons and the paste need it: plain text.
class Clipboard
{
public:
    virtual ~Clipboard();
    virtual void setText(const QString& text) = 0;
    virtual QString text() const = 0;
};

// The desktop's clipboard through Qt, which takes the text in every case.
class SystemClipboard : public Clipboard
{
public:
    void setText(const QString& text) override;
    QString text() const override;
};

// Puts the text on the clipboard in one write, replacing what it held.
void clipboardSetText(Clipboard& clipboard, const QString& text);

// The clipboard form of the ticked rows: no caption line, widths from the
// cells of every row, the last field neither padded nor followed by a TAB,
// spaces at the end of each line removed, CR LF after every line.
QString copyListviewProperlySpacedText(const ReportTable& table);

// Puts that text on the clipboard. A list without rows leaves the clipboard
// as it was.
void copyListviewProperlySpaced(const ReportTable& table, Clipboard& clipboard);

} // namespace quillmore
