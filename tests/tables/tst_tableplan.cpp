#include "tables/tablecolumns.h"
#include "tables/tableplan.h"

#include <QTest>

using namespace quillmore;

using Outcome = ColumnChoice::Outcome;
using Columns = QList<qsizetype>;
using Row = PlannedRow::Outcome;

Q_DECLARE_METATYPE(Outcome)

class TablePlanTest : public QObject
{
    Q_OBJECT

private slots:
    void phoneColumn_data();
    void phoneColumn();
    void countryColumn();
    void columnNamedByUser_data();
    void columnNamedByUser();
    void describedColumns();
    void rowsJudgedAndNumbersSentOnce();
    void countryColumnGivesEachRowItsRegion();
};

void TablePlanTest::phoneColumn_data()
{
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<qsizetype>("index");
    QTest::addColumn<Columns>("candidates");
    QTest::newRow("Phone") << QStringList{"Name", "Phone", "City", "ZIP"} << Outcome::Found
                           << qsizetype(1) << Columns{};
    QTest::newRow("case and spacing aside")
        << QStringList{"Name", "  PHONE number "} << Outcome::Found << qsizetype(1) << Columns{};
    QTest::newRow("punctuation aside")
        << QStringList{"Tel.", "ZIP"} << Outcome::Found << qsizetype(0) << Columns{};
    QTest::newRow("mobile_phone") << QStringList{"id", "mobile_phone"} << Outcome::Found
                                  << qsizetype(1) << Columns{};
    QTest::newRow("MSISDN") << QStringList{"MSISDN"} << Outcome::Found << qsizetype(0) << Columns{};
    QTest::newRow("cell phone") << QStringList{"Cell Phone", "Notes"} << Outcome::Found
                                << qsizetype(0) << Columns{};
    QTest::newRow("none") << QStringList{"Name", "City", "Phones", "Telephone Number"}
                          << Outcome::None << qsizetype(-1) << Columns{};
    QTest::newRow("several") << QStringList{"Name", "Phone", "Mobile", "Fax"} << Outcome::Several
                             << qsizetype(-1) << Columns{1, 2};
    QTest::newRow("numbered twins")
        << QStringList{"Phone 1", "Phone 2"} << Outcome::Several << qsizetype(-1) << Columns{0, 1};
    QTest::newRow("empty header") << QStringList{} << Outcome::None << qsizetype(-1) << Columns{};
}

void TablePlanTest::phoneColumn()
{
    QFETCH(QStringList, header);
    QFETCH(Outcome, outcome);
    QFETCH(qsizetype, index);
    QFETCH(Columns, candidates);
    QCOMPARE(guessPhoneColumn(header), (ColumnChoice{outcome, index, candidates}));
}

void TablePlanTest::countryColumn()
{
    QCOMPARE(guessCountryColumn({"Phone", "Country Code"}), (ColumnChoice{Outcome::Found, 1, {}}));
    QCOMPARE(guessCountryColumn({"Region", "Phone"}), (ColumnChoice{Outcome::Found, 0, {}}));
    QCOMPARE(guessCountryColumn({"Phone", "City"}), (ColumnChoice{Outcome::None, -1, {}}));
    QCOMPARE(guessCountryColumn({"country", "Region"}),
             (ColumnChoice{Outcome::Several, -1, {0, 1}}));
}

void TablePlanTest::columnNamedByUser_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<qsizetype>("index");
    const QStringList header{"Name", "Work phone", "work-phone", "3", "Mobile"};
    QTest::newRow("number") << "2" << Outcome::Found << qsizetype(1);
    QTest::newRow("last number") << "5" << Outcome::Found << qsizetype(4);
    QTest::newRow("number past the end is a name") << "6" << Outcome::None << qsizetype(-1);
    QTest::newRow("zero") << "0" << Outcome::None << qsizetype(-1);
    QTest::newRow("exact name") << "work-phone" << Outcome::Found << qsizetype(2);
    QTest::newRow("loose name matching two") << "WORK PHONE " << Outcome::Several << qsizetype(-1);
    QTest::newRow("loose name") << "mobile" << Outcome::Found << qsizetype(4);
    QTest::newRow("unknown") << "Fax" << Outcome::None << qsizetype(-1);
    QTest::newRow("no letters") << "--" << Outcome::None << qsizetype(-1);
}

