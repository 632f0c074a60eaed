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

static QWidget* makeControl(const ControlSpec& spec, QWidget* parent, PointerScheme& pointer)
{
    switch (spec.kind) {
    case ControlKind::PushButton: {
        QWidget* button = makePushButton(parent, spec.caption, {});
        pointer.addHandWidget(button);
        return button;
    }
    case ControlKind::ReportList: {
        QTreeView* list = makeReportList(parent);
        pointer.addArrowWidget(list->viewport());
        return list;
    }
    case ControlKind::Frame: {
        auto* frame = new QGroupBox(spec.caption, parent);
        pointer.addArrowWidget(frame);
        return frame;
    }
    case ControlKind::TextBox:
        return new QPlainTextEdit(parent);
    case ControlKind::Label: {
        auto* label = new QLabel(spec.caption, parent);
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

ControlSet createControls(QWidget* window, const QString& form, const QList<ControlSpec>& table,
                          PointerScheme& pointer)
{
    ControlSet set;
    set.m_form = form;
    for (const ControlSpec& spec : table) {
        QWidget* parent = spec.parentRole == kInWindow ? window : set.widget(spec.parentRole);
        Q_ASSERT_X(parent, "createControls", "a frame comes before the controls in it");
        QWidget* control = makeControl(spec, parent, pointer);
        control->setObjectName(QLatin1String(spec.objectName));
        control->setGeometry(
            twipsRect(spec.twips.x(), spec.twips.y(), spec.twips.width(), spec.twips.height()));
        if (spec.accessibleName)
            control->setAccessibleName(QString::fromUtf8(spec.accessibleName));
        if (spec.accessibleDescription)
            control->setAccessibleDescription(QString::fromUtf8(spec.accessibleDescription));
        if (spec.toolTip)
            control->setToolTip(QString::fromUtf8(spec.toolTip));
        set.m_widgets.insert(spec.role, control);
        set.m_names.insert(spec.role, control->objectName());
    }
    return set;
}

} // namespace quillmore
