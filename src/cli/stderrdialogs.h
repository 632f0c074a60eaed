#pragma once

#include "shell/dialogs.h"

#include <functional>

namespace quillmore::cli {

// The engine's messages without a window: each one a line on standard error.
// Nothing can be asked: an input gives the empty text, a file dialog no file,
// a question No.
class StderrDialogs : public Dialogs
{
public:
    // Called before a message is written, so a progress line can make room.
    std::function<void()> beforeMessage;

    void openUrl(const QUrl&) override {}

protected:
    void showMessage(const QString& text, const QString& title, Icon icon) override;
    QString askText(const QString&, const QString&, const QString&) override { return {}; }
    QStringList askOpenFileNames(const QString&, const QString&) override { return {}; }
    QString askSaveFileName(const QString&, const QString&) override { return {}; }
    bool askYesNo(const QString&, const QString&, const QString&, DefaultAnswer) override
    {
        return false;
    }
};

// One message line on standard error.
void writeError(const QString& text);

} // namespace quillmore::cli
