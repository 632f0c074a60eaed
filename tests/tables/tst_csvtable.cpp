#include "shell/errorreport.h"
#include "tables/csvtable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;

using Rows = QList<QStringList>;

class CsvTableTest : public QObject
{
    Q_OBJECT

private slots:
    void shapes_data();
    void shapes();
    void refused_data();
    void refused();
    void tenMegabytesInOneCell();
    void writtenLineReadsBack_data();
    void writtenLineReadsBack();
    void tableFiles_data();
    void tableFiles();
    void folderWhereTheFileShouldBe();
};

void CsvTableTest::shapes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QChar>("preferred");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QChar>("delimiter");
    QTest::addColumn<QString>("lineEnd");

    QTest::newRow("plain LF") << QByteArray("Name,Phone\nAda,413-592-3823\n") << QChar(u',')
                              << QStringList{"Name", "Phone"} << Rows{{"Ada", "413-592-3823"}}
                              << QChar(u',') << "\n";
    QTest::newRow("CR LF, no final break")
        << QByteArray("Name,Phone\r\nAda,1\r\nBo,2") << QChar(u',') << QStringList{"Name", "Phone"}
        << Rows{{"Ada", "1"}, {"Bo", "2"}} << QChar(u',') << "\r\n";
    QTest::newRow("lone CR") << QByteArray("a,b\r1,2\r") << QChar(u',') << QStringList{"a", "b"}
                             << Rows{{"1", "2"}} << QChar(u',') << "\r";
    QTest::newRow("quoted comma, doubled quote, line break")
        << QByteArray(
               "Name,Phone,Note\r\n\"Smith, Jo\",\"413\",\"said \"\"hi\"\"\r\nthen left\"\r\n")
        << QChar(u',') << QStringList{"Name", "Phone", "Note"}
        << Rows{{"Smith, Jo", "413", "said \"hi\"\r\nthen left"}} << QChar(u',') << "\r\n";
    QTest::newRow("byte-order mark")
        << QByteArray("\xEF\xBB\xBFName,Phone\nZo\xC3\xAB,1\n") << QChar(u',')
        << QStringList{"Name", "Phone"} << Rows{{QStringLiteral("Zo\u00EB"), "1"}} << QChar(u',')
        << "\n";
    QTest::newRow("semicolons, with commas in the cells")
        << QByteArray("Name;Phone;Amount\nM\xC3\xBCller;030 901820;1,50\n") << QChar(u',')
        << QStringList{"Name", "Phone", "Amount"}
        << Rows{{QStringLiteral("M\u00FCller"), "030 901820", "1,50"}} << QChar(u';') << "\n";
    QTest::newRow("TAB") << QByteArray("Name\tPhone\nJo, Jr.\t1\n") << QChar(u',')
                         << QStringList{"Name", "Phone"} << Rows{{"Jo, Jr.", "1"}} << QChar(u'\t')
                         << "\n";
    QTest::newRow("delimiters inside quotes do not count")
        << QByteArray("\"a;b;c\",d\n1,2\n") << QChar(u',') << QStringList{"a;b;c", "d"}
        << Rows{{"1", "2"}} << QChar(u',') << "\n";
    QTest::newRow("a tie goes to the preferred one")
        << QByteArray("a\tb,c\n1\t2,3\n") << QChar(u'\t') << QStringList{"a", "b,c"}
        << Rows{{"1", "2,3"}} << QChar(u'\t') << "\n";
    QTest::newRow("one column of a .tsv")
        << QByteArray("Phone\n1,2\n") << QChar(u'\t') << QStringList{"Phone"} << Rows{{"1,2"}}
        << QChar(u'\t') << "\n";
    QTest::newRow("ragged rows stay as they are")
        << QByteArray("a,b,c\n1\n1,2,3,4\n,\n") << QChar(u',') << QStringList{"a", "b", "c"}
        << Rows{{"1"}, {"1", "2", "3", "4"}, {"", ""}} << QChar(u',') << "\n";
    QTest::newRow("blank line is a row of one empty cell")
        << QByteArray("a,b\n\n1,2\n") << QChar(u',') << QStringList{"a", "b"}
        << Rows{{""}, {"1", "2"}} << QChar(u',') << "\n";
    QTest::newRow("blanks around cells stay")
        << QByteArray("a , b\n 1 ,\t2 \n") << QChar(u',') << QStringList{"a ", " b"}
        << Rows{{" 1 ", "\t2 "}} << QChar(u',') << "\n";
    QTest::newRow("quote inside an unquoted cell is text")
        << QByteArray("Size,Phone\n5\" disk,1\n") << QChar(u',') << QStringList{"Size", "Phone"}
        << Rows{{"5\" disk", "1"}} << QChar(u',') << "\n";
    QTest::newRow("text after the closing quote is kept")
        << QByteArray("a,b\n\"x\"y,2\n") << QChar(u',') << QStringList{"a", "b"}
        << Rows{{"xy", "2"}} << QChar(u',') << "\n";
    QTest::newRow("header only") << QByteArray("Name,Phone\r\n") << QChar(u',')
                                 << QStringList{"Name", "Phone"} << Rows{} << QChar(u',') << "\r\n";
    QTest::newRow("header only, no line break")
        << QByteArray("Name;Phone") << QChar(u',') << QStringList{"Name", "Phone"} << Rows{}
        << QChar(u';') << "\r\n";
    // 0x80 is the euro sign in Windows-1252, 0xE9 an e with an acute accent.
    QTest::newRow("not UTF-8: Windows-1252")
        << QByteArray("Name;Phone\nRen\xE9;\x80 5\n") << QChar(u',') << QStringList{"Name", "Phone"}
        << Rows{{QStringLiteral("Ren\u00E9"), QStringLiteral("\u20AC 5")}} << QChar(u';') << "\n";
}

