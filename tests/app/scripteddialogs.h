#pragma once

#include "dialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <QUrl>

namespace quillmore::test {

// Dialogs that never block: answers come from queues the test fills, and
// everything shown is recorded for the test to check word for word.
class ScriptedDialogs : public Dialogs
{
public:
    struct Shown
    {
        QString text;
        QString title;
        Icon icon = Icon::None;
    };
    struct FileAsk
    {
        QString title;
        QString filter;
    };

    QList<Shown> messages;
    QList<Shown> prompts;
    QList<FileAsk> openAsks;
    QList<FileAsk> saveAsks;
    QList<QUrl> opened;

    QQueue<QString> inputAnswers;
    QQueue<QStringList> openAnswers;
    QQueue<QString> saveAnswers;

    // Called while a message is up, as if the user acted before pressing OK.
    std::function<void(const Shown&)> onMessage;

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const auto& m : messages)
            texts << m.text;
        return texts;
    }

    void openUrl(const QUrl& url) override { opened << url; }

protected:
    void showMessage(const QString& text, const QString& title, Icon icon) override
    {
        messages << Shown{text, title, icon};
        if (onMessage)
            onMessage(messages.constLast());
    }
    QString askText(const QString& prompt, const QString& title, const QString&) override
    {
        prompts << Shown{prompt, title, Icon::None};
        return inputAnswers.isEmpty() ? QString() : inputAnswers.dequeue();
    }
    QStringList askOpenFileNames(const QString& title, const QString& filter) override
    {
        openAsks << FileAsk{title, filter};
        return openAnswers.isEmpty() ? QStringList() : openAnswers.dequeue();
    }
    QString askSaveFileName(const QString& title, const QString& filter) override
    {
        saveAsks << FileAsk{title, filter};
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }
};

} // namespace quillmore::test
