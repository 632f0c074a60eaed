#include "numbers/numberlistmodel.h"

#include <algorithm>

namespace quillmore {

NumberListModel::NumberListModel(QObject* parent) : QAbstractListModel(parent) {}

int NumberListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant NumberListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return m_entries.at(index.row());
}

Qt::ItemFlags NumberListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QVariant NumberListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return kNumberListCaption;
    return {};
}

void NumberListModel::append(const QStringList& entries)
{
    if (entries.isEmpty())
        return;
    beginInsertRows({}, count(), count() + int(entries.size()) - 1);
    m_entries += entries;
    endInsertRows();
}

void NumberListModel::removeAt(int index)
{
    if (index < 0 || index >= count())
        return;
    beginRemoveRows({}, index, index);
    m_entries.removeAt(index);
    endRemoveRows();
}

void NumberListModel::removeAll(QList<int> indexes)
{
    // From the back, so that each position still names the entry it named;
    // neighbouring positions go as one block, with one signal.
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    indexes.erase(std::remove_if(indexes.begin(), indexes.end(),
                                 [this](int i) { return i < 0 || i >= count(); }),
                  indexes.end());
    for (qsizetype i = 0; i < indexes.size();) {
        const int last = indexes.at(i);
        int first = last;
        while (++i < indexes.size() && indexes.at(i) == first - 1)
            --first;
        beginRemoveRows({}, first, last);
        m_entries.remove(first, last - first + 1);
        endRemoveRows();
    }
}

void NumberListModel::clear()
{
    if (m_entries.isEmpty())
        return;
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

} // namespace quillmore
