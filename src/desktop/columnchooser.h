#pragma once

#include "shell/dialogs.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QTreeWidget;

namespace quillmore {

// The window "Choose the Phone Column": a table's columns by header, each
// with the first row's cell beside it, and a choice of the country column.
// OK stays disabled until a phone column is chosen, so a table whose header
// named none, or several, is never read from a column the user did not pick.
class ColumnChooser : public QDialog
{
    Q_OBJECT
public:
    explicit ColumnChooser(const ColumnQuestion& question, QWidget* parent = nullptr);

    ColumnAnswer answer() const;

private:
    void updateOk();

    QTreeWidget* m_columns = nullptr;
    QComboBox* m_country = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

// How a column is named in the window: its header, or "Column 3" when the
// header cell is blank.
QString columnLabel(const QStringList& headers, qsizetype column);

} // namespace quillmore
