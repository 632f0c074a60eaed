#pragma once

#include "resultrecord.h"

#include <QList>
#include <QObject>

#include <functional>

class QTreeWidget;

namespace quillmore {

class Clipboard;
class Dialogs;
class NumberListModel;

// The number list widget as a view of the model: it shows the model's
// entries and turns the user's removals, pastes and clean-ups into changes of
// the model. Removals are refused while the window is busy, since a run reads
// the list; additions are not.
class NumberListView : public QObject
{
    Q_OBJECT
public:
    NumberListView(QTreeWidget* list, NumberListModel& model, Dialogs& dialogs,
                   Clipboard& clipboard, std::function<bool()> isBusy, QObject* parent = nullptr);

    void removeSelected();
    // The clipboard's text, each non-empty line one entry.
    void pasteNumbers();
    // Every entry whose digits repeat an earlier entry's goes; says how many.
    void removeDuplicateNumbers();
    // Every entry whose digits match a row of the results list goes; says how many.
    void removeNumbersAlreadyLookedUp();

    // Where the results list's rows come from.
    void setResultRows(std::function<QList<ResultRecord>()> rows)
    {
        m_resultRows = std::move(rows);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showMenu(const QPoint& at);

    QTreeWidget* m_list;
    NumberListModel& m_model;
    Dialogs& m_dialogs;
    Clipboard& m_clipboard;
    std::function<bool()> m_isBusy;
    std::function<QList<ResultRecord>()> m_resultRows;
};

} // namespace quillmore