void CsvTableTest::shapes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QChar, preferred);
    QFETCH(QStringList, header);
    QFETCH(Rows, rows);
    QFETCH(QChar, delimiter);
    QFETCH(QString, lineEnd);

    const Table table = readCsv(bytes, preferred);
    QCOMPARE(table.kind, Table::Kind::Csv);
    QCOMPARE(table.header, header);
    QCOMPARE(table.rows, rows);
    QCOMPARE(table.delimiter, delimiter);
    QCOMPARE(table.lineEnd, lineEnd);
    QCOMPARE(table.byteOrderMark, bytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(table.encoding, QString::fromUtf8(bytes).contains(QChar::ReplacementCharacter)
                                 ? Table::Encoding::Windows1252
                                 : Table::Encoding::Utf8);
}

void CsvTableTest::refused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty file") << QByteArray() << "The file is empty: a table needs a header row.";
    QTest::newRow("byte-order mark alone")
        << QByteArray("\xEF\xBB\xBF") << "The file is empty: a table needs a header row.";
    // Read to the end, the open quote would swallow every later row whole.
    QTest::newRow("quote never closed") << QByteArray("a,b\r\n1,2\r\n\"3,4\r\n5,6\r\n")
                                        << "A quoted cell that starts on line 3 is never closed.";
}

void CsvTableTest::refused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    try {
        readCsv(bytes);
        QFAIL("no Failure");
    } catch (const Failure& failure) {
        QCOMPARE(failure.description(), message);
    }
}

void CsvTableTest::tenMegabytesInOneCell()
{
    // Quoted, with a doubled quote every so often, so that both the quoted
    // and the plain paths of the reader see the whole cell.
    QByteArray chunk(1000, 'x');
    chunk += "\"\"";
    QByteArray cell;
    while (cell.size() < 10 * 1024 * 1024)
        cell += chunk;
    const Table table = readCsv("Name,Phone\n\"" + cell + "\",1\n" + cell + ",2\n");
    QCOMPARE(table.rows.size(), 2);
    QString unquoted = QString::fromLatin1(cell);
    QCOMPARE(table.rows.at(1).at(0), unquoted);
    QCOMPARE(table.rows.at(0).at(0),
             unquoted.replace(QStringLiteral("\"\""), QStringLiteral("\"")));
    QCOMPARE(table.rows.at(0).at(1), QStringLiteral("1"));
}

