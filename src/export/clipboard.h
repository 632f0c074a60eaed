#pragma once

#include "exportview.h"

#include <QString>

namespace quillmore {

// The system clipboard as the copy buttons need it. Each call says whether it
// worked, for platforms where another program can hold the clipboard.
class Clipboard
{
public:
    virtual ~Clipboard();
    virtual bool clear() = 0;
    // Plain text.
    virtual bool setText(const QString& text) = 0;
};

// The desktop's clipboard through Qt. Qt takes the text in every case, so
// neither call fails.
class SystemClipboard : public Clipboard
{
public:
    bool clear() override;
    bool setText(const QString& text) override;
};

// How often a busy clipboard is tried before giving up silently.
inline constexpr int kClipboardAttempts = 1000;

// Tried until one attempt works; never reports.
bool clipboardClear(Clipboard& clipboard);
bool clipboardSetText(Clipboard& clipboard, const QString& text);

// The clipboard form of the ticked rows: no caption line, widths from the
// cells of every row, the last field neither padded nor followed by a TAB,
// spaces at the end of each line removed, CR LF after every line.
QString copyListviewProperlySpacedText(const ReportTable& table);

// Puts that text on the clipboard. A list without rows leaves the clipboard
// as it was.
void copyListviewProperlySpaced(const ReportTable& table, Clipboard& clipboard);

} // namespace quillmore
