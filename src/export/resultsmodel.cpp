#include "export/resultsmodel.h"

namespace quillmore {

ResultsModel::ResultsModel(QStringList captions, QObject* parent)
    : QAbstractTableModel(parent), m_captions(std::move(captions))
{
}

int ResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int ResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_captions.size());
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ResultRecord& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return row.cells.value(index.column());
    case Qt::CheckStateRole:
        if (index.column() == 0)
            return row.ticked ? Qt::Checked : Qt::Unchecked;
        return {};
    default:
        return {};
    }
}

bool ResultsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != 0 ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    setTicked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_captions.size())
        return m_captions.at(section);
    return {};
}

quint64 ResultsModel::append(const QList<ResultRecord>& records)
{
    const quint64 first = m_nextId;
    if (records.isEmpty())
        return first;
    beginInsertRows({}, count(), count() + int(records.size()) - 1);
    m_rows += records;
    for (qsizetype i = 0; i < records.size(); ++i)
        m_ids << m_nextId++;
    endInsertRows();
    return first;
}

void ResultsModel::removeRow(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    m_ids.removeAt(row);
    endRemoveRows();
}

void ResultsModel::clear()
{
    // Ids go on counting: the journal may still know the old ones.
    beginResetModel();
    m_rows.clear();
    m_ids.clear();
    endResetModel();
}

void ResultsModel::setTicked(int row, bool ticked)
{
    if (row < 0 || row >= count() || m_rows[row].ticked == ticked)
        return;
    m_rows[row].ticked = ticked;
    const QModelIndex at = index(row, 0);
    emit dataChanged(at, at, {Qt::CheckStateRole});
}

void ResultsModel::setAllTicked(bool ticked)
{
    if (m_rows.isEmpty())
        return;
    for (ResultRecord& row : m_rows)
        row.ticked = ticked;
    emit dataChanged(index(0, 0), index(count() - 1, 0), {Qt::CheckStateRole});
}

int ResultsModel::tickWhere(const std::function<bool(const ResultRecord&)>& matches)
{
    int first = -1;
    int last = -1;
    int ticked = 0;
    for (int r = 0; r < count(); ++r) {
        ResultRecord& row = m_rows[r];
        if (row.ticked || !matches(row))
            continue;
        row.ticked = true;
        ++ticked;
        if (first < 0)
            first = r;
        last = r;
    }
    if (ticked > 0)
        emit dataChanged(index(first, 0), index(last, 0), {Qt::CheckStateRole});
    return ticked;
}

static ReportTable::Row reportRow(const ResultRecord& record, qsizetype columns)
{
    ReportTable::Row row;
    row.cells.reserve(columns);
    for (qsizetype c = 0; c < columns; ++c)
        row.cells << record.cells.value(c);
    row.ticked = record.ticked;
    return row;
}

ReportTable ResultsModel::table() const
{
    ReportTable table;
    table.headers = m_captions;
    table.rows.reserve(m_rows.size());
    for (const ResultRecord& record : m_rows)
        table.rows << reportRow(record, m_captions.size());
    return table;
}

ReportTable ResultsModel::table(const QList<int>& rows) const
{
    ReportTable table;
    table.headers = m_captions;
    table.rows.reserve(rows.size());
    for (int r : rows)
        table.rows << reportRow(m_rows.at(r), m_captions.size());
    return table;
}

} // namespace quillmore
