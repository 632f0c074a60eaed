// Contact tables through the command line, against the local stand-in
// service: what is sent (only valid numbers, in E.164 form, each once), and
// the table handed back with every input cell unchanged and the results
// beside each row.

#include "clifixture.h"
#include "tables/csvtable.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>

using namespace quillmore::test;

namespace {

// The valid number the stand-in service answers slowly when it comes as E.164.
const QString kSlowValid = QStringLiteral("(617) 253-0001");

// A contact table as a CRM exports it: a "Name" column (whose result caption
// must not clash), a number spelt two ways, a row without a number, one that
// cannot be valid, a quoted comma and a line break inside a cell, a short row.
const QByteArray kContacts = "Name,Phone,City,Zip\n"
                             "Alice Smith,(413) 592-3823,Springfield,01103\n"
                             "Bob,413.592.3823,Boston,02101\n"
                             "Carl,,Salem,01970\n"
                             "Dora,12,Lynn,01901\n"
                             "\"Eve, Jr\",+44 20 7946 0958,\"London\nUK\",N1\n"
                             "Finn,+1 212 522 9333\n";

QStringList sentPhones(const CliFixture& m, qsizetype before)
{
    return m.phonesSince(before);
}

} // namespace

class TestCliTables : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m.start(1)); }
    void init() { m.clearHomes(); }

    void tableInTableOut()
    {
        const QString input = m.path(QStringLiteral("contacts.csv"));
        const QString summary = m.path(QStringLiteral("summary.json"));
        writeFile(input, kContacts);
        const qsizetype before = m.service.requests().size();
        const CliResult run = m.run({QStringLiteral("--pause"), QStringLiteral("0"),
                                     QStringLiteral("--summary"), summary, input},
                                    m.environment());
        QCOMPARE(run.exitCode, 0);

        // Each distinct valid number once, as E.164; nothing for the others.
        QCOMPARE(sentPhones(m, before),
                 QStringList({"%2B14135923823", "%2B442079460958", "%2B12125229333"}));

        QVERIFY2(run.out.startsWith("Name,Phone,City,Zip,Type,Name (lookup),Location,Provider,"
                                    "Status,E.164\n"),
                 run.out.constData());
        const quillmore::Table in = quillmore::readCsv(kContacts);
        const quillmore::Table out = quillmore::readCsv(run.out);
        QCOMPARE(out.rows.size(), in.rows.size());
        for (qsizetype r = 0; r < in.rows.size(); ++r) {
            const QStringList& cells = out.rows.at(r);
            QCOMPARE(cells.size(), 10);
            // Every input cell unchanged, a short row padded to the header.
            QCOMPARE(cells.mid(0, in.rows.at(r).size()), in.rows.at(r));
        }
        const auto status = [&](qsizetype r) { return out.rows.at(r).at(8); };
        const auto e164 = [&](qsizetype r) { return out.rows.at(r).at(9); };
        QCOMPARE(e164(0), QStringLiteral("+14135923823"));
        // The same number in another row gets the same answer, paid once.
        QCOMPARE(out.rows.at(1).mid(4), out.rows.at(0).mid(4));
        QVERIFY(!out.rows.at(0).at(5).isEmpty());
        QCOMPARE(status(2), QStringLiteral("No number"));
        QCOMPARE(e164(2), QString());
        QCOMPARE(status(3), QStringLiteral("Cannot be a valid number"));
        QCOMPARE(out.rows.at(3).mid(4, 4), QStringList({"", "", "", ""}));
        QCOMPARE(e164(4), QStringLiteral("+442079460958"));
        QCOMPARE(out.rows.at(5).mid(0, 4), QStringList({"Finn", "+1 212 522 9333", "", ""}));

        QVERIFY2(run.err.contains("1 row without a number not sent."), run.err.constData());
        QVERIFY(run.err.contains("1 row that cannot be a valid number not sent."));
        // Rows are the table's; paid lookups are the numbers sent.
        const QJsonObject figures = QJsonDocument::fromJson(readAll(summary)).object();
        QCOMPARE(figures.value(QStringLiteral("rows")).toInt(), 6);
        QCOMPARE(figures.value(QStringLiteral("paid")).toInt(), 3);
    }

    // A German spreadsheet's CSV: semicolons, CR LF, a country column by
    // number; the table comes back as it was written.
    void semicolonTableWithCountryColumn()
    {
        const QString input = m.path(QStringLiteral("kontakte.csv"));
        writeFile(input, "Kontakt;Telefon;Land\r\n"
                         "Jana;030 12345678;DE\r\n"
                         "Ole;(413) 592-3823;US\r\n");
        const qsizetype before = m.service.requests().size();
        const CliResult run =
            m.run({QStringLiteral("--pause"), QStringLiteral("0"), QStringLiteral("--column"),
                   QStringLiteral("Telefon"), QStringLiteral("--country-column"),
                   QStringLiteral("3"), input},
                  m.environment());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(sentPhones(m, before), QStringList({"%2B493012345678", "%2B14135923823"}));
        const QList<QByteArray> lines = run.out.split('\n');
        QCOMPARE(lines.at(0), QByteArray("Kontakt;Telefon;Land;Type;Name;Location;Provider;Status;"
                                         "E.164\r"));
        QVERIFY2(lines.at(1).startsWith("Jana;030 12345678;DE;"), lines.at(1).constData());
        QVERIFY(lines.at(1).endsWith(";+493012345678\r"));
        QVERIFY(lines.at(2).endsWith(";+14135923823\r"));
    }

    void phoneColumnMustBeKnown_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("told"); // parts of the message
        QTest::newRow("no phone header")
            << QByteArray("Name,City\nAda,Rome\n") << QStringList()
            << QStringList{"No column of", "\"Name\", \"City\"", "--column"};
        QTest::newRow("several phone headers")
            << QByteArray("Name,Tel,Mobile\nAda,1,2\n") << QStringList()
            << QStringList{"Several columns", "\"Tel\", \"Mobile\"", "--column"};
        QTest::newRow("named column missing")
            << QByteArray("Name,Phone\nAda,4135923823\n") << QStringList{"--column", "Handy"}
            << QStringList{"--column \"Handy\" names no column", "\"Name\", \"Phone\""};
        QTest::newRow("column number too high")
            << QByteArray("Name,Phone\nAda,4135923823\n") << QStringList{"--column", "3"}
            << QStringList{"names no column"};
        QTest::newRow("country column missing")
            << QByteArray("Name,Phone\nAda,4135923823\n") << QStringList{"--country-column", "Land"}
            << QStringList{"--country-column"};
        QTest::newRow("not a table")
            << QByteArray("Name,\"Phone\nAda,4135923823\n") << QStringList()
            << QStringList{"Cannot read the table", "never closed"};
    }

    void phoneColumnMustBeKnown()
    {
        QFETCH(QByteArray, table);
        QFETCH(QStringList, args);
        QFETCH(QStringList, told);
        const QString input = m.path(QStringLiteral("people.csv"));
        writeFile(input, table);
        const qsizetype before = m.service.requests().size();
        const CliResult run = m.run(args + QStringList{input}, m.environment());
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.isEmpty());
        for (const QString& part : told)
            QVERIFY2(QString::fromUtf8(run.err).contains(part), run.err.constData());
        QCOMPARE(m.service.requests().size(), before);
    }

    void tablesGoOneAtATime()
    {
        const QString a = m.path(QStringLiteral("a.csv"));
        const QString b = m.path(QStringLiteral("b.txt"));
        writeFile(a, "Phone\n4135923823\n");
        writeFile(b, "4135923823\n");
        const CliResult run = m.run({a, b}, m.environment());
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("A table is read on its own"), run.err.constData());
    }

    // A workbook LibreOffice saved: read as a table, written back as UTF-8
    // CSV with a byte-order mark so that a spreadsheet program opens it alike.
    void workbookIsATable()
    {
        const qsizetype before = m.service.requests().size();
        const CliResult run =
            m.run({QStringLiteral("--pause"), QStringLiteral("0"),
                   QStringLiteral(QUILLMORE_TABLE_DATA "/libreoffice-contacts.xlsx")},
                  m.environment());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(sentPhones(m, before), QStringList({"%2B14135923823", "%2B442079460958"}));
        QVERIFY2(run.out.startsWith("\xEF\xBB\xBFName,Phone,City,ZIP,Country,Score,Type,"
                                    "Name (lookup),Location,Provider,Status,E.164\r\n"),
                 run.out.constData());
        const quillmore::Table out = quillmore::readCsv(run.out);
        QCOMPARE(out.rows.size(), 4);
        QCOMPARE(out.rows.at(2).value(10), QStringLiteral("No number"));
        QCOMPARE(out.rows.at(3).mid(0, 2), QStringList({"Big Number", "4135923823"}));
        QCOMPARE(out.rows.at(3).value(11), QStringLiteral("+14135923823"));
    }

    void dryRunOfATable()
    {
        const QString input = m.path(QStringLiteral("contacts.csv"));
        writeFile(input, kContacts);
        const qsizetype before = m.service.requests().size();
        const CliResult run =
            m.run({QStringLiteral("--dry-run"), QStringLiteral("--pause"), QStringLiteral("2"),
                   QStringLiteral("--parallel"), QStringLiteral("2"), input},
                  m.environment(QString()));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("Rows: 6\n"
                                     "Numbers that would be sent: 3 (each distinct number once)\n"
                                     "Rows without a number (not sent): 1\n"
                                     "Rows that cannot be a valid number (not sent): 1\n"
                                     "Rows whose number an earlier row has (sent once): 1\n"
                                     "Time the pauses would take: 2 s to 2 s\n"));
        QCOMPARE(m.service.requests().size(), before);
    }

    void otherFormats()
    {
        const QString input = m.path(QStringLiteral("contacts.csv"));
        writeFile(input, kContacts);
        const CliResult json = m.run({QStringLiteral("--pause"), QStringLiteral("0"),
                                      QStringLiteral("--format"), QStringLiteral("jsonl"), input},
                                     m.environment());
        QCOMPARE(json.exitCode, 0);
        const QList<QByteArray> lines = json.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 6);
        QList<QJsonObject> objects;
        for (const QByteArray& line : lines) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(line, &error);
            QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
            objects << document.object();
        }
        const QJsonObject row = objects.at(0).value(QStringLiteral("row")).toObject();
        QCOMPARE(row.value(QStringLiteral("Name")).toString(), QStringLiteral("Alice Smith"));
        QCOMPARE(row.value(QStringLiteral("Zip")).toString(), QStringLiteral("01103"));
        QCOMPARE(objects.at(0).value(QStringLiteral("number")).toString(),
                 QStringLiteral("(413) 592-3823"));
        QCOMPARE(objects.at(0).value(QStringLiteral("e164")).toString(),
                 QStringLiteral("+14135923823"));
        QCOMPARE(objects.at(0).value(QStringLiteral("valid")), QJsonValue(true));
        QVERIFY(objects.at(0).value(QStringLiteral("answer")).isObject());
        QCOMPARE(objects.at(2).value(QStringLiteral("status")).toString(),
                 QStringLiteral("No number"));
        QVERIFY(objects.at(2).value(QStringLiteral("valid")).isNull());
        QCOMPARE(objects.at(3).value(QStringLiteral("valid")), QJsonValue(false));
        QVERIFY(objects.at(3).value(QStringLiteral("answer")).isNull());

        const CliResult text = m.run({QStringLiteral("--pause"), QStringLiteral("0"),
                                      QStringLiteral("--format"), QStringLiteral("text"), input},
                                     m.environment());
        QCOMPARE(text.exitCode, 0);
        const QList<QByteArray> rows = text.out.split('\n');
        // The phone cell first, then the result columns.
        QVERIFY2(rows.at(0).startsWith("Phone ") && rows.at(0).contains("E.164"),
                 rows.at(0).constData());
        QVERIFY(rows.at(1).startsWith("(413) 592-3823 "));
        QVERIFY(rows.at(1).contains("+14135923823"));
        QVERIFY(rows.at(4).contains("Cannot be a valid number"));
    }

    // An interrupted table run keeps its answers by the numbers sent; the
    // resumed run sends only the rest, and every row gets its result.
    void resumeATable()
    {
        const QString input = m.path(QStringLiteral("leads.csv"));
        const QString output = m.path(QStringLiteral("leads-out.csv"));
        writeFile(input, "Lead,Phone\n"
                         "a,(413) 592-3823\n"
                         "b," +
                             kSlowValid.toUtf8() +
                             "\n"
                             "c,(212) 522-9333\n"
                             "d,413-592-3823\n");
        const QStringList args = {QStringLiteral("--pause"), QStringLiteral("0"),
                                  QStringLiteral("--output"), output, input};
        const qsizetype before = m.service.requests().size();
        {
            QProcess process;
            m.launch(process, args, m.environment());
            QVERIFY(QTest::qWaitFor(
                [&] { return sentPhones(m, before).contains(QStringLiteral("%2B16172530001")); },
                20000));
            ::kill(pid_t(process.processId()), SIGTERM);
            QVERIFY(process.waitForFinished(20000));
            QCOMPARE(process.exitCode(), 130);
        }
        QVERIFY(!sentPhones(m, before).contains(QStringLiteral("%2B12125229333")));

        const CliResult refused = m.run(args, m.environment());
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("--resume"), refused.err.constData());

        const CliResult resumed =
            m.run(args + QStringList{QStringLiteral("--resume")}, m.environment());
        QCOMPARE(resumed.exitCode, 0);
        const QStringList phones = sentPhones(m, before);
        for (const char* number : {"%2B14135923823", "%2B16172530001", "%2B12125229333"})
            QVERIFY2(phones.count(QString::fromLatin1(number)) == 1, number);
        const quillmore::Table out = quillmore::readCsv(readAll(output));
        QCOMPARE(out.rows.size(), 4);
        for (const QStringList& row : out.rows)
            QVERIFY2(!row.value(6).isEmpty() && row.value(6) != u"Not looked up",
                     qPrintable(row.join(u',')));
        QCOMPARE(out.rows.at(3).value(7), QStringLiteral("+14135923823"));
    }

private:
    CliFixture m;
};

QTEST_GUILESS_MAIN(TestCliTables)
#include "tst_clitables.moc"
