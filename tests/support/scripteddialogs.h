#pragma once

#include "shell/dialogs.h"
#include "shell/progresssink.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

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
        QString suggested; // the file offered first, for a single open
    };

    QList<Shown> messages;
    QList<Shown> prompts;
    QStringList promptDefaults; // the text each input box held when it came up
    QList<FileAsk> openAsks;
    QList<FileAsk> saveAsks;
    QList<QUrl> opened;
    struct Question
    {
        QString text;
        QString details;
        QString title;
        DefaultAnswer defaultAnswer = DefaultAnswer::No;
    };
    QList<Question> questions;

    QQueue<QString> inputAnswers;
    // Yes is true; an empty queue answers No.
    QQueue<bool> yesNoAnswers;
    QQueue<QStringList> openAnswers;
    QQueue<QString> saveAnswers;
    // Each phone-column window as offered, and the choices to make; an
    // empty queue cancels.
    QList<ColumnQuestion> columnAsks;
    QQueue<std::optional<ColumnAnswer>> columnAnswers;

    // Called while a message is up, as if the user acted before pressing OK.
    std::function<void(const Shown&)> onMessage;

    ScriptedDialogs() { setApplicationTitle(QStringLiteral("Quillmore")); }

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const auto& m : messages)
            texts << m.text;
        return texts;
    }

    // The texts of the "Application Error" boxes, in order.
    QStringList errorReports() const
    {
        QStringList reports;
        for (const auto& m : messages)
            if (m.title == QLatin1String("Application Error"))
                reports << m.text;
        return reports;
    }

    void openUrl(const QUrl& url) override { opened << url; }

protected:
    void showMessage(const QString& text, const QString& title, Icon icon) override
    {
        messages << Shown{text, title, icon};
        if (onMessage)
            onMessage(messages.constLast());
    }
    QString askText(const QString& prompt, const QString& title,
                    const QString& defaultText) override
    {
        prompts << Shown{prompt, title, Icon::None};
        promptDefaults << defaultText;
        return inputAnswers.isEmpty() ? QString() : inputAnswers.dequeue();
    }
    QStringList askOpenFileNames(const QString& title, const QString& filter) override
    {
        openAsks << FileAsk{title, filter, {}};
        return openAnswers.isEmpty() ? QStringList() : openAnswers.dequeue();
    }
    QString askSaveFileName(const QString& title, const QString& filter) override
    {
        saveAsks << FileAsk{title, filter, {}};
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }
    QString askOpenFileName(const QString& title, const QString& filter,
                            const QString& suggested) override
    {
        openAsks << FileAsk{title, filter, suggested};
        return openAnswers.isEmpty() ? QString() : openAnswers.dequeue().value(0);
    }
    std::optional<ColumnAnswer> askColumns(const ColumnQuestion& question) override
    {
        columnAsks << question;
        return columnAnswers.isEmpty() ? std::nullopt : columnAnswers.dequeue();
    }
    bool askYesNo(const QString& text, const QString& details, const QString& title,
                  DefaultAnswer defaultAnswer) override
    {
        questions << Question{text, details, title, defaultAnswer};
        return !yesNoAnswers.isEmpty() && yesNoAnswers.dequeue();
    }
};

// A progress bar that keeps every change in order.
class RecordingProgress : public ProgressSink
{
public:
    // "value <number>" and "text <text>" entries, in call order.
    QStringList log;
    QList<double> values;
    QStringList texts;
    // Called before a value is taken; may throw to stand for a failing step.
    std::function<void(double)> onValue;
    // Called after a text is taken, as a user acting while it shows would.
    std::function<void(const QString&)> onText;

    void setProgressValue(double value) override
    {
        if (onValue)
            onValue(value);
        m_value = value;
        values << value;
        log << QStringLiteral("value ") + QString::number(value);
    }
    void setProgressText(const QString& text) override
    {
        m_text = text;
        texts << text;
        log << QStringLiteral("text ") + text;
        if (onText)
            onText(text);
    }
    double progressValue() const override { return m_value; }
    QString progressText() const override { return m_text; }

private:
    double m_value = 0;
    QString m_text = kProgressRestText;
};

} // namespace quillmore::test
