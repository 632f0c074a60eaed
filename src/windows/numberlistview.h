#pragma once

#include "numbers/phonenumbers.h"
#include "shell/resultrecord.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class QAbstractItemView;

namespace quillmore {

class Clipboard;
class Dialogs;
class NumberCheck;
class NumberListModel;

// The number list widget as a view of the model: it shows the model's
// entries (the model is set on it here) and turns the user's removals, pastes and clean-ups into
// changes of the model. Removals are refused while the window is busy, since a run reads the list;
// additions are not. The clean-ups ask the phone-number library about every entry first, which on a
// long list goes on from the event loop (NumberCheck); meanwhile other removals wait, and a run
// that begins meanwhile cancels the clean-up.
class NumberListView : public QObject
{
    Q_OBJECT
public:
    NumberListView(QAbstractItemView* list, NumberListModel& model, const PhoneNumbers& numbers,
                   Dialogs& dialogs, Clipboard& clipboard, std::function<bool()> isBusy,
                   QObject* parent = nullptr);
    ~NumberListView() override;

    void removeSelected();
    // The clipboard's text, each non-empty line one entry.
    void pasteNumbers();
    // Every entry that repeats an earlier entry's number goes; says how many.
    void removeDuplicateNumbers();
    // Asks, then removes every entry that cannot be a valid number; says how many.
    void removeInvalidNumbers();
    // A clean-up is waiting for the library's verdicts.
    bool isChecking() const { return m_check != nullptr; }
    // Every entry whose digits match a row of the results list goes; says how many.
    void removeNumbersAlreadyLookedUp();
    // Asks how old an answer may be, then moves the entries that have one in
    // the history into the results list; says how many, and how many are left.
    void useEarlierAnswers();

    // Where the results list's rows come from.
    void setResultRows(std::function<QList<ResultRecord>()> rows)
    {
        m_resultRows = std::move(rows);
    }
    // What takes the entries' earlier answers into the results list: given
    // the entries, their verdicts and the days, it gives the positions of
    // the entries it answered.
    using EarlierAnswers =
        std::function<QList<int>(const QStringList&, const QList<NumberClass>&, int)>;
    void setEarlierAnswers(EarlierAnswers take) { m_earlierAnswers = std::move(take); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class CleanUp { Duplicates, CannotBeValid, EarlierAnswers };
    void showMenu(const QPoint& at);
    void check(CleanUp cleanUp);
    void checked(CleanUp cleanUp, const QStringList& entries, const QList<NumberClass>& classes);
    void removeDuplicates(const QStringList& entries, const QList<NumberClass>& classes);
    void removeCannotBeValid(const QStringList& entries, const QList<NumberClass>& classes);
    void takeEarlierAnswers(const QStringList& entries, const QList<NumberClass>& classes);

    QAbstractItemView* m_list;
    NumberListModel& m_model;
    const PhoneNumbers& m_numbers;
    Dialogs& m_dialogs;
    Clipboard& m_clipboard;
    std::function<bool()> m_isBusy;
    std::unique_ptr<NumberCheck> m_check;
    std::function<QList<ResultRecord>()> m_resultRows;
    EarlierAnswers m_earlierAnswers;
    int m_earlierDays = 0; // as the user answered, for the check under way
};

} // namespace quillmore
