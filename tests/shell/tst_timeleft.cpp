#include "shell/timeleft.h"

#include <QTest>

using namespace quillmore;

class TimeLeftTest : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
};

void TimeLeftTest::texts_data()
{
    QTest::addColumn<int>("finished");
    QTest::addColumn<int>("total");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing finished yet: no estimate")
        << 0 << 10 << qint64(4000) << "Number 1 of 10";
    // 5 s a number, 9 to go: 45 s.
    QTest::newRow("under a minute")
        << 1 << 10 << qint64(5000) << "Number 2 of 10, less than a minute left";
    // 5 s a number, 12 to go: exactly 60 s.
    QTest::newRow("exactly a minute")
        << 1 << 13 << qint64(5000) << "Number 2 of 13, about 1 min left";
    // 4.5 s a number, 20 to go: 90 s, half a minute rounds up.
    QTest::newRow("half a minute rounds up")
        << 10 << 30 << qint64(45000) << "Number 11 of 30, about 2 min left";
    // 4.5 s a number, 19 to go: 85.5 s.
    QTest::newRow("rounds to nearest")
        << 10 << 29 << qint64(45000) << "Number 11 of 29, about 1 min left";
    // 4.5 s a number, 32,766 to go.
    QTest::newRow("largest list") << 1 << 32767 << qint64(4500)
                                  << "Number 2 of 32767, about 2457 min left";
    QTest::newRow("all finished") << 3 << 3 << qint64(15000)
                                  << "Number 3 of 3, less than a minute left";
    QTest::newRow("no numbers") << 0 << 0 << qint64(0) << "";
}

void TimeLeftTest::texts()
{
    QFETCH(int, finished);
    QFETCH(int, total);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, text);
    QCOMPARE(timeLeftText(finished, total, elapsedMs), text);
}

QTEST_GUILESS_MAIN(TimeLeftTest)
#include "tst_timeleft.moc"
