#include "export/resultsorder.h"

#include "export/resultsmodel.h"

namespace quillmore {

ResultsOrder::ResultsOrder(ResultsModel& model, QObject* parent)
    : QSortFilterProxyModel(parent), m_model(model)
{
    setSourceModel(&model);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

QList<int> ResultsOrder::sourceRows() const
{
    const int count = rowCount();
    QList<int> rows;
    rows.reserve(count);
    for (int r = 0; r < count; ++r)
        rows.append(mapToSource(index(r, 0)).row());
    return rows;
}

int ResultsOrder::sourceRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return mapToSource(index(row, 0)).row();
}

QVariant ResultsOrder::headerData(int section, Qt::Orientation orientation, int role) const
{
    // A first click on a header sorts from A, whatever the style's habit.
    if (role == Qt::InitialSortOrderRole && orientation == Qt::Horizontal)
        return int(Qt::AscendingOrder);
    return QSortFilterProxyModel::headerData(section, orientation, role);
}

void ResultsOrder::sort(int column, Qt::SortOrder order)
{
    // Folding each cell once, rather than both cells at every comparison,
    // makes a sort of the longest list several times quicker.
    m_keys.clear();
    if (column >= 0) {
        m_keys.reserve(m_model.count());
        for (const ResultRecord& record : m_model.records())
            m_keys.append(record.cells.value(column).toCaseFolded());
    }
    QSortFilterProxyModel::sort(column, order);
    m_keys.clear();
    m_keys.squeeze();
}

bool ResultsOrder::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (!m_keys.isEmpty())
        return m_keys.at(left.row()) < m_keys.at(right.row());
    // A row that arrives while the list is sorted takes a few comparisons,
    // straight from the rows rather than through data() and QVariant.
    const auto cell = [this, column = left.column()](int row) {
        const QStringList& cells = m_model.record(row).cells;
        return column < cells.size() ? QStringView(cells.at(column)) : QStringView();
    };
    return cell(left.row()).compare(cell(right.row()), Qt::CaseInsensitive) < 0;
}

} // namespace quillmore
