#pragma once

#include <QHash>
#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

namespace quillmore {

class PointerScheme;

enum class ControlKind {
    PushButton,  // the window's push buttons, in the buttons' font
    ReportList,  // a list in report mode: rows of columns, one row selected at a time
    Frame,       // a captioned frame that holds other controls
    TextBox,     // a multi-line text box
    Label,       // wrapped text the user can select but not change
    LineEdit,    // a one-line text box
    ProgressBar, // 0 to 100, its text in the middle
};

// One control of a window with a fixed layout.
struct ControlEntry
{
    int role;       // the window's own name for the control (an enum of the window)
    int parentRole; // the frame it sits in; kInWindow for the window itself
    ControlKind kind;
    const char* objectName; // the name the tests and the settings know it by
    QString caption;        // a button's or a frame's caption, a label's text
    QRect twips;            // left, top, width, height, in twips from its parent's corner
    const char* accessibleName = nullptr;
    const char* accessibleDescription = nullptr;
    const char* toolTip = nullptr;
};
inline constexpr int kInWindow = -1;

// The controls made from a table, found by their role.
class ControlSet
{
public:
    QWidget* widget(int role) const { return m_widgets.value(role); }
    // The control of that role, which the table makes a T.
    template <typename T> T* get(int role) const
    {
        T* control = qobject_cast<T*>(widget(role));
        Q_ASSERT_X(control, "ControlSet::get", "the table makes it of another kind");
        return control;
    }
    // The error report's procedure path of the control's handler of `event`,
    // the object name and the event joined by "_", as the form names it.
    QString procedure(int role, const char* event) const;

private:
    friend ControlSet createControls(QWidget*, const QString&, const QList<ControlEntry>&,
                                     PointerScheme&);
    QString m_form;
    QHash<int, QWidget*> m_widgets;
    QHash<int, QString> m_names;
};

// Makes every control of `table` in `window` (whose procedures the error
// report names after `form`), in table order, which is the tab order:
// creates, places, names it and gives it its caption, tooltip and texts for
// screen readers. The buttons show the hand pointer, the frames and lists
// the arrow. A frame comes before the controls in it.
ControlSet createControls(QWidget* window, const QString& form, const QList<ControlEntry>& table,
                          PointerScheme& pointer);

} // namespace quillmore
