#include "shell/errorreport.h"
#include "tables/csvtable.h"
#include "tables/tablewriter.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace quillmore;

namespace {

// What the caller would give each sent row: the row's own number in Name, so
// a row that got another row's cells shows.
TableResultCells resultsOf(const Table& table, qsizetype row)
{
    return {QStringLiteral("Mobile"), QStringLiteral("Owner of ") + table.rows.at(row).at(1),
            QStringLiteral("Springfield, MA"), QStringLiteral("Carrier"), QStringLiteral("Active")};
}

QByteArray written(const Table& table, const TablePlan& plan)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeCsvTable(buffer, table, plan, [&](qsizetype row) { return resultsOf(table, row); });
    return buffer.data();
}

// A device that takes the first `room` bytes and refuses the rest.
class FullDevice : public QIODevice
{
public:
    explicit FullDevice(qint64 room) : m_room(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override
    {
        if (length > m_room) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        m_room -= length;
        return length;
    }

private:
    qint64 m_room;
};

} // namespace

class TableWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void captions_data();
    void captions();
    void writtenBackAsRead_data();
    void writtenBackAsRead();
    void serviceTextCannotRunAsFormula();
    void refusedWriteIsAFailure();
    void jsonLines();
};

void TableWriterTest::captions_data()
{
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("no clash") << QStringList{"Contact", "Phone"}
                              << QStringList{"Type",     "Name",   "Location",
                                             "Provider", "Status", "E.164"};
    QTest::newRow("Name, and status in lower case")
        << QStringList{"Name", "Phone", " status "}
        << QStringList{"Type", "Name (lookup)", "Location", "Provider", "Status (lookup)", "E.164"};
    QTest::newRow("the suffixed caption is taken too")
        << QStringList{"Type", "Type (lookup)"}
        << QStringList{"Type (lookup) (lookup)", "Name", "Location", "Provider", "Status", "E.164"};
}

void TableWriterTest::captions()
{
    QFETCH(QStringList, header);
    QFETCH(QStringList, captions);
    QCOMPARE(tableResultCaptions(header), captions);
}

void TableWriterTest::writtenBackAsRead_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::newRow("semicolons, LF, no mark, ragged rows in order")
        << QByteArray("Name;Phone;City\n"
                      "\"Smith; Jo\";413-592-3823;Springfield\n"
                      "Bo\n"
                      "Cy;111-592-3823;Concord;extra\n"
                      "Di;(413) 592-3823;\"Line\nbreak\"\n")
        << QByteArray("Name;Phone;City;;Type;Name (lookup);Location;Provider;Status;E.164\n"
                      "\"Smith; Jo\";413-592-3823;Springfield;;Mobile;Owner of 413-592-3823;"
                      "\"Springfield, MA\";Carrier;Active;+14135923823\n"
                      "Bo;;;;;;;;No number;\n"
                      "Cy;111-592-3823;Concord;extra;;;;;Cannot be a valid number;\n"
                      "Di;(413) 592-3823;\"Line\nbreak\";;Mobile;Owner of (413) 592-3823;"
                      "\"Springfield, MA\";Carrier;Active;+14135923823\n");
    QTest::newRow("commas, CR LF, mark kept, quotes only where needed")
        << QByteArray("\xEF\xBB\xBF\"Contact\",\"Phone\"\r\n"
                      "\"Jo \"\"JJ\"\" Smith\",\"+44 20 7946 0958\"\r\n")
        << QByteArray("\xEF\xBB\xBF"
                      "Contact,Phone,Type,Name,Location,Provider,Status,E.164\r\n"
                      "\"Jo \"\"JJ\"\" Smith\",+44 20 7946 0958,Mobile,Owner of +44 20 7946 0958,"
                      "\"Springfield, MA\",Carrier,Active,+442079460958\r\n");
    // An 8-bit file comes back as UTF-8, marked so that a spreadsheet reads it so.
    QTest::newRow("Windows-1252 comes back as marked UTF-8")
        << QByteArray("Name\tPhone\nRen\xE9\t\n")
        << QByteArray("\xEF\xBB\xBFName\tPhone\tType\tName (lookup)\tLocation\tProvider\tStatus\t"
                      "E.164\nRen\xC3\xA9\t\t\t\t\t\tNo number\t\n");
    QTest::newRow("header only") << QByteArray("Phone\r\n")
                                 << QByteArray(
                                        "Phone,Type,Name,Location,Provider,Status,E.164\r\n");
}