void TablePlanTest::columnNamedByUser()
{
    QFETCH(QString, given);
    QFETCH(Outcome, outcome);
    QFETCH(qsizetype, index);
    const ColumnChoice choice =
        chooseColumn({"Name", "Work phone", "work-phone", "3", "Mobile"}, given);
    QCOMPARE(choice.outcome, outcome);
    QCOMPARE(choice.index, index);
}

void TablePlanTest::describedColumns()
{
    QCOMPARE(describeColumns({"Name", "Phone", "", "Mobile"}, {1, 2, 3}),
             QStringLiteral("\"Phone\", column 3, \"Mobile\""));
}

void TablePlanTest::rowsJudgedAndNumbersSentOnce()
{
    Table table;
    table.header = {"Name", "Phone", "City"};
    table.rows = {
        {"Ada", "413-592-3823", "Springfield"},
        {"Bo", "", "Boston"},
        {"Cy", "n/a", "Concord"},
        {"Di", "111-592-3823", "Dover"},
        {"Ed", "(413) 592 3823", "Easton"}, // Ada's number spelt otherwise
        {"Fay"},                            // too short to have the column
        {"Gus", "+44 20 7946 0958", "London"},
        {"Hal", "+1 413 592 3823", "Hull"},
    };
    const TablePlan plan = planTable(table, 1, -1, QStringLiteral("US"));

    QList<Row> outcomes;
    for (const PlannedRow& row : plan.rows)
        outcomes << row.outcome;
    QCOMPARE(outcomes, (QList<Row>{Row::Send, Row::NoNumber, Row::NoNumber, Row::CannotBeValid,
                                   Row::Send, Row::NoNumber, Row::Send, Row::Send}));
    QCOMPARE(plan.lookups.size(), 2);
    QCOMPARE(plan.lookups.at(0).e164, QStringLiteral("+14135923823"));
    QCOMPARE(plan.lookups.at(0).rows, (QList<qsizetype>{0, 4, 7}));
    QCOMPARE(plan.lookups.at(1).e164, QStringLiteral("+442079460958"));
    QCOMPARE(plan.lookups.at(1).rows, (QList<qsizetype>{6}));
    QCOMPARE(plan.e164(4), QStringLiteral("+14135923823"));
    QCOMPARE(plan.e164(3), QString());
    QCOMPARE(plan.status(1), QStringLiteral("No number"));
    QCOMPARE(plan.status(3), QStringLiteral("Cannot be a valid number"));
    QCOMPARE(plan.status(0), QString());
}

void TablePlanTest::countryColumnGivesEachRowItsRegion()
{
    Table table;
    table.header = {"Phone", "Country"};
    table.rows = {
        {"020 7946 0958", "GB"},       // a London number, read in the UK
        {"020 7946 0958", ""},         // no country: the default region, where it is not valid
        {"030 901820", "+49"},         // Berlin, by calling code
        {"030 901820", "Germany"},     // the same, by name: looked up once
        {"413-592-3823", "Narnia"},    // a country nobody knows: not read as a US number
        {"+1 413 592 3823", "Narnia"}, // but a number with its country code stands alone
    };
    const TablePlan plan = planTable(table, 0, 1, QStringLiteral("US"));
    QList<Row> outcomes;
    for (const PlannedRow& row : plan.rows)
        outcomes << row.outcome;
    QCOMPARE(outcomes, (QList<Row>{Row::Send, Row::CannotBeValid, Row::Send, Row::Send,
                                   Row::CannotBeValid, Row::Send}));
    QCOMPARE(plan.e164(0), QStringLiteral("+442079460958"));
    QCOMPARE(plan.lookups.size(), 3);
    QCOMPARE(plan.lookups.at(1).e164, QStringLiteral("+4930901820"));
    QCOMPARE(plan.lookups.at(1).rows, (QList<qsizetype>{2, 3}));
    QCOMPARE(plan.e164(5), QStringLiteral("+14135923823"));
}

QTEST_GUILESS_MAIN(TablePlanTest)
#include "tst_tableplan.moc"
