#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace quillmore {

// What the window that picks a table's phone column offers: every column by
// its header, the first row's cell beside it so that a column is recognised
// by what it holds, and the columns guessed from the header preselected.
struct ColumnQuestion
{
    QStringList headers;
    QStringList firstRow;         // as long as `headers`; a short row gives empty cells
    qsizetype phoneColumn = -1;   // -1: none preselected, OK waits for a choice
    qsizetype countryColumn = -1; // -1: "(none)"

    friend bool operator==(const ColumnQuestion&, const ColumnQuestion&) = default;
};

struct ColumnAnswer
{
    qsizetype phoneColumn = -1;
    qsizetype countryColumn = -1; // -1: none

    friend bool operator==(const ColumnAnswer&, const ColumnAnswer&) = default;
};

inline const QString kChooseColumnTitle = QStringLiteral("Choose the Phone Column");
inline const QString kNoColumnChoice = QStringLiteral("(none)");

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
    // One existing file, `suggested` (when not empty) chosen to begin with.
    QString openFileName(const QString& title, const QString& filter, const QString& suggested);

    // The window "Choose the Phone Column"; nothing when it is cancelled.
    std::optional<ColumnAnswer> chooseColumns(const ColumnQuestion& question);

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
    // A program without windows picks no column, and opens the first of the files.
    virtual std::optional<ColumnAnswer> askColumns(const ColumnQuestion& question);
    virtual QString askOpenFileName(const QString& title, const QString& filter,
                                    const QString& suggested);
    enum class DefaultAnswer { Yes, No };
    virtual bool askYesNo(const QString& text, const QString& details, const QString& title,
                          DefaultAnswer defaultAnswer) = 0;

private:
    QString m_applicationTitle;
};

} // namespace quillmore
