#include "numbers/numberlistmodel.h"

#include <algorithm>

namespace quillmore {

NumberListModel::NumberListModel(QObject* parent) : QObject(parent) {}

void NumberListModel::append(const QStringList& entries)
{
    if (entries.isEmpty())
        return;
    const int first = count();
    m_entries += entries;
    emit appended(first, int(entries.size()));
}

void NumberListModel::removeAt(int index)
{
    if (index < 0 || index >= count())
        return;
    m_entries.removeAt(index);
    emit removed(index);
}

void NumberListModel::removeAll(QList<int> indexes)
{
    // From the back, so that each position still names the entry it named.
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (int index : std::as_const(indexes))
        removeAt(index);
}

void NumberListModel::clear()
{
    if (m_entries.isEmpty())
        return;
    m_entries.clear();
    emit cleared();
}

} // namespace quillmore
