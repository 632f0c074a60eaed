#include "desktop/controltable.h"

#include "desktop/pointerscheme.h"
#include "desktop/widgetstyle.h"
#include "shell/errorreport.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

namespace quillmore {

QString ControlSet::procedure(int role, const char* event) const
{
    return procedurePath(m_form, m_names.value(role) + QLatin1Char('_') + QLatin1String(event));
}

static QTreeView* makeReportList(QWidget* parent)
{
    auto* list = new QTreeView(parent);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    // The captions are no buttons: the lists keep the order the rows came in.
    list->header()->setSectionsClickable(false);
    return list;
}

static QWidget* makeControl(const ControlEntry& entry, QWidget* parent, PointerScheme& pointer)
{
    switch (entry.kind) {
    case ControlKind::PushButton: {
        QWidget* button = makePushButton(parent, entry.caption, {});
        pointer.addHandWidget(button);
        return button;
    }
    case ControlKind::ReportList: {
        QTreeView* list = makeReportList(parent);
        pointer.addArrowWidget(list->viewport());
        return list;
    }
    case ControlKind::Frame: {
        auto* frame = new QGroupBox(entry.caption, parent);
        pointer.addArrowWidget(frame);
        return frame;
    }
    case ControlKind::TextBox:
        return new QPlainTextEdit(parent);
    case ControlKind::Label: {
        auto* label = new QLabel(entry.caption, parent);
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return label;
    }
    case ControlKind::LineEdit:
        return new QLineEdit(parent);
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setTextVisible(true);
        bar->setAlignment(Qt::AlignCenter);
        return bar;
    }
    }
    return nullptr;
}

ControlSet createControls(QWidget* window, const QString& form, const QList<ControlEntry>& table,
                          PointerScheme& pointer)
{
    ControlSet set;
    set.m_form = form;
    for (const ControlEntry& entry : table) {
        QWidget* parent = entry.parentRole == kInWindow ? window : set.widget(entry.parentRole);
        Q_ASSERT_X(parent, "createControls", "a frame comes before the controls in it");
        QWidget* control = makeControl(entry, parent, pointer);
        control->setObjectName(QLatin1String(entry.objectName));
        control->setGeometry(
            twipsRect(entry.twips.x(), entry.twips.y(), entry.twips.width(), entry.twips.height()));
        if (entry.accessibleName)
            control->setAccessibleName(QString::fromUtf8(entry.accessibleName));
        if (entry.accessibleDescription)
            control->setAccessibleDescription(QString::fromUtf8(entry.accessibleDescription));
        if (entry.toolTip)
            control->setToolTip(QString::fromUtf8(entry.toolTip));
        set.m_widgets.insert(entry.role, control);
        set.m_names.insert(entry.role, control->objectName());
    }
    return set;
}

} // namespace quillmore
