#include "numbers/numberlist.h"
#include "numbers/numberlistmodel.h"
#include "shell/errorreport.h"
#include "support/modelsignals.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace quillmore;
using quillmore::test::ModelSignals;

class TestNumberList : public QObject
{
    Q_OBJECT
private slots:
    void typedInput_data();
    void typedInput();
    void fileLines_data();
    void fileLines();
    void storageFormat_data();
    void storageFormat();
    void largeListRoundTrip();
    void samples();
    void readsFileBytesAsLocal8Bit();
    void bigFileLoads();
    void randomBytesDoNotBreakLoading();
    void unreadableFileFails();
    void modelShowsTheEntries();
    void modelTellsItsViews_data();
    void modelTellsItsViews();
};

void TestNumberList::typedInput_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("comma and blank")
        << "4135923823, 3342228605" << QStringList{"4135923823", "3342228605"};
    QTest::newRow("two commas") << "1,,2" << QStringList{"1", "", "2"};
    QTest::newRow("blanks only") << "   " << QStringList{""};
    QTest::newRow("blanks around") << "  503.235.3968  " << QStringList{"503.235.3968"};
    QTest::newRow("tabs stay") << "\t12 34\t" << QStringList{"\t12 34\t"};
    QTest::newRow("semicolons and letters stay")
        << "a;b, (413) 592-3823x" << QStringList{"a;b", "(413) 592-3823x"};
    QTest::newRow("trailing comma") << "1," << QStringList{"1", ""};
}

void TestNumberList::typedInput()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, entries);
    QCOMPARE(splitTypedNumbers(answer), entries);
}

void TestNumberList::fileLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("CR LF with empty line") << "4135923823\r\n\r\n3342228605\r\n"
                                           << QStringList{"4135923823", "", "3342228605"};
    QTest::newRow("LF only ending in LF") << "4135923823\n3342228605\n"
                                          << QStringList{"4135923823", "3342228605", ""};
    QTest::newRow("lone CR") << "1\r2\r" << QStringList{"1", "2"};
    QTest::newRow("no final break") << "1\r\n2" << QStringList{"1", "2"};
    QTest::newRow("line taken whole") << "   503.235.3968, more text\r\n"
                                      << QStringList{"   503.235.3968, more text"};
    QTest::newRow("LF then CR LF") << "a\n\r\n" << QStringList{"a", ""};
    QTest::newRow("double LF at end") << "a\n\n" << QStringList{"a", "", ""};
    QTest::newRow("lone LF") << "\n" << QStringList{"", ""};
    QTest::newRow("CR CR") << "\r\r" << QStringList{"", ""};
    QTest::newRow("empty file") << "" << QStringList{};
}

void TestNumberList::fileLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QCOMPARE(splitFileLines(text), entries);
}

void TestNumberList::storageFormat_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("restored");
    QTest::newRow("three") << QStringList{"1", "2", "3"} << "1;2;3" << QStringList{"1", "2", "3"};
    QTest::newRow("empty list") << QStringList{} << "" << QStringList{};
    QTest::newRow("semicolon inside an entry")
        << QStringList{"1;2", "3"} << "1;2;3" << QStringList{"1", "2", "3"};
    QTest::newRow("empty entries are not restored")
        << QStringList{"1", "", "2"} << "1;;2" << QStringList{"1", "2"};
    QTest::newRow("surrounding spaces kept")
        << QStringList{" 1", "2 "} << " 1;2 " << QStringList{" 1", "2 "};
    QTest::newRow("single empty entry") << QStringList{""} << "" << QStringList{};
}

void TestNumberList::storageFormat()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, stored);
    QFETCH(QStringList, restored);
    QCOMPARE(joinForStorage(entries), stored);
    QCOMPARE(splitFromStorage(stored), restored);
    QCOMPARE(splitFromStorage(";"), QStringList{});
}

void TestNumberList::largeListRoundTrip()
{
    QStringList entries;
    for (int i = 0; i < 10000; ++i)
        entries << QStringLiteral("(%1) 555-%2").arg(200 + i % 800).arg(i, 4, 10, QChar('0'));
    QElapsedTimer timer;
    timer.start();
    const QStringList back = splitFromStorage(joinForStorage(entries));
    qInfo("10,000 entries joined and split in %lld ms", timer.elapsed());
    QCOMPARE(back, entries);
}

void TestNumberList::samples()
{
    QCOMPARE(sampleNumbers(), (QStringList{"4135923823", "3342228605", "503.235.3968",
                                           "603-380-2932", "760-546-7993", "212-522-9333"}));
}

static QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(bytes);
    return file.fileName();
}

void TestNumberList::readsFileBytesAsLocal8Bit()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "n.txt",
                                   "M\xc3\xbcller 1\r\n\xef\xbb\xbf"
                                   "2\n");
    QCOMPARE(readNumberFile(path),
             (QStringList{QString::fromUtf8("Müller 1"), QString(QChar(0xFEFF)) + "2", ""}));
}

