#include "desktop/clipboard.h"

#include "export/textexport.h"

#include <QClipboard>
#include <QGuiApplication>

namespace quillmore {

Clipboard::~Clipboard() = default;

void SystemClipboard::setText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

QString SystemClipboard::text() const
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

void clipboardSetText(Clipboard& clipboard, const QString& text)
{
    clipboard.setText(text);
}

QString copyListviewProperlySpacedText(const ReportTable& table)
{
    const QList<qsizetype> widths = columnWidths(table, CaptionWidth::Ignored);
    const qsizetype columns = table.headers.size();
    QString text;
    QString line;
    for (const ReportTable::Row& row : table.rows) {
        if (!row.ticked)
            continue;
        line.clear();
        for (qsizetype c = 0; c < columns; ++c)
            appendAligned(line, cellText(row, c), widths.at(c));
        // The last field's TAB goes, then whatever spaces end the line, so
        // a pasted row carries no invisible tail.
        if (!line.isEmpty())
            line.chop(1);
        qsizetype end = line.size();
        while (end > 0 && line.at(end - 1) == QLatin1Char(' '))
            --end;
        line.truncate(end);
        text += line;
        text += QStringLiteral("\r\n");
    }
    return text;
}

void copyListviewProperlySpaced(const ReportTable& table, Clipboard& clipboard)
{
    if (table.rows.isEmpty())
        return;
    const QString text = copyListviewProperlySpacedText(table);
    clipboardSetText(clipboard, text);
}

} // namespace quillmore
