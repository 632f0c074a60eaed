#pragma once

// What a model told its views, as lines of text: "inserted 2-3",
// "removed 0-0", "reset", "changed 0,0-4,0 [10]" (rows, columns, roles).

#include <QAbstractItemModel>
#include <QObject>
#include <QStringList>

namespace quillmore::test {

class ModelSignals : public QObject
{
public:
    explicit ModelSignals(QAbstractItemModel* model)
    {
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) {
                    log << QStringLiteral("inserted %1-%2").arg(first).arg(last);
                });
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex&, int first, int last) {
                    log << QStringLiteral("removed %1-%2").arg(first).arg(last);
                });
        connect(model, &QAbstractItemModel::modelReset, this,
                [this] { log << QStringLiteral("reset"); });
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                    QStringList named;
                    for (int role : roles)
                        named << QString::number(role);
                    log << QStringLiteral("changed %1,%2-%3,%4 [%5]")
                               .arg(from.row())
                               .arg(from.column())
                               .arg(to.row())
                               .arg(to.column())
                               .arg(named.join(QLatin1Char(',')));
                });
    }

    // The lines since the last take.
    QStringList take() { return std::exchange(log, {}); }

    QStringList log;
};

} // namespace quillmore::test
