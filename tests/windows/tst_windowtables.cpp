// Contact tables through the main window: loaded into the number list by a
// chosen column, and written back with the results list's answers.
#include "desktop/spreadsheet.h"
#include "shell/errorreport.h"
#include "tables/csvtable.h"
#include "tables/table.h"
#include "tables/xlsxarchive.h"
#include "tables/xlsxtable.h"
#include "windowchecks.h"
#include "windows/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const QString kSaveTable = QStringLiteral("Save Table With Results...");

// The table every case starts from: a header naming the phone column
// ("Mobile") and the country column, a "Name" of its own, and rows of every
// kind: valid numbers written three ways, a blank cell, one that cannot be
// valid, one abroad by its country cell, and a short row.
const QList<QStringList> kContacts = {
    {"Name", "Mobile", "Country", "Notes"},
    {"Ann", "(413) 592-3823", "", "met, twice"},
    {"Bob", "+1 334-222-8605", "US", ""},
    {"Cy", "", "", "no phone"},
    {"Di", "12", "", ""},
    {"Ed", "020 7946 0958", "GB", ""},
    {"Fay"},
};

void writeCsvTable(const QString& path, const QList<QStringList>& rows)
{
    QByteArray bytes;
    for (const QStringList& row : rows)
        bytes += csvLine(row, u',').toUtf8() + "\r\n";
    writeFile(path, bytes);
}

void writeXlsxTable(const QString& path, const QList<QStringList>& rows)
{
    XlsxWorkbook book(path);
    for (qsizetype r = 0; r < rows.size(); ++r)
        for (qsizetype c = 0; c < rows.at(r).size(); ++c)
            book.setCellText(int(r + 1), int(c + 1), rows.at(r).at(c));
    book.save();
}

// A table file of `kind` ("csv" or "xlsx") holding `rows`.
QString writeTable(WindowFixture& f, const QString& kind, const QList<QStringList>& rows,
                   const QString& name = QStringLiteral("contacts"))
{
    const QString path = f.dir.filePath(name + QLatin1Char('.') + kind);
    if (kind == QLatin1String("xlsx"))
        writeXlsxTable(path, rows);
    else
        writeCsvTable(path, rows);
    return path;
}

// What the reader says about a file it cannot take.
QString readerFailure(const QString& path)
{
    try {
        readTableFile(path);
    } catch (const Failure& failure) {
        return failure.description();
    }
    return QStringLiteral("<read without a failure>");
}

// A saved table read back as its header and rows, each as wide as the header:
// a workbook leaves out trailing empty cells, which a CSV file keeps.
QList<QStringList> readBack(const QString& path)
{
    const Table table = readTableFile(path);
    QList<QStringList> rows{table.header};
    for (QStringList row : table.rows) {
        row.resize(table.header.size());
        rows << row;
    }
    return rows;
}

const QStringList kSavedHeader = {"Name",          "Mobile",   "Country",  "Notes",  "Type",
                                  "Name (lookup)", "Location", "Provider", "Status", "E.164"};

} // namespace

class TestWindowTables : public QObject
{
    Q_OBJECT
private slots:
    void loadOffersColumnsAndFillsTheList_data();
    void loadOffersColumnsAndFillsTheList();
    void chosenColumnsAreTheOnesRead();
    void cancelLeavesTheListAsItWas();
    void unreadableTableIsToldPlainly_data();
    void unreadableTableIsToldPlainly();
    void saveTableWithResults_data();
    void saveTableWithResults();
    void saveIsRefusedWhileBusy();
    void failedSaveKeepsTheOldFile();
};

void TestWindowTables::loadOffersColumnsAndFillsTheList_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("CSV") << "csv";
    QTest::newRow("workbook") << "xlsx";
}

