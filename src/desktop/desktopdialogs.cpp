#include "desktop/desktopdialogs.h"

#include "desktop/columnchooser.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStyle>

#include <algorithm>

namespace quillmore {

QString qtFileFilter(const QString& pipeFilter)
{
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList choices;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            if (pattern.trimmed() == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        // Qt takes the patterns from the last parentheses and, told to hide
        // them, shows what stands before: the caption, its own parentheses included.
        choices << parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return choices.join(QStringLiteral(";;"));
}

int messageBoxMinimumWidth(const QString& title)
{
    // Window managers mostly set titles in a bold face of the desktop's size,
    // with an icon and three buttons of about the bar's height beside them.
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int bar = std::max(QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight),
                             metrics.height() + 8);
    return metrics.horizontalAdvance(title) + 4 * bar + 2 * metrics.height();
}

void fitTitle(QMessageBox& box)
{
    // The box sizes itself to its text whenever it is shown, over any minimum
    // width set on it; an empty row as wide as the title is one it keeps.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(messageBoxMinimumWidth(box.windowTitle()), 0,
                                      QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
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

// The texts use CR and CR LF as line breaks; a label shows only LF as one.
static QString shownText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void DesktopDialogs::showMessage(const QString& text, const QString& title, Icon icon)
{
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                    shownText(text), QMessageBox::Ok, dialogParent(owner()));
    box.setTextFormat(Qt::PlainText);
    fitTitle(box);
    box.exec();
}

bool DesktopDialogs::askYesNo(const QString& text, const QString& details, const QString& title,
                              DefaultAnswer defaultAnswer)
{
    QMessageBox box(QMessageBox::Question, title, shownText(text),
                    QMessageBox::Yes | QMessageBox::No, dialogParent(owner()));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultAnswer == DefaultAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
    // Escape never says Yes.
    box.setEscapeButton(QMessageBox::No);
    if (!details.isEmpty())
        box.setDetailedText(details);
    fitTitle(box);
    return box.exec() == QMessageBox::Yes;
}

QString DesktopDialogs::askText(const QString& prompt, const QString& title,
                                const QString& defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(dialogParent(owner()), title, prompt,
                                               QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString DesktopDialogs::startFolder() const
{
    // Not the working folder: a program started from the desktop has no
    // useful one. Nothing of this is kept beyond the run.
    return m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder;
}

void DesktopDialogs::prepareFileDialog(QFileDialog& dialog, const QString& title,
                                       const QString& pipeFilter) const
{
    dialog.setWindowTitle(title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(qtFileFilter(pipeFilter));
    dialog.setDirectory(startFolder());
}

QStringList DesktopDialogs::takeChosenFiles(const QFileDialog& dialog)
{
    if (dialog.result() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty())
        m_lastFolder = QFileInfo(chosen.constFirst()).absolutePath();
    return chosen;
}

QStringList DesktopDialogs::askOpenFileNames(const QString& title, const QString& filter)
{
    QFileDialog dialog(dialogParent(owner()));
    prepareFileDialog(dialog, title, filter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.exec();
    return takeChosenFiles(dialog);
}

QString DesktopDialogs::askOpenFileName(const QString& title, const QString& filter,
                                        const QString& suggested)
{
    QFileDialog dialog(dialogParent(owner()));
    prepareFileDialog(dialog, title, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!suggested.isEmpty()) {
        dialog.setDirectory(QFileInfo(suggested).absolutePath());
        dialog.selectFile(QFileInfo(suggested).fileName());
    }
    dialog.exec();
    return takeChosenFiles(dialog).value(0);
}

std::optional<ColumnAnswer> DesktopDialogs::askColumns(const ColumnQuestion& question)
{
    ColumnChooser chooser(question, dialogParent(owner()));
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    return chooser.answer();
}

QString DesktopDialogs::askSaveFileName(const QString& title, const QString& filter)
{
    // The name is used exactly as chosen; no extension is added behind the user's back.
    QFileDialog dialog(dialogParent(owner()));
    prepareFileDialog(dialog, title, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.exec();
    return takeChosenFiles(dialog).value(0);
}

} // namespace quillmore
