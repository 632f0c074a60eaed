// The results model: the one store of the results list's rows and ticks,
// as the list widget, the exports and the journal read it.
#include "export/resultsmodel.h"
#include "support/modelsignals.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <functional>

using namespace quillmore;
using namespace quillmore::test;

namespace {

// Three rows: a full one, ticked; one with a single cell; one with a cell
// more than there are columns.
QList<ResultRecord> threeRows()
{
    return {
        {"(413) 592-3823", {"4135923823", "Mobile", "Ann", "US", "Verizon", "Active"}, "{}", true},
        {"334", {"334"}, "", false},
        {"7", {"7", "a", "b", "c", "d", "e", "beyond"}, "x", false}};
}

struct Filled
{
    ResultsModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
    ModelSignals told{&model};
    Filled()
    {
        model.append(threeRows());
        told.take();
    }

    QList<bool> ticks() const
    {
        QList<bool> ticked;
        for (const ResultRecord& record : model.records())
            ticked << record.ticked;
        return ticked;
    }
    QList<quint64> ids() const
    {
        QList<quint64> ids;
        for (int r = 0; r < model.count(); ++r)
            ids << model.rowId(r);
        return ids;
    }
};

} // namespace

class TestResultsModel : public QObject
{
    Q_OBJECT
private slots:
    void showsCellsAndTicks_data();
    void showsCellsAndTicks();
    void onlyTheTickChanges_data();
    void onlyTheTickChanges();
    void wholeListChanges_data();
    void wholeListChanges();
    void exportsWhatTheListShows();
};

void TestResultsModel::showsCellsAndTicks_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<int>("flags");
    const int checkable = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren |
                          Qt::ItemIsUserCheckable;
    const int plain = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    QTest::newRow("cell") << 0 << 2 << int(Qt::DisplayRole) << QVariant("Ann") << plain;
    QTest::newRow("first cell") << 0 << 0 << int(Qt::DisplayRole) << QVariant("4135923823")
                                << checkable;
    QTest::newRow("missing cell is empty")
        << 1 << 5 << int(Qt::DisplayRole) << QVariant(QString()) << plain;
    QTest::newRow("ticked row") << 0 << 0 << int(Qt::CheckStateRole) << QVariant(int(Qt::Checked))
                                << checkable;
    QTest::newRow("unticked row") << 1 << 0 << int(Qt::CheckStateRole)
                                  << QVariant(int(Qt::Unchecked)) << checkable;
    QTest::newRow("no box beside the first column")
        << 0 << 1 << int(Qt::CheckStateRole) << QVariant() << plain;
    QTest::newRow("nothing for other roles")
        << 0 << 0 << int(Qt::EditRole) << QVariant() << checkable;
    QTest::newRow("no cell past the captions")
        << 2 << 6 << int(Qt::DisplayRole) << QVariant() << int(Qt::NoItemFlags);
    QTest::newRow("no row past the end")
        << 3 << 0 << int(Qt::DisplayRole) << QVariant() << int(Qt::NoItemFlags);
}

void TestResultsModel::showsCellsAndTicks()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, expected);
    QFETCH(int, flags);
    Filled f;
    const QModelIndex at = f.model.index(row, column);
    const QVariant value = f.model.data(at, role);
    QCOMPARE(value.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(value.toString(), expected.toString());
    QCOMPARE(int(f.model.flags(at)), flags);
    QCOMPARE(f.model.columnCount(), 6);
    QCOMPARE(f.model.headerData(2, Qt::Horizontal).toString(), QString("Name"));
}

