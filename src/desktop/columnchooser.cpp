#include "desktop/columnchooser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillmore {

QString columnLabel(const QStringList& headers, qsizetype column)
{
    const QString name = headers.value(column).trimmed();
    return name.isEmpty() ? QStringLiteral("Column %1").arg(column + 1) : name;
}

ColumnChooser::ColumnChooser(const ColumnQuestion& question, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(kChooseColumnTitle);
    setObjectName(QStringLiteral("ChoosePhoneColumn"));

    m_columns = new QTreeWidget(this);
    m_columns->setObjectName(QStringLiteral("PhoneColumns"));
    m_columns->setAccessibleName(QStringLiteral("Phone column"));
    m_columns->setAccessibleDescription(
        QStringLiteral("The table's columns, each with its first row's value"));
    m_columns->setRootIsDecorated(false);
    m_columns->setUniformRowHeights(true);
    m_columns->setAllColumnsShowFocus(true);
    m_columns->setHeaderLabels({QStringLiteral("Column"), QStringLiteral("First row")});
    m_columns->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_columns->header()->setStretchLastSection(true);

    m_country = new QComboBox(this);
    m_country->setObjectName(QStringLiteral("CountryColumn"));
    m_country->setAccessibleName(QStringLiteral("Country column"));
    m_country->addItem(kNoColumnChoice, qsizetype(-1));

    for (qsizetype c = 0; c < question.headers.size(); ++c) {
        auto* item = new QTreeWidgetItem(
            m_columns, {columnLabel(question.headers, c), question.firstRow.value(c)});
        item->setData(0, Qt::UserRole, c);
        m_country->addItem(columnLabel(question.headers, c), c);
    }
    m_columns->setSelectionMode(QAbstractItemView::SingleSelection);
    // The choice is the selection, not the current row: the list makes its
    // first row current when it gains the focus, which must not count as a
    // choice where the header named no phone column.
    if (question.phoneColumn >= 0 && question.phoneColumn < m_columns->topLevelItemCount())
        m_columns->setCurrentItem(m_columns->topLevelItem(int(question.phoneColumn)));
    const qsizetype country = question.countryColumn + 1;
    m_country->setCurrentIndex(country > 0 && country < m_country->count() ? int(country) : 0);

    auto* phoneLabel = new QLabel(QStringLiteral("&Phone column:"), this);
    phoneLabel->setBuddy(m_columns);
    auto* countryLabel = new QLabel(QStringLiteral("&Country column (optional):"), this);
    countryLabel->setBuddy(m_country);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_columns, &QTreeWidget::itemSelectionChanged, this, &ColumnChooser::updateOk);
    connect(m_columns, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(phoneLabel);
    layout->addWidget(m_columns);
    layout->addWidget(countryLabel);
    layout->addWidget(m_country);
    layout->addWidget(m_buttons);
    m_columns->setFocus();
    resize(480, 360);
    updateOk();
}

ColumnAnswer ColumnChooser::answer() const
{
    const QList<QTreeWidgetItem*> chosen = m_columns->selectedItems();
    const QTreeWidgetItem* phone = chosen.value(0);
    return {phone ? phone->data(0, Qt::UserRole).value<qsizetype>() : -1,
            m_country->currentData().value<qsizetype>()};
}

void ColumnChooser::updateOk()
{
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!m_columns->selectedItems().isEmpty());
}

} // namespace quillmore