void TestWindowTables::loadOffersColumnsAndFillsTheList()
{
    QFETCH(QString, kind);
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    f.dialogs.inputAnswers << "7";
    c.addButton->click();
    const QString path = writeTable(f, kind, kContacts);

    f.dialogs.openAnswers << QStringList{path};
    f.dialogs.columnAnswers << ColumnAnswer{1, 2};
    c.loadButton->click();

    QCOMPARE(f.dialogs.openAsks.size(), 1);
    QCOMPARE(f.dialogs.openAsks[0].filter,
             QString("Text Files (*.txt)|*.txt|Tables (*.csv *.tsv *.xlsx)|*.csv;*.tsv;*.xlsx|"
                     "All Files (*.*)|*.*|"));
    QCOMPARE(f.dialogs.columnAsks.size(), 1);
    const ColumnQuestion& asked = f.dialogs.columnAsks[0];
    QCOMPARE(asked.headers, QStringList({"Name", "Mobile", "Country", "Notes"}));
    QCOMPARE(asked.firstRow, QStringList({"Ann", "(413) 592-3823", "", "met, twice"}));
    QCOMPARE(asked.phoneColumn, 1);
    QCOMPARE(asked.countryColumn, 2);
    // Valid numbers in E.164 form, the rest as written, in row order; the
    // blank cells of Cy and of the short row add nothing.
    QCOMPARE(numbers(w), QStringList({"7", "+14135923823", "+13342228605", "12", "+442079460958"}));
    QVERIFY(f.dialogs.messages.isEmpty());
    QVERIFY(!w.isBusy());
}

void TestWindowTables::chosenColumnsAreTheOnesRead()
{
    // A header that names no phone column preselects none; the list then
    // reads the column the user picked, and no country column when told so.
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    const QString path = writeTable(
        f, "csv",
        {{"Who", "Reach", "Other"}, {"Ann", "4135923823", "x"}, {"Bob", "+44 20 7946 0958", "y"}});
    f.dialogs.openAnswers << QStringList{path};
    f.dialogs.columnAnswers << ColumnAnswer{1, -1};
    c.loadButton->click();
    QCOMPARE(f.dialogs.columnAsks.size(), 1);
    QCOMPARE(f.dialogs.columnAsks[0].phoneColumn, -1);
    QCOMPARE(f.dialogs.columnAsks[0].countryColumn, -1);
    QCOMPARE(numbers(w), QStringList({"+14135923823", "+442079460958"}));
}

void TestWindowTables::cancelLeavesTheListAsItWas()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    f.dialogs.inputAnswers << "5";
    c.addButton->click();
    const QString path = writeTable(f, "csv", kContacts);
    f.dialogs.openAnswers << QStringList{path};
    c.loadButton->click(); // the column window is cancelled
    QCOMPARE(f.dialogs.columnAsks.size(), 1);
    QCOMPARE(numbers(w), QStringList({"5"}));
    QVERIFY(f.dialogs.messages.isEmpty());
    QVERIFY(!w.isBusy());

    // A cancelled table is not the one a save offers first.
    f.dialogs.openAnswers << QStringList{};
    QVERIFY(chooseFromContextMenu(c.resultsList, kSaveTable).contains(kSaveTable));
    QCOMPARE(f.dialogs.openAsks.size(), 2);
    QCOMPARE(f.dialogs.openAsks[1].suggested, QString());
}

void TestWindowTables::unreadableTableIsToldPlainly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // a folder when null
    QTest::newRow("not a workbook") << "broken.xlsx" << QByteArray("Name,Phone\r\nAnn,1\r\n");
    QTest::newRow("empty CSV") << "empty.csv" << QByteArray("");
    QTest::newRow("unclosed quote") << "open.csv" << QByteArray("Phone\r\n\"4135923823\r\n");
    QTest::newRow("folder named as a table") << "folder.tsv" << QByteArray();
}

