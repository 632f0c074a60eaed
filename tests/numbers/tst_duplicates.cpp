#include "duplicates.h"
#include "numberlist.h"

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
    QTest::newRow("entries without digits never count")
        << QStringList{"", "abc", "", "-", "abc"} << QList<int>{};
    QTest::newRow("outer blanks as the request trims them")
        << QStringList{" 4135923823 ", "4135923823"} << QList<int>{1};
    QTest::newRow("a longer number is another number")
        << QStringList{"4135923823", "14135923823", "413592382"} << QList<int>{};
    QTest::newRow("every repeat of a number")
        << QStringList{"1", "x1", "1", "2", "1"} << QList<int>{1, 2, 4};
    QTest::newRow("empty list") << QStringList{} << QList<int>{};
}

void DuplicatesTest::duplicateIndices()
{
    QFETCH(QStringList, entries);
    QFETCH(QList<int>, indices);
    QCOMPARE(duplicateNumberIndices(entries), indices);
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
