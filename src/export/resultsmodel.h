#pragma once

#include "export/exportview.h"
#include "shell/resultrecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include <functional>

namespace quillmore {

// The results list's rows: the one place that holds them. The list widget
// shows them, the exports take a snapshot of them (table()), and the journal
// is written from them. Column 0 carries the row's tick as its check state.
//
// Every row has an id, given when it joins and never reused while the model
// lives, so that the journal can name a row after others have gone.
//
// Changes that touch every row (ticking all, clearing) send one signal for
// the whole list, not one a row: a list of 32,767 rows stays quick.
class ResultsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ResultsModel(QStringList captions = kResultCaptions, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Only the tick can change, through Qt::CheckStateRole on column 0.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const QStringList& captions() const { return m_captions; }
    int count() const { return int(m_rows.size()); }
    const QList<ResultRecord>& records() const { return m_rows; }
    const ResultRecord& record(int row) const { return m_rows.at(row); }
    quint64 rowId(int row) const { return m_ids.at(row); }

    // Appends the rows as they are, ticks included; gives the first one's id
    // (the others follow one by one).
    quint64 append(const QList<ResultRecord>& records);
    void removeRow(int row);
    void clear();
    void setTicked(int row, bool ticked);
    void setAllTicked(bool ticked);
    // Ticks the rows that match and leaves the others as they are; one
    // signal for all of them. Gives how many rows it ticked.
    int tickWhere(const std::function<bool(const ResultRecord&)>& matches);

    // What the exporters read: the captions, then every row's cells (one a
    // column, missing ones empty) and tick.
    ReportTable table() const;
    // The same with these rows, in this order.
    ReportTable table(const QList<int>& rows) const;

private:
    QStringList m_captions;
    QList<ResultRecord> m_rows;
    QList<quint64> m_ids; // row r's id
    quint64 m_nextId = 1;
};

} // namespace quillmore