void TestResultsModel::onlyTheTickChanges_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QList<bool>>("ticks");
    QTest::addColumn<QStringList>("told");
    const int check = Qt::CheckStateRole;
    QTest::newRow("tick") << 1 << 0 << check << QVariant(int(Qt::Checked)) << true
                          << QList<bool>{true, true, false} << QStringList{"changed 1,0-1,0 [10]"};
    QTest::newRow("tick as the enum")
        << 2 << 0 << check << QVariant::fromValue(Qt::Checked) << true
        << QList<bool>{true, false, true} << QStringList{"changed 2,0-2,0 [10]"};
    QTest::newRow("untick") << 0 << 0 << check << QVariant(int(Qt::Unchecked)) << true
                            << QList<bool>{false, false, false}
                            << QStringList{"changed 0,0-0,0 [10]"};
    QTest::newRow("tick a ticked row: nothing to tell")
        << 0 << 0 << check << QVariant(int(Qt::Checked)) << true << QList<bool>{true, false, false}
        << QStringList{};
    QTest::newRow("partly ticked is not ticked")
        << 0 << 0 << check << QVariant(int(Qt::PartiallyChecked)) << true
        << QList<bool>{false, false, false} << QStringList{"changed 0,0-0,0 [10]"};
    QTest::newRow("cells are not edited") << 0 << 1 << int(Qt::EditRole) << QVariant("x") << false
                                          << QList<bool>{true, false, false} << QStringList{};
    QTest::newRow("no tick beside the first column")
        << 1 << 3 << check << QVariant(int(Qt::Checked)) << false << QList<bool>{true, false, false}
        << QStringList{};
}

void TestResultsModel::onlyTheTickChanges()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QFETCH(bool, accepted);
    QFETCH(QList<bool>, ticks);
    QFETCH(QStringList, told);
    Filled f;
    QCOMPARE(f.model.setData(f.model.index(row, column), value, role), accepted);
    QCOMPARE(f.ticks(), ticks);
    QCOMPARE(f.told.take(), told);
    QCOMPARE(f.model.record(0).cells.value(1), QString("Mobile"));
}

void TestResultsModel::wholeListChanges_data()
{
    using Change = std::function<void(ResultsModel&)>;
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("told");
    QTest::addColumn<QStringList>("firstCells");
    QTest::addColumn<QList<bool>>("ticks");
    QTest::addColumn<QList<quint64>>("ids");
    const ResultRecord extra{"9", {"9"}, "", true};
    // Ticking or clearing every row is one signal however long the list.
    QTest::newRow("tick all") << Change([](ResultsModel& m) { m.setAllTicked(true); })
                              << QStringList{"changed 0,0-2,0 [10]"}
                              << QStringList{"4135923823", "334", "7"}
                              << QList<bool>{true, true, true} << QList<quint64>{1, 2, 3};
    QTest::newRow("untick all") << Change([](ResultsModel& m) { m.setAllTicked(false); })
                                << QStringList{"changed 0,0-2,0 [10]"}
                                << QStringList{"4135923823", "334", "7"}
                                << QList<bool>{false, false, false} << QList<quint64>{1, 2, 3};
    QTest::newRow("clear") << Change([](ResultsModel& m) { m.clear(); }) << QStringList{"reset"}
                           << QStringList{} << QList<bool>{} << QList<quint64>{};
    // The journal may still name the cleared rows: ids are never given twice.
    QTest::newRow("clear, then a row") << Change([extra](ResultsModel& m) {
        m.clear();
        m.append({extra});
    }) << QStringList{"reset", "inserted 0-0"}
                                       << QStringList{"9"} << QList<bool>{true}
                                       << QList<quint64>{4};
    QTest::newRow("remove a row") << Change([](ResultsModel& m) { m.removeRow(1); })
                                  << QStringList{"removed 1-1"} << QStringList{"4135923823", "7"}
                                  << QList<bool>{true, false} << QList<quint64>{1, 3};
    QTest::newRow("remove past the end")
        << Change([](ResultsModel& m) { m.removeRow(3); }) << QStringList{}
        << QStringList{"4135923823", "334", "7"} << QList<bool>{true, false, false}
        << QList<quint64>{1, 2, 3};
    QTest::newRow("append two, ticks kept") << Change([extra](ResultsModel& m) {
        m.append({extra, extra});
    }) << QStringList{"inserted 3-4"} << QStringList{"4135923823", "334", "7", "9", "9"}
                                            << QList<bool>{true, false, false, true, true}
                                            << QList<quint64>{1, 2, 3, 4, 5};
    // Ticking by kind leaves the other rows as they were, ticked or not, and
    // tells the ticked span once.
    QTest::newRow("tick where the type is a") << Change([](ResultsModel& m) {
        m.tickWhere([](const ResultRecord& r) { return r.lineType == "a"; });
    }) << QStringList{"changed 2,0-2,0 [10]"} << QStringList{"4135923823", "334", "7"}
                                              << QList<bool>{true, false, true}
                                              << QList<quint64>{1, 2, 3};
    QTest::newRow("tick where inactive")
        << Change([](ResultsModel& m) {
               m.tickWhere([](const ResultRecord& r) { return r.status == RowStatus::Inactive; });
           })
        << QStringList{"changed 1,0-2,0 [10]"} << QStringList{"4135923823", "334", "7"}
        << QList<bool>{true, true, true} << QList<quint64>{1, 2, 3};
    QTest::newRow("tick where only ticked rows match") << Change([](ResultsModel& m) {
        m.tickWhere([](const ResultRecord& r) { return r.status == RowStatus::Active; });
    }) << QStringList{} << QStringList{"4135923823", "334", "7"}
                                                       << QList<bool>{true, false, false}
                                                       << QList<quint64>{1, 2, 3};
    QTest::newRow("append nothing") << Change([](ResultsModel& m) { m.append({}); })
                                    << QStringList{} << QStringList{"4135923823", "334", "7"}
                                    << QList<bool>{true, false, false} << QList<quint64>{1, 2, 3};
}

