#pragma once

#include "dialogs.h"

#include <QPointer>
#include <QWidget>

namespace quillmore {

// "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|" as Qt's file dialogs want it.
QString qtFileFilter(const QString& pipeFilter);

// The real dialogs of the desktop.
class DesktopDialogs : public Dialogs
{
public:
    void openUrl(const QUrl& url) override;

    // The window that modal boxes belong to.
    void setOwner(QWidget* owner) { m_owner = owner; }
    QWidget* owner() const { return m_owner; }

protected:
    void showMessage(const QString& text, const QString& title, Icon icon) override;
    QString askText(const QString& prompt, const QString& title,
                    const QString& defaultText) override;
    QStringList askOpenFileNames(const QString& title, const QString& filter) override;
    QString askSaveFileName(const QString& title, const QString& filter) override;

private:
    QPointer<QWidget> m_owner;
};

} // namespace quillmore
