// A table's rows joined to the results list's rows by number.
#include "tables/tablejoin.h"

#include <QTest>

using namespace quillmore;

namespace {

ResultRecord row(const QString& number, const QString& type, RowStatus status)
{
    ResultRecord record(number, {number, type, "N", "L", "P", "S " + type});
    record.status = status;
    return record;
}

} // namespace

class TestTableJoin : public QObject
{
    Q_OBJECT
private slots:
    void rowsJoinByNumberWhateverItsForm_data();
    void rowsJoinByNumberWhateverItsForm();
    void questionCoversCellsBeyondTheHeader();
};

void TestTableJoin::rowsJoinByNumberWhateverItsForm_data()
{
    QTest::addColumn<QList<ResultRecord>>("results");
    QTest::addColumn<QString>("e164");
    QTest::addColumn<QString>("type"); // the joined row's Type; empty: "Not looked up"
    const auto answer = [](const QString& number, const QString& type) {
        return row(number, type, RowStatus::Active);
    };
    const auto failure = [](const QString& number, const QString& type) {
        return row(number, type, RowStatus::CouldNotConnect);
    };
    QTest::newRow("typed digits") << QList{answer("(413) 592-3823", "A")} << "+14135923823"
                                  << "A";
    QTest::newRow("E.164 entry") << QList{answer("+14135923823", "A")} << "+14135923823"
                                 << "A";
    QTest::newRow("national form of another row")
        << QList{answer("4135923823", "A")} << "+13342228605"
        << "";
    QTest::newRow("no rows") << QList<ResultRecord>{} << "+14135923823"
                             << "";
    // A number written without its country code would be a US number; it is
    // not the UK row's, whatever its digits.
    QTest::newRow("same digits, other country")
        << QList{answer("442079460958", "A")} << "+442079460958"
        << "";
    QTest::newRow("later answer wins")
        << QList{answer("4135923823", "old"), answer("+14135923823", "new")} << "+14135923823"
        << "new";
    QTest::newRow("later failure does not hide an answer")
        << QList{answer("4135923823", "paid"), failure("4135923823", "failed")} << "+14135923823"
        << "paid";
    QTest::newRow("answer after a failure")
        << QList{failure("4135923823", "failed"), answer("4135923823", "paid")} << "+14135923823"
        << "paid";
    QTest::newRow("only failures: the latest")
        << QList{failure("4135923823", "one"), failure("4135923823", "two")} << "+14135923823"
        << "two";
}

void TestTableJoin::rowsJoinByNumberWhateverItsForm()
{
    QFETCH(QList<ResultRecord>, results);
    QFETCH(QString, e164);
    QFETCH(QString, type);
    const ResultsByNumber joined(results, PhoneNumbers(QStringLiteral("US")));
    const TableResultCells cells = joined.cellsFor(e164);
    if (type.isEmpty())
        QCOMPARE(cells, (QStringList{"", "", "", "", "Not looked up"}));
    else
        QCOMPARE(cells, (QStringList{type, "N", "L", "P", "S " + type}));
}

void TestTableJoin::questionCoversCellsBeyondTheHeader()
{
    // A row wider than the header, and a first row shorter than it: every
    // column can be chosen, and each has its first-row cell, empty or not.
    Table table;
    table.header = {"Name", "Phone Number", "Region"};
    table.rows = {{"Ann"}, {"Bob", "4135923823", "US", "extra"}};
    const ColumnQuestion question = columnQuestion(table);
    QCOMPARE(question.headers, (QStringList{"Name", "Phone Number", "Region", ""}));
    QCOMPARE(question.firstRow, (QStringList{"Ann", "", "", ""}));
    QCOMPARE(question.phoneColumn, 1);
    QCOMPARE(question.countryColumn, 2);

    // Two phone-like columns: the user is asked with nothing chosen.
    table.header = {"Phone", "Mobile"};
    QCOMPARE(columnQuestion(table).phoneColumn, -1);
}

QTEST_MAIN(TestTableJoin)
#include "tst_tablejoin.moc"