void TestNumberList::bigFileLoads()
{
    QTemporaryDir dir;
    QByteArray bytes;
    for (int i = 0; i < 32767; ++i)
        bytes += QByteArray::number(4130000000LL + i) + "\r\n";
    const QString path = writeFile(dir, "big.txt", bytes);
    QElapsedTimer timer;
    timer.start();
    const QStringList entries = readNumberFile(path);
    qInfo("32,767 lines read in %lld ms", timer.elapsed());
    QCOMPARE(entries.size(), 32767);
    QCOMPARE(entries.first(), QString("4130000000"));
    QCOMPARE(entries.last(), QString::number(4130000000LL + 32766));
}

void TestNumberList::randomBytesDoNotBreakLoading()
{
    QTemporaryDir dir;
    QByteArray bytes(20 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(12345);
    rng.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    const QString path = writeFile(dir, "random.bin", bytes);
    const QStringList entries = readNumberFile(path);
    // Whatever the line rules give: one entry per break, give or take the end.
    const qsizetype breaks = bytes.count('\n') + bytes.count('\r') - bytes.count("\r\n");
    QVERIFY(entries.size() >= breaks);
    QVERIFY(entries.size() <= breaks + 1);
    QVERIFY(entries.join(QString()).contains(QChar(0)));
}

void TestNumberList::unreadableFileFails()
{
    QTemporaryDir dir;
    QVERIFY_THROWS_EXCEPTION(Failure, readNumberFile(dir.path()));
    QVERIFY_THROWS_EXCEPTION(Failure, readNumberFile(dir.filePath("missing.txt")));
    const QString file = writeFile(dir, "plain.txt", "1\r\n");
    // A path that runs through a file cannot be opened, root or not.
    QVERIFY_THROWS_EXCEPTION(Failure, readNumberFile(file + "/below.txt"));
}

void TestNumberList::modelShowsTheEntries()
{
    NumberListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.append({"4135923823", "", " 334 "});
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(2).data().toString(), QString(" 334 "));
    QCOMPARE(model.index(1).data().toString(), QString());
    QVERIFY(!model.index(0).data(Qt::CheckStateRole).isValid());
    QVERIFY(!model.index(3).isValid());
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Phone Numbers"));
    // Shown and selected, never edited in place, no check box, no children.
    QCOMPARE(model.flags(model.index(0)),
             Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren);
    QCOMPARE(model.rowCount(model.index(0)), 0);
}

void TestNumberList::modelTellsItsViews_data()
{
    using Change = std::function<void(NumberListModel&)>;
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("told");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("append") << Change([](NumberListModel& m) {
        m.append({"f", "g"});
    }) << QStringList{"inserted 5-6"}
                            << QStringList{"a", "b", "c", "d", "e", "f", "g"};
    QTest::newRow("append nothing") << Change([](NumberListModel& m) { m.append({}); })
                                    << QStringList{} << QStringList{"a", "b", "c", "d", "e"};
    QTest::newRow("remove one") << Change([](NumberListModel& m) { m.removeAt(1); })
                                << QStringList{"removed 1-1"} << QStringList{"a", "c", "d", "e"};
    QTest::newRow("remove outside") << Change([](NumberListModel& m) {
        m.removeAt(5);
        m.removeAt(-1);
    }) << QStringList{} << QStringList{"a", "b", "c", "d", "e"};
    // Neighbours go together, from the back, so each position names its entry.
    QTest::newRow("remove several") << Change([](NumberListModel& m) {
        m.removeAll({4, 0, 1, 3});
    }) << QStringList{"removed 3-4", "removed 0-1"}
                                    << QStringList{"c"};
    QTest::newRow("remove repeated and outside") << Change([](NumberListModel& m) {
        m.removeAll({2, 2, 9, -1});
    }) << QStringList{"removed 2-2"} << QStringList{"a", "b", "d", "e"};
    QTest::newRow("remove none") << Change([](NumberListModel& m) { m.removeAll({}); })
                                 << QStringList{} << QStringList{"a", "b", "c", "d", "e"};
    QTest::newRow("clear") << Change([](NumberListModel& m) { m.clear(); }) << QStringList{"reset"}
                           << QStringList{};
    QTest::newRow("clear twice") << Change([](NumberListModel& m) {
        m.clear();
        m.clear();
    }) << QStringList{"reset"} << QStringList{};
}

void TestNumberList::modelTellsItsViews()
{
    using Change = std::function<void(NumberListModel&)>;
    QFETCH(Change, change);
    QFETCH(QStringList, told);
    QFETCH(QStringList, entries);
    NumberListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.append({"a", "b", "c", "d", "e"});
    ModelSignals views(&model);
    change(model);
    QCOMPARE(views.take(), told);
    QCOMPARE(model.entries(), entries);
    QCOMPARE(model.count(), entries.size());
    QCOMPARE(model.at(0), entries.value(0));
}

QTEST_MAIN(TestNumberList)
#include "tst_numberlist.moc"