void TestWindowTables::unreadableTableIsToldPlainly()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    const QString path = f.dir.filePath(name);
    if (bytes.isNull())
        QVERIFY(QDir().mkpath(path));
    else
        writeFile(path, bytes);
    const QString later = f.dir.filePath("later.txt");
    writeFile(later, "4135923823\r\n");

    f.dialogs.openAnswers << QStringList{path, later};
    c.loadButton->click();
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages[0].text, readerFailure(path));
    QVERIFY(f.dialogs.messages[0].text.contains(QDir::toNativeSeparators(path)) ||
            f.dialogs.messages[0].text.contains(name));
    QCOMPARE(f.dialogs.messages[0].icon, Dialogs::Icon::Warning);
    QVERIFY(f.dialogs.errorReports().isEmpty());
    QVERIFY(f.dialogs.columnAsks.isEmpty());
    // The next file of the same load still comes in.
    QCOMPARE(numbers(w), QStringList({"4135923823"}));
    QVERIFY(!w.isBusy());

    // The save's table is told the same way, and nothing is written.
    f.dialogs.openAnswers << QStringList{path};
    chooseFromContextMenu(c.resultsList, kSaveTable);
    QCOMPARE(f.dialogs.messages.size(), 2);
    QCOMPARE(f.dialogs.messages[1].text, readerFailure(path));
    QVERIFY(f.dialogs.saveAsks.isEmpty());
}

void TestWindowTables::saveTableWithResults_data()
{
    QTest::addColumn<QString>("inputKind");
    QTest::addColumn<QString>("outputName");
    QTest::newRow("CSV to CSV") << "csv"
                                << "out.csv";
    QTest::newRow("CSV to workbook") << "csv"
                                     << "out.xlsx";
    QTest::newRow("workbook to workbook") << "xlsx"
                                          << "OUT.XLSX";
    QTest::newRow("workbook to CSV") << "xlsx"
                                     << "out.csv";
}

void TestWindowTables::saveTableWithResults()
{
    QFETCH(QString, inputKind);
    QFETCH(QString, outputName);
    WindowFixture f;
    f.keys->setKey(QStringLiteral("key"));
    MainWindow w(f.context);
    MainControls c(w);
    const QString path = writeTable(f, inputKind, kContacts);
    f.dialogs.openAnswers << QStringList{path};
    f.dialogs.columnAnswers << ColumnAnswer{1, 2};
    c.loadButton->click();
    QCOMPARE(numbers(w).size(), 4);

    // Ann's number typed as digits and Bob's with its "+": the rows are
    // joined by number, whatever form the list held it in. Ed's is never
    // looked up; a row for a number of no table row changes nothing.
    f.answerWith("4135923823", answerShownAs({"4135923823", "Landline", "Ann Ellison", "US",
                                              "Verizon", "Active"}));
    f.answerWith("13342228605",
                 answerShownAs({"3342228605", "Mobile", "=Bob", "US", "AT&T", "Inactive"}));
    f.answerWith("5032353968",
                 answerShownAs({"5032353968", "Mobile", "Other", "US", "X", "Active"}));
    QVERIFY(runOver(f, w, {"4135923823", "+13342228605", "5032353968"}));
    QCOMPARE(rowCount(c.resultsList), 3);

    const QString target = f.dir.filePath(outputName);
    f.dialogs.openAnswers << QStringList{path};
    f.dialogs.columnAnswers << ColumnAnswer{1, 2};
    f.dialogs.saveAnswers << target;
    chooseFromContextMenu(c.resultsList, kSaveTable);

    QCOMPARE(f.dialogs.openAsks.size(), 2);
    QCOMPARE(f.dialogs.openAsks[1].suggested, path);
    QCOMPARE(f.dialogs.openAsks[1].filter,
             QString("Tables (*.csv *.tsv *.xlsx)|*.csv;*.tsv;*.xlsx|All Files (*.*)|*.*|"));
    QCOMPARE(f.dialogs.saveAsks.size(), 1);
    QCOMPARE(f.dialogs.saveAsks[0].filter,
             QString("CSV Files (*.csv)|*.csv|Excel Workbooks (*.xlsx)|*.xlsx|"));
    QCOMPARE(f.dialogs.columnAsks.size(), 2);
    QCOMPARE(f.dialogs.columnAsks[1], f.dialogs.columnAsks[0]);
    QCOMPARE(f.dialogs.messageTexts(), QStringList{"Done."});

    const bool workbook = outputName.endsWith(".xlsx", Qt::CaseInsensitive);
    // A CSV file guards a result that reads as a formula; a workbook's text
    // cells never are one.
    const QString bobName = workbook ? "=Bob" : "'=Bob";
    const QList<QStringList> expected = {
        kSavedHeader,
        {"Ann", "(413) 592-3823", "", "met, twice", "Landline", "Ann Ellison", "US", "Verizon",
         "Active", "+14135923823"},
        {"Bob", "+1 334-222-8605", "US", "", "Mobile", bobName, "US", "AT&T", "Inactive",
         "+13342228605"},
        {"Cy", "", "", "no phone", "", "", "", "", "No number", ""},
        {"Di", "12", "", "", "", "", "", "", "Cannot be a valid number", ""},
        {"Ed", "020 7946 0958", "GB", "", "", "", "", "", "Not looked up", "+442079460958"},
        {"Fay", "", "", "", "", "", "", "", "No number", ""},
    };
    const QList<QStringList> saved = readBack(target);
    QCOMPARE(saved.size(), expected.size());
    for (qsizetype r = 0; r < expected.size(); ++r)
        QCOMPARE(saved.at(r), expected.at(r));

    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    if (workbook) {
        // The header row is bold and stays in view.
        XlsxArchive archive(bytes);
        const QByteArray sheet = archive.part("xl/worksheets/sheet1.xml");
        QVERIFY(sheet.contains("ySplit=\"1\""));
        QVERIFY(sheet.contains("state=\"frozen\""));
        QVERIFY(archive.part("xl/styles.xml").contains("<b/>"));
        QVERIFY(sheet.contains("<c r=\"A1\" s=\"1\""));
        QVERIFY(!sheet.contains("<c r=\"A2\" s="));
    } else {
        // The input's own way of writing: comma and CR LF, and the quoted cell kept.
        QVERIFY(bytes.contains("Ann,(413) 592-3823,,\"met, twice\",Landline,"));
        QVERIFY(bytes.contains("\r\n"));
    }
    // Nothing but the saved file is left beside it.
    QCOMPARE(QDir(f.dir.path()).entryList({"out*", "OUT*"}, QDir::Files),
             QStringList{QFileInfo(target).fileName()});
}

