#include "desktopdialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace quillmore {

QString qtFileFilter(const QString& pipeFilter)
{
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList choices;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString caption = parts.at(i);
        // The caption already shows its pattern; Qt reads the pattern from the parentheses.
        choices << (caption.contains(QLatin1Char('('))
                        ? caption
                        : caption + QStringLiteral(" (") + parts.at(i + 1) + QLatin1Char(')'));
    }
    return choices.join(QStringLiteral(";;"));
}

// The window the user is looking at: the owner may be hidden while the key
// window is up, and a box centred on a hidden window appears out of place.
static QWidget* dialogParent(QWidget* owner)
{
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return owner;
}

void DesktopDialogs::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

void DesktopDialogs::showMessage(const QString& text, const QString& title, Icon icon)
{
    // The texts use CR and CR LF as line breaks; a label shows only LF as one.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                    shown, QMessageBox::Ok, dialogParent(owner()));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString DesktopDialogs::askText(const QString& prompt, const QString& title,
                                const QString& defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(dialogParent(owner()), title, prompt,
                                               QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QStringList DesktopDialogs::askOpenFileNames(const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileNames(dialogParent(owner()), title, QString(),
                                         qtFileFilter(filter));
}

QString DesktopDialogs::askSaveFileName(const QString& title, const QString& filter)
{
    // The name is used exactly as chosen; no extension is added behind the user's back.
    QFileDialog dialog(dialogParent(owner()), title, QString(), qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace quillmore
