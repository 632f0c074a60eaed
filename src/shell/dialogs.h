#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace quillmore {

// The one door through which the program asks the user anything or opens an
// address: tests put a scripted implementation in its place.
class Dialogs
{
public:
    enum class Icon { None, Warning };

    virtual ~Dialogs();

    // A modal box with one OK button. An empty title means the application title.
    void message(const QString& text, const QString& title = {}, Icon icon = Icon::None);

    // An input box with OK and Cancel; Cancel gives the empty string.
    QString input(const QString& prompt, const QString& title = {},
                  const QString& defaultText = {});

    // A box with Yes and No, No the default: for a choice that must not be
    // made by a stray Enter. True for Yes.
    bool ask(const QString& question, const QString& title = {});

    // `filter` is written "Caption|pattern|Caption|pattern|", as the captions read.
    QStringList openFileNames(const QString& title, const QString& filter);
    QString saveFileName(const QString& title, const QString& filter);

    // A question with Yes (the default button) and No; `details`, when not
    // empty, in the box's details area. True for Yes.
    bool question(const QString& text, const QString& details = {}, const QString& title = {});

    // Opens an address, file or folder with its associated application; never reports.
    virtual void openUrl(const QUrl& url) = 0;

    void setApplicationTitle(const QString& title) { m_applicationTitle = title; }
    QString applicationTitle() const { return m_applicationTitle; }

protected:
    virtual void showMessage(const QString& text, const QString& title, Icon icon) = 0;
    virtual QString askText(const QString& prompt, const QString& title,
                            const QString& defaultText) = 0;
    virtual QStringList askOpenFileNames(const QString& title, const QString& filter) = 0;
    virtual QString askSaveFileName(const QString& title, const QString& filter) = 0;
    enum class DefaultAnswer { Yes, No };
    virtual bool askYesNo(const QString& text, const QString& details, const QString& title,
                          DefaultAnswer defaultAnswer) = 0;

private:
    QString m_applicationTitle;
};

} // namespace quillmore
