#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace quillmore {

// The number list itself. The list widget shows it and the lookup run reads
// it; both follow its signals, so neither reaches into the other.
class NumberListModel : public QObject
{
    Q_OBJECT
public:
    explicit NumberListModel(QObject* parent = nullptr);

    int count() const { return int(m_entries.size()); }
    // The entry at a 0-based position; empty outside the list.
    QString at(int index) const { return m_entries.value(index); }
    const QStringList& entries() const { return m_entries; }

    void append(const QStringList& entries);
    void removeAt(int index);
    // Removes the entries at the given positions (any order, repeats allowed).
    void removeAll(QList<int> indexes);
    void clear();

signals:
    void appended(int first, int count);
    void removed(int index);
    void cleared();

private:
    QStringList m_entries;
};

} // namespace quillmore
