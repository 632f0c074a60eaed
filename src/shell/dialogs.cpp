#include "shell/dialogs.h"

namespace quillmore {

Dialogs::~Dialogs() = default;

void Dialogs::message(const QString& text, const QString& title, Icon icon)
{
    showMessage(text, title.isEmpty() ? m_applicationTitle : title, icon);
}

QString Dialogs::input(const QString& prompt, const QString& title, const QString& defaultText)
{
    return askText(prompt, title.isEmpty() ? m_applicationTitle : title, defaultText);
}

bool Dialogs::ask(const QString& question, const QString& title)
{
    return askYesNo(question, {}, title.isEmpty() ? m_applicationTitle : title, DefaultAnswer::No);
}

QStringList Dialogs::openFileNames(const QString& title, const QString& filter)
{
    return askOpenFileNames(title, filter);
}

QString Dialogs::saveFileName(const QString& title, const QString& filter)
{
    return askSaveFileName(title, filter);
}

QString Dialogs::openFileName(const QString& title, const QString& filter, const QString& suggested)
{
    return askOpenFileName(title, filter, suggested);
}

std::optional<ColumnAnswer> Dialogs::chooseColumns(const ColumnQuestion& question)
{
    return askColumns(question);
}

std::optional<ColumnAnswer> Dialogs::askColumns(const ColumnQuestion&)
{
    return std::nullopt;
}

QString Dialogs::askOpenFileName(const QString& title, const QString& filter, const QString&)
{
    return askOpenFileNames(title, filter).value(0);
}

bool Dialogs::question(const QString& text, const QString& details, const QString& title)
{
    return askYesNo(text, details, title.isEmpty() ? m_applicationTitle : title,
                    DefaultAnswer::Yes);
}

} // namespace quillmore
