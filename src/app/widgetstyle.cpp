#include "widgetstyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

namespace quillmore {

QFont windowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

QPushButton* makePushButton(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setFont(buttonFont());
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

static void paintBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setWhiteBackColors(QWidget* window)
{
    paintBackground(window, Qt::white);
    for (auto* frame : window->findChildren<QGroupBox*>())
        paintBackground(frame, Qt::white);
}

void setPlainBackColors(QWidget* window)
{
    const QColor face = QApplication::palette().color(QPalette::Button);
    paintBackground(window, face);
    for (auto* child : window->findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child) ||
            qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child))
            paintBackground(child, face);
    }
}

} // namespace quillmore
