#include "lookup/answer.h"
#include "tables/csvtable.h"

#include <QFile>
#include <QTest>

using namespace quillmore;

// Each case is an input a fuzz target found; the file of the same name under
// fuzz/corpus/ keeps it in front of the fuzzer too.
class FuzzRegressTest : public QObject
{
    Q_OBJECT

private slots:
    void byteOrderMarkStaysWhateverFollows_data();
    void byteOrderMarkStaysWhateverFollows();
    void corpusAnswerReadsLikeItsBytes();
    void tableReadsBackAsWritten_data();
    void tableReadsBackAsWritten();
};

void FuzzRegressTest::byteOrderMarkStaysWhateverFollows_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("valid after the mark") << QByteArray("\xEF\xBB\xBF{\"n\":\"Zo\xC3\xAB\"}")
                                          << QStringView(u"\uFEFF{\"n\":\"Zo\u00EB\"}").toString();
    QTest::newRow("stray byte after the mark")
        << QByteArray("\xEF\xBB\xBF{\"n\":\"Zo\xC3O\"}")
        << QStringView(u"\uFEFF{\"n\":\"Zo\u00C3O\"}").toString();
    QTest::newRow("mark alone") << QByteArray("\xEF\xBB\xBF") << QStringView(u"\uFEFF").toString();
    QTest::newRow("mark inside the text")
        << QByteArray("a\xEF\xBB\xBF") << QStringView(u"a\uFEFF").toString();
}

void FuzzRegressTest::byteOrderMarkStaysWhateverFollows()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeAnswer(bytes), text);
}

void FuzzRegressTest::corpusAnswerReadsLikeItsBytes()
{
    const QString path = qEnvironmentVariable("QUILLMORE_SOURCE_DIR") +
                         QStringLiteral("/fuzz/corpus/answer/bom-then-stray-byte");
    QVERIFY2(QFile::exists(path), qPrintable(path));
    QCOMPARE(flattenLines(readFileText(path)),
             QStringView(u"\uFEFF{\"name\":\"Zo\u00C3O\"} ").toString());
}

void FuzzRegressTest::tableReadsBackAsWritten_data()
{
    QTest::addColumn<QString>("corpusFile");
    // Read with commas, its first line held more semicolons than commas once
    // written back unquoted, and so read back as another table.
    QTest::newRow("first line sniffs otherwise") << "first-line-sniffs-otherwise";
    // A mark, then a quoted cell that is one more: the cell's mark was taken
    // for the file's.
    QTest::newRow("second byte-order mark") << "second-byte-order-mark";
    // No mark, but a first cell that begins with U+FEFF: written unquoted, it
    // became the mark of the file read back.
    QTest::newRow("first cell begins like a mark") << "first-cell-begins-like-a-mark";
}

void FuzzRegressTest::tableReadsBackAsWritten()
{
    QFETCH(QString, corpusFile);
    QFile file(qEnvironmentVariable("QUILLMORE_SOURCE_DIR") +
               QStringLiteral("/fuzz/corpus/csvtable/") + corpusFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const Table table = readCsv(file.readAll());
    QString text = table.byteOrderMark ? QStringLiteral("\uFEFF") : QString();
    text += csvLine(table.header, table.delimiter) + QStringLiteral("\r\n");
    for (const QStringList& row : table.rows)
        text += csvLine(row, table.delimiter) + QStringLiteral("\r\n");
    const Table again = readCsv(text.toUtf8(), table.delimiter);
    QCOMPARE(again.delimiter, table.delimiter);
    QCOMPARE(again.header, table.header);
    QCOMPARE(again.rows, table.rows);
}

QTEST_GUILESS_MAIN(FuzzRegressTest)
#include "tst_fuzzregress.moc"
