#include "export/csvexport.h"
#include "shell/errorreport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

ReportTable twoColumns(const QList<QStringList>& rows)
{
    ReportTable table;
    table.headers = QStringList{"Phone Number", "Name"};
    for (const QStringList& cells : rows)
        table.rows.append(ReportTable::Row{cells, false});
    return table;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class CsvExportTest : public QObject
{
    Q_OBJECT

private slots:
    void fileBytes_data();
    void fileBytes();
    void formulaStartsAreShownAsText_data();
    void formulaStartsAreShownAsText();
    void savesAndReplacesFile();
    void unwritableTargetThrowsNamingTheFile();
};

void CsvExportTest::fileBytes_data()
{
    QTest::addColumn<ReportTable>("table");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty list: BOM and header") << twoColumns({}) << kBom + "Phone Number,Name\r\n";
    QTest::newRow("every row, ticked or not, plain cells unquoted")
        << twoColumns({{"4135923823", "Ann"}, {"3342228605", "Bo"}})
        << kBom + "Phone Number,Name\r\n4135923823,Ann\r\n3342228605,Bo\r\n";
    QTest::newRow("comma") << twoColumns({{"1", "Smith, Ann"}})
                           << kBom + "Phone Number,Name\r\n1,\"Smith, Ann\"\r\n";
    QTest::newRow("quotes doubled") << twoColumns({{"1", "Ann \"Bo\" Li"}})
                                    << kBom + "Phone Number,Name\r\n1,\"Ann \"\"Bo\"\" Li\"\r\n";
    QTest::newRow("line breaks") << twoColumns({{"1", "a\r\nb\nc\rd"}})
                                 << kBom + "Phone Number,Name\r\n1,\"a\r\nb\nc\rd\"\r\n";
    QTest::newRow("accents as UTF-8")
        << twoColumns({{"1", QString::fromUtf8("Zoë Müller, Orléans")}})
        << kBom + "Phone Number,Name\r\n1,\"Zo\xC3\xAB M\xC3\xBCller, Orl\xC3\xA9"
                  "ans\"\r\n";
    QTest::newRow("short row padded, long row cut to the captions")
        << twoColumns({{"1"}, {"2", "b", "extra"}}) << kBom + "Phone Number,Name\r\n1,\r\n2,b\r\n";
}

void CsvExportTest::fileBytes()
{
    QFETCH(ReportTable, table);
    QFETCH(QByteArray, bytes);
    QCOMPARE(resultsCsvBytes(table), bytes);
}

void CsvExportTest::formulaStartsAreShownAsText_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("field");
    QTest::newRow("=") << "=SUM(A1)"
                       << "'=SUM(A1)";
    QTest::newRow("+") << "+1 413 592 3823"
                       << "'+1 413 592 3823";
    QTest::newRow("-") << "-2+3"
                       << "'-2+3";
    QTest::newRow("@") << "@cmd"
                       << "'@cmd";
    QTest::newRow("TAB") << "\t=1"
                         << "'\t=1";
    QTest::newRow("CR, guarded and quoted") << "\r=1"
                                            << "\"'\r=1\"";
    QTest::newRow("= with a comma, guarded and quoted") << "=A1,B1"
                                                        << "\"'=A1,B1\"";
    QTest::newRow("= inside is left alone") << "a=b"
                                            << "a=b";
    QTest::newRow("leading blank is no formula") << " =1"
                                                 << " =1";
    QTest::newRow("empty") << ""
                           << "";
}

void CsvExportTest::formulaStartsAreShownAsText()
{
    QFETCH(QString, cell);
    QFETCH(QString, field);
    QCOMPARE(csvField(cell), field);
    // Captions go through the same guard as cells.
    ReportTable table;
    table.headers = QStringList{cell};
    QCOMPARE(resultsCsvBytes(table), kBom + field.toUtf8() + "\r\n");
}

void CsvExportTest::savesAndReplacesFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older, longer file that must go entirely\r\n");
    old.close();

    const ReportTable table = twoColumns({{"1", "Ann"}});
    saveResultsAsCsv(table, path);
    QCOMPARE(readAll(path), resultsCsvBytes(table));
}

void CsvExportTest::unwritableTargetThrowsNamingTheFile()
{
    QTemporaryDir dir;
    // A file where the file's folder should be: refused even for root.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    const QString path = blocker + QStringLiteral("/results.csv");
    try {
        saveResultsAsCsv(twoColumns({{"1", "Ann"}}), path);
        QFAIL("no failure");
    } catch (const Failure& failure) {
        QVERIFY2(failure.description().contains(QDir::toNativeSeparators(path)),
                 qPrintable(failure.description()));
    }
}

QTEST_GUILESS_MAIN(CsvExportTest)
#include "tst_csvexport.moc"