void TestWindowTables::saveIsRefusedWhileBusy()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    const QString path = writeTable(f, "csv", kContacts);
    w.setBusy(true); // as a lookup run does
    f.dialogs.openAnswers << QStringList{path};
    f.dialogs.saveAnswers << f.dir.filePath("out.csv");
    QVERIFY(chooseFromContextMenu(c.resultsList, kSaveTable).contains(kSaveTable));
    QVERIFY(f.dialogs.openAsks.isEmpty());
    QVERIFY(f.dialogs.messages.isEmpty());
    QVERIFY(!QFile::exists(f.dir.filePath("out.csv")));

    w.setBusy(false);
    f.dialogs.columnAnswers << ColumnAnswer{1, 2};
    chooseFromContextMenu(c.resultsList, kSaveTable);
    QCOMPARE(f.dialogs.messageTexts(), QStringList{"Done."});
    QVERIFY(QFile::exists(f.dir.filePath("out.csv")));
}

void TestWindowTables::failedSaveKeepsTheOldFile()
{
    // A workbook cell holds at most 32,767 characters: a longer one fails the
    // save after some rows are written, and the file of that name stays.
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    const QString path =
        writeTable(f, "csv", {{"Phone", "Notes"}, {"4135923823", QString(40000, u'x')}});
    const QString target = f.dir.filePath("out.xlsx");
    writeFile(target, "the user's earlier file");
    f.dialogs.openAnswers << QStringList{path};
    f.dialogs.columnAnswers << ColumnAnswer{0, -1};
    f.dialogs.saveAnswers << target;
    chooseFromContextMenu(c.resultsList, kSaveTable);
    QCOMPARE(f.dialogs.errorReports().size(), 1);
    QVERIFY(f.dialogs.errorReports()[0].contains("out.xlsx"));
    QVERIFY(!f.dialogs.messageTexts().contains("Done."));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("the user's earlier file"));
    QCOMPARE(QDir(f.dir.path()).entryList({"out*"}, QDir::Files), QStringList{"out.xlsx"});
}

QTEST_MAIN(TestWindowTables)
#include "tst_windowtables.moc"
