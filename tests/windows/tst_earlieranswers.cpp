// The number list's "Use Earlier Answers...": which numbers an earlier
// answer covers, how they move into the results list, what is told, and
// what the JSON Lines file says of the rows it moved.
#include "history/desktopsession.h"
#include "history/historystore.h"
#include "numbers/phonenumbers.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const QString kCommand = QStringLiteral("Use Earlier Answers...");
const QStringList kTyped{"(413) 592-3823", "334.222.8605", "6033802932",
                         "7605467993",     "12345",        "n/a"};

// One earlier start that got this row for `number` at `when`.
void keptEarlier(HistoryStore& store, const QString& number, const QStringList& cells,
                 const QString& answer, const QDateTime& when)
{
    const PhoneNumbers numbers(QStringLiteral("US"));
    DesktopSession earlier(&store, store.startSession(kCliProgram, {}, when), numbers);
    earlier.rowArrived(1, ResultRecord(number, cells, answer), when);
}

QStringList entries(MainWindow& w)
{
    return w.numberList().entries();
}

} // namespace

class TestEarlierAnswers : public QObject
{
    Q_OBJECT
private slots:
    void movesAnsweredNumbers_data();
    void movesAnsweredNumbers();
    void refusedWhileBusy();
};

void TestEarlierAnswers::movesAnsweredNumbers_data()
{
    QTest::addColumn<QString>("days");
    QTest::addColumn<QStringList>("told");
    QTest::addColumn<QStringList>("moved");
    // "+1 413 592 3823" was answered 10 days ago, "1-2345" (no E.164 form)
    // 5 days ago, "603 380 2932" 40 days ago; "334.222.8605" could not
    // connect and "760-546-7993" met a service error yesterday.
    QTest::newRow("30 days")
        << "30" << QStringList{"2 numbers answered from earlier lookups; 4 left to look up."}
        << QStringList{"(413) 592-3823", "12345"};
    QTest::newRow("45 days")
        << " 45 " << QStringList{"3 numbers answered from earlier lookups; 3 left to look up."}
        << QStringList{"(413) 592-3823", "6033802932", "12345"};
    QTest::newRow("6 days") << "6"
                            << QStringList{"1 number answered from earlier lookups; 5 left to "
                                           "look up."}
                            << QStringList{"12345"};
    QTest::newRow("none that young")
        << "3" << QStringList{"0 numbers answered from earlier lookups; 6 left to look up."}
        << QStringList{};
    QTest::newRow("cancelled") << "" << QStringList{} << QStringList{};
    QTest::newRow("no number") << "a month"
                               << QStringList{"Please enter a whole number of days, 1 or more."}
                               << QStringList{};
    QTest::newRow("zero") << "0" << QStringList{"Please enter a whole number of days, 1 or more."}
                          << QStringList{};
}

