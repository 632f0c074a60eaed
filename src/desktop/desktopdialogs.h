#pragma once

#include "shell/dialogs.h"

#include <QPointer>
#include <QWidget>

class QFileDialog;
class QMessageBox;

namespace quillmore {

// "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|" as Qt's file dialogs want
// it: each choice keeps its caption, shown as written once the dialog hides
// the filters' details, and matches its own patterns, where "*.*" means every
// file, as it does on Windows (Qt's "*.*" would leave out names without a dot).
QString qtFileFilter(const QString& pipeFilter);

// The least width at which a message box's title bar still shows its whole
// title, the window manager's buttons beside it.
int messageBoxMinimumWidth(const QString& title);
// Keeps the box at least that wide, however short its text.
void fitTitle(QMessageBox& box);

// The real dialogs of the desktop. The file dialogs are Qt's own, not the
// desktop's: only they show the captions as written and read "*.*" as every file.
class DesktopDialogs : public Dialogs
{
public:
    void openUrl(const QUrl& url) override;

    // The window that modal boxes belong to.
    void setOwner(QWidget* owner) { m_owner = owner; }
    QWidget* owner() const { return m_owner; }

    // The folder the next file dialog opens in: where a file was last chosen
    // in this run of the program, the home folder before that.
    QString startFolder() const;
    void prepareFileDialog(QFileDialog& dialog, const QString& title,
                           const QString& pipeFilter) const;
    // The files an ended dialog gives, its folder kept for the next dialog.
    QStringList takeChosenFiles(const QFileDialog& dialog);

protected:
    void showMessage(const QString& text, const QString& title, Icon icon) override;
    QString askText(const QString& prompt, const QString& title,
                    const QString& defaultText) override;
    QStringList askOpenFileNames(const QString& title, const QString& filter) override;
    QString askSaveFileName(const QString& title, const QString& filter) override;
    QString askOpenFileName(const QString& title, const QString& filter,
                            const QString& suggested) override;
    std::optional<ColumnAnswer> askColumns(const ColumnQuestion& question) override;
    bool askYesNo(const QString& text, const QString& details, const QString& title,
                  DefaultAnswer defaultAnswer) override;

private:
    QPointer<QWidget> m_owner;
    QString m_lastFolder;
};

} // namespace quillmore