void TableWriterTest::writtenBackAsRead()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    const Table table = readCsv(input);
    const TablePlan plan = planTable(table, 1, -1, QStringLiteral("US"));
    QCOMPARE(written(table, plan), output);

    // Read again, the input's cells are all there, row for row.
    const Table again = readCsv(output);
    QCOMPARE(again.rows.size(), table.rows.size());
    for (qsizetype r = 0; r < table.rows.size(); ++r)
        QCOMPARE(again.rows.at(r).mid(0, table.rows.at(r).size()), table.rows.at(r));
}

void TableWriterTest::serviceTextCannotRunAsFormula()
{
    const Table table = readCsv("Name,Phone\nAda,413-592-3823\n");
    const TablePlan plan = planTable(table, 1, -1, QStringLiteral("US"));
    const CsvTableWriter writer(table, plan);
    QCOMPARE(writer.row(0, {"=HYPERLINK(\"http://x\")", "@SUM(A1)", "-1", "+1", "Active"}),
             QByteArray("Ada,413-592-3823,\"'=HYPERLINK(\"\"http://x\"\")\",'@SUM(A1),'-1,'+1,"
                        "Active,+14135923823\n"));
}

void TableWriterTest::refusedWriteIsAFailure()
{
    const Table table = readCsv("Name,Phone\nAda,413-592-3823\nBo,\n");
    const TablePlan plan = planTable(table, 1, -1, QStringLiteral("US"));
    FullDevice device(40); // the header fits, the rows do not
    try {
        writeCsvTable(device, table, plan, [&](qsizetype row) { return resultsOf(table, row); });
        QFAIL("no Failure");
    } catch (const Failure& failure) {
        QCOMPARE(failure.description(),
                 QStringLiteral("The table cannot be written: No space left on device"));
    }
}

void TableWriterTest::jsonLines()
{
    const Table table = readCsv("Name,Phone,,Name\nAda,413-592-3823,x,Lovelace,over\nBo,n/a\n");
    const TablePlan plan = planTable(table, 1, -1, QStringLiteral("US"));

    const QByteArray sent =
        tableJsonLine(table, plan, 1, 0, QStringLiteral("Active"),
                      QStringLiteral("{\"id\":\r\n 12345678901234567890}"), true);
    QVERIFY(sent.endsWith("}\n"));
    QCOMPARE(sent.count('\n'), 1);
    QCOMPARE(sent, QByteArray("{\"row\":{\"Name\":\"Ada\",\"Phone\":\"413-592-3823\",\"column "
                              "3\":\"x\",\"column 4\":\"Lovelace\",\"column 5\":\"over\"},"
                              "\"number\":\"413-592-3823\",\"e164\":\"+14135923823\","
                              "\"valid\":true,\"status\":\"Active\","
                              "\"answer\":{\"id\":   12345678901234567890}}\n"));

    const QJsonObject notSent =
        QJsonDocument::fromJson(tableJsonLine(table, plan, 1, 1, QStringLiteral("ignored"),
                                              QStringLiteral("Could not \"connect\""), false))
            .object();
    QCOMPARE(notSent.value(QLatin1String("valid")).type(), QJsonValue::Null);
    QCOMPARE(notSent.value(QLatin1String("e164")).type(), QJsonValue::Null);
    QCOMPARE(notSent.value(QLatin1String("status")).toString(), QStringLiteral("No number"));
    QCOMPARE(notSent.value(QLatin1String("answer")).toString(),
             QStringLiteral("Could not \"connect\""));
    QCOMPARE(notSent.value(QLatin1String("number")).toString(), QStringLiteral("n/a"));
}

QTEST_GUILESS_MAIN(TableWriterTest)
#include "tst_tablewriter.moc"