void TestEarlierAnswers::movesAnsweredNumbers()
{
    QFETCH(QString, days);
    QFETCH(QStringList, told);
    QFETCH(QStringList, moved);
    WindowFixture f;
    HistoryStore& store = f.keepResults();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime tenDaysAgo = now.addDays(-10);
    const QDateTime fiveDaysAgo = now.addDays(-5);
    const QStringList margaret{"4135923823", "Mobile", "Margaret", "MA", "Verizon", "Active"};
    const QStringList short5{"12345", "Landline", "Ann", "", "", "Inactive"};
    const QStringList old{"6033802932", "Mobile", "Bo", "NH", "AT&T", "Active"};
    keptEarlier(store, "+1 413 592 3823", margaret, R"({"phone_number":"4135923823"})", tenDaysAgo);
    keptEarlier(store, "1-2345", short5, R"({"phone_number":"12345"})", fiveDaysAgo);
    keptEarlier(store, "603 380 2932", old, R"({"phone_number":"6033802932"})", now.addDays(-40));
    keptEarlier(store, "334.222.8605", {"334.222.8605", "", "", "", "", "Could not connect"},
                "Could not connect", now.addDays(-1));
    keptEarlier(store, "760-546-7993", {"760-546-7993", "", "", "", "", "Service error (HTTP 503)"},
                "<html>", now.addDays(-1));
    f.keepResults();

    MainWindow w(f.context);
    MainControls c(w);
    w.numberList().append(kTyped);
    f.dialogs.inputAnswers << days;
    QCOMPARE(chooseFromContextMenu(c.numberList, kCommand).constLast(), kCommand);
    QTRY_COMPARE(f.dialogs.messageTexts(), told);
    QCOMPARE(f.dialogs.prompts.size(), 1);
    QCOMPARE(f.dialogs.prompts[0].text, QString("Use answers received within how many days?"));
    QCOMPARE(f.dialogs.promptDefaults, QStringList{"30"});

    QStringList left = kTyped;
    for (const QString& number : moved)
        left.removeOne(number);
    QCOMPARE(entries(w), left);
    const QHash<QString, QStringList> cellsOf{
        {"(413) 592-3823", margaret}, {"12345", short5}, {"6033802932", old}};
    QList<QStringList> rows;
    for (const QString& number : moved)
        rows << cellsOf[number];
    QCOMPARE(allRows(c.resultsList), rows);
    QVERIFY(f.dialogs.errorReports().isEmpty());
    if (moved.isEmpty())
        return;

    // Each row says when its answer came, and stands for the number as the
    // list held it.
    const QString path = f.dir.filePath(QStringLiteral("reused.jsonl"));
    f.dialogs.saveAnswers << path;
    chooseFromContextMenu(c.resultsList, QStringLiteral("Save Full Answers As JSON Lines..."));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), moved.size());
    const QHash<QString, QDateTime> receivedOf{
        {"(413) 592-3823", tenDaysAgo}, {"12345", fiveDaysAgo}, {"6033802932", now.addDays(-40)}};
    for (qsizetype n = 0; n < moved.size(); ++n) {
        const QJsonObject line = QJsonDocument::fromJson(lines[n]).object();
        QCOMPARE(line.value("number").toString(), moved[n]);
        QCOMPARE(line.value("reused_from").toString(), receivedOf[moved[n]].toString(Qt::ISODate));
        QVERIFY(line.value("reused_from").toString().endsWith('Z'));
    }

    // The moved rows belong to this session's list: the next start restores them.
    f.keepResults();
    MainWindow next(f.context);
    chooseFromContextMenu(MainControls(next).resultsList, QStringLiteral("Restore Last Results"));
    QCOMPARE(allRows(MainControls(next).resultsList), rows);
}

void TestEarlierAnswers::refusedWhileBusy()
{
    WindowFixture f;
    f.keys->setKey(QStringLiteral("key"));
    HistoryStore& store = f.keepResults();
    const QStringList answered{"4135923823", "Mobile", "Margaret", "MA", "Verizon", "Active"};
    keptEarlier(store, "4135923823", answered, "{}", QDateTime::currentDateTimeUtc().addDays(-1));
    f.keepResults();
    f.answerWith("3342228605", answerShownAs({"3342228605", "Mobile", "A", "US", "B", "Active"}));
    MainWindow w(f.context);
    MainControls c(w);
    w.numberList().append({"3342228605", "6033802932", "(413) 592-3823"});
    bool wasBusy = false;
    f.onPause = [&] {
        if (f.pauses.size() == 1) {
            wasBusy = w.isBusy();
            f.dialogs.inputAnswers << "30";
            chooseFromContextMenu(c.numberList, kCommand);
        }
    };
    c.startButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);
    QVERIFY(wasBusy);
    QVERIFY(f.dialogs.prompts.isEmpty());
    QCOMPARE(entries(w), (QStringList{"3342228605", "6033802932", "(413) 592-3823"}));
    // The run looked every number up; no row came from the history.
    QCOMPARE(rowCount(c.resultsList), 3);
    QCOMPARE(f.dialogs.messageTexts(), QStringList{"Done."});

    // Once idle, the command does its work, with the days scripted during
    // the run, which no box asked for.
    chooseFromContextMenu(c.numberList, kCommand);
    QTRY_COMPARE(f.dialogs.messages.size(), 2);
    QCOMPARE(f.dialogs.messageTexts().constLast(),
             QString("2 numbers answered from earlier lookups; 1 left to look up."));
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    TestEarlierAnswers test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_earlieranswers.moc"
