#include "numbers/duplicates.h"
#include "numbers/numberlist.h"

#include <QTest>

using namespace quillmore;

class DuplicatesTest : public QObject
{
    Q_OBJECT

private slots:
    void duplicateIndices_data();
    void duplicateIndices();
    void removedText();
    void pastedLines_data();
    void pastedLines();
};

void DuplicatesTest::duplicateIndices_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QList<int>>("indices");
    QTest::newRow("three spellings, the first kept")
        << QStringList{"413-592-3823", "(413) 592-3823", "3342228605", "4135923823"}
        << QList<int>{1, 3};
    QTest::newRow("with and without the country code")
        << QStringList{"413-592-3823", "+1 (413) 592 3823", "14135923823", "1-413-592-3823"}
        << QList<int>{1, 2, 3};
    QTest::newRow("the first spelling stays, whichever it is")
        << QStringList{"+1 (413) 592 3823", "334.222.8605", "4135923823"} << QList<int>{2};
    QTest::newRow("abroad: +, 011 and the national form of another region")
        << QStringList{"+44 20 7946 0958", "011 44 20 7946 0958", "+442079460958"}
        << QList<int>{1, 2};
    QTest::newRow("numbers that cannot be valid compare their digits")
        << QStringList{"111", "1-1-1", "1111", "(111)"} << QList<int>{1, 3};
    // Sent as 1800 and as 18003569377: two different lookups.
    QTest::newRow("letters are not the number they spell")
        << QStringList{"1-800-FLOWERS", "1-800-356-9377", "1800"} << QList<int>{2};
    QTest::newRow("an extension is not the number without it")
        << QStringList{"413-592-3823 x123", "413-592-3823", "4135923823123"} << QList<int>{2};
    QTest::newRow("entries without digits never count")
        << QStringList{"", "abc", "", "-", "abc"} << QList<int>{};
    QTest::newRow("outer blanks as the request trims them")
        << QStringList{" 4135923823 ", "4135923823"} << QList<int>{1};
    QTest::newRow("a shorter number is another number")
        << QStringList{"4135923823", "413592382", "41359238"} << QList<int>{};
    QTest::newRow("every repeat of a number")
        << QStringList{"1", "x1", "1", "2", "1"} << QList<int>{1, 2, 4};
    QTest::newRow("empty list") << QStringList{} << QList<int>{};
}

void DuplicatesTest::duplicateIndices()
{
    QFETCH(QStringList, entries);
    QFETCH(QList<int>, indices);
    QCOMPARE(duplicateNumberIndices(entries, PhoneNumbers(QStringLiteral("US")).classify(entries)),
             indices);
}

void DuplicatesTest::removedText()
{
    QCOMPARE(duplicatesRemovedText(0), QStringLiteral("No duplicate numbers found."));
    QCOMPARE(duplicatesRemovedText(1), QStringLiteral("1 duplicate number removed."));
    QCOMPARE(duplicatesRemovedText(2), QStringLiteral("2 duplicate numbers removed."));
    QCOMPARE(duplicatesRemovedText(32767), QStringLiteral("32767 duplicate numbers removed."));
}

void DuplicatesTest::pastedLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("CR LF with blank lines") << "\r\n4135923823\r\n\r\n\r\n3342228605\r\n"
                                            << QStringList{"4135923823", "3342228605"};
    QTest::newRow("lone CR and lone LF") << "1\r2\n3" << QStringList{"1", "2", "3"};
    QTest::newRow("lines taken whole, blanks kept") << "  503.235.3968, x \n \n"
                                                    << QStringList{"  503.235.3968, x ", " "};
    QTest::newRow("nothing") << "" << QStringList{};
}

void DuplicatesTest::pastedLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QCOMPARE(splitPastedNumbers(text), entries);
}

QTEST_GUILESS_MAIN(DuplicatesTest)
#include "tst_duplicates.moc"