void TestResultsModel::wholeListChanges()
{
    using Change = std::function<void(ResultsModel&)>;
    QFETCH(Change, change);
    QFETCH(QStringList, told);
    QFETCH(QStringList, firstCells);
    QFETCH(QList<bool>, ticks);
    QFETCH(QList<quint64>, ids);
    Filled f;
    change(f.model);
    QCOMPARE(f.told.take(), told);
    QStringList shown;
    for (int r = 0; r < f.model.rowCount(); ++r)
        shown << f.model.index(r, 0).data().toString();
    QCOMPARE(shown, firstCells);
    QCOMPARE(f.ticks(), ticks);
    QCOMPARE(f.ids(), ids);
    QCOMPARE(f.model.columnCount(), 6); // the captions stay, rows or none
}

void TestResultsModel::exportsWhatTheListShows()
{
    Filled f;
    f.model.setTicked(2, true);
    const ReportTable table = f.model.table();
    QCOMPARE(table.headers, kResultCaptions);
    QCOMPARE(table.rows.size(), 3);
    QCOMPARE(table.rows[0].cells, threeRows()[0].cells);
    // One cell a column: the missing ones empty, the one beyond the captions left out.
    QCOMPARE(table.rows[1].cells, (QStringList{"334", "", "", "", "", ""}));
    QCOMPARE(table.rows[2].cells, (QStringList{"7", "a", "b", "c", "d", "e"}));
    QCOMPARE((QList<bool>{table.rows[0].ticked, table.rows[1].ticked, table.rows[2].ticked}),
             (QList<bool>{true, false, true}));
    // The records keep what the rows were made from, for the journal and the
    // full-answer export.
    QCOMPARE(f.model.record(2).cells.size(), 7);
    QCOMPARE(f.model.record(0).number, QString("(413) 592-3823"));
    QCOMPARE(f.model.record(2).answer, QString("x"));

    ResultsModel oneColumn({QStringLiteral("Phone Number")});
    oneColumn.append(threeRows());
    QCOMPARE(oneColumn.table().rows[0].cells, QStringList{"4135923823"});
}

QTEST_MAIN(TestResultsModel)
#include "tst_resultsmodel.moc"
