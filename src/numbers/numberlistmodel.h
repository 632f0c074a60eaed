#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>

namespace quillmore {

// The number list itself, one entry a row. The list widget shows it and the
// lookup run reads it; both go through this model, so neither reaches into
// the other.
class NumberListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit NumberListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The list's one column is captioned "Phone Numbers".
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    int count() const { return int(m_entries.size()); }
    // The entry at a 0-based position; empty outside the list.
    QString at(int index) const { return m_entries.value(index); }
    const QStringList& entries() const { return m_entries; }

    void append(const QStringList& entries);
    void removeAt(int index);
    // Removes the entries at the given positions (any order, repeats and
    // positions outside the list allowed).
    void removeAll(QList<int> indexes);
    void clear();

private:
    QStringList m_entries;
};

inline const QString kNumberListCaption = QStringLiteral("Phone Numbers");

} // namespace quillmore