void CsvTableTest::writtenLineReadsBack_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QChar>("delimiter");
    QTest::addColumn<QString>("line");
    QTest::newRow("nothing to quote") << QStringList{"a", "b c", ""} << QChar(u',') << "a,b c,";
    // The other candidates are quoted too, or the line would sniff otherwise.
    QTest::newRow("comma") << QStringList{"1,5", "x;y"} << QChar(u',') << "\"1,5\",\"x;y\"";
    QTest::newRow("semicolon") << QStringList{"1,5", "x;y", "z"} << QChar(u';')
                               << "\"1,5\";\"x;y\";z";
    QTest::newRow("TAB") << QStringList{"a\tb", "c,d"} << QChar(u'\t') << "\"a\tb\"\t\"c,d\"";
    QTest::newRow("quotes doubled")
        << QStringList{"say \"hi\""} << QChar(u',') << "\"say \"\"hi\"\"\"";
    QTest::newRow("line breaks") << QStringList{"a\r\nb", "c\rd"} << QChar(u',')
                                 << "\"a\r\nb\",\"c\rd\"";
}

void CsvTableTest::writtenLineReadsBack()
{
    QFETCH(QStringList, cells);
    QFETCH(QChar, delimiter);
    QFETCH(QString, line);
    QCOMPARE(csvLine(cells, delimiter), line);
    // A first line to settle the delimiter, then the line written.
    const QString header = QStringList{"h1", "h2"}.join(delimiter);
    const Table table = readCsv(
        (header + QStringLiteral("\r\n") + line + QStringLiteral("\r\n")).toUtf8(), delimiter);
    QCOMPARE(table.rows, Rows{cells});
    // As the first line, it sniffs as the delimiter it was written with.
    const Table alone = readCsv((line + QStringLiteral("\r\n")).toUtf8(), delimiter);
    QCOMPARE(alone.delimiter, delimiter);
    QCOMPARE(alone.header, cells);
}

void CsvTableTest::tableFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("table");
    QTest::newRow("csv") << "contacts.csv" << true;
    QTest::newRow("CSV upper case") << "/home/jo/CONTACTS.CSV" << true;
    QTest::newRow("tsv") << "list.Tsv" << true;
    QTest::newRow("xlsx") << "C:\\Users\\jo\\Book1.XLSX" << true;
    QTest::newRow("plain list") << "numbers.txt" << false;
    QTest::newRow("no ending") << "csv" << false;
    QTest::newRow("old workbook") << "book.xls" << false;
    QTest::newRow("csv inside the name") << "contacts.csv.txt" << false;
}

void CsvTableTest::tableFiles()
{
    QFETCH(QString, path);
    QFETCH(bool, table);
    QCOMPARE(isTableFile(path), table);
}

void CsvTableTest::folderWhereTheFileShouldBe()
{
    // Root reads every file, so a folder stands in for one that cannot be read.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("contacts.csv"));
    QVERIFY(QDir().mkdir(path));
    try {
        readTableFile(path);
        QFAIL("no Failure");
    } catch (const Failure& failure) {
        QVERIFY2(failure.description().startsWith(QStringLiteral("Cannot open the table ") +
                                                  QDir::toNativeSeparators(path) +
                                                  QStringLiteral(": ")),
                 qPrintable(failure.description()));
    }

    // A file that is read names itself in the reader's failure.
    const QString empty = dir.filePath(QStringLiteral("empty.tsv"));
    QFile file(empty);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    try {
        readTableFile(empty);
        QFAIL("no Failure");
    } catch (const Failure& failure) {
        QCOMPARE(failure.description(),
                 QStringLiteral("Cannot read the table %1: The file is empty: a table needs a "
                                "header row.")
                     .arg(QDir::toNativeSeparators(empty)));
    }
}

QTEST_GUILESS_MAIN(CsvTableTest)
#include "tst_csvtable.moc"
