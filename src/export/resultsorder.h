#pragma once

#include <QList>
#include <QSortFilterProxyModel>

namespace quillmore {

class ResultsModel;

// The results as the list shows them: in arrival order until a column is
// chosen, then by that column's text, ignoring case, rows with equal text
// keeping their arrival order. Only the order is the view's: a row's tick,
// its removal and its journal id stay with the results model's row.
class ResultsOrder : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit ResultsOrder(ResultsModel& model, QObject* parent = nullptr);

    // The results model's rows in the order shown.
    QList<int> sourceRows() const;
    // The results model's row shown at `row`; -1 for none.
    int sourceRow(int row) const;

    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    ResultsModel& m_model;
    // The sorted column's cells with their case folded, by source row; held
    // only while sort() runs.
    QStringList m_keys;
};

} // namespace quillmore
