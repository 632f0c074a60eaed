// The number list's clean-ups that ask the phone-number library, in the real
// window: which entries go, what the user is asked and told, and when the
// list is left alone.
#include "desktop/desktopdialogs.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/mainwindow.h"
#include "windows/numberlistview.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const QString kRemoveInvalid = QStringLiteral("Remove Numbers That Cannot Be Valid");
const QString kRemoveDuplicates = QStringLiteral("Remove Duplicate Numbers");

QStringList entries(MainWindow& w)
{
    return w.numberList().entries();
}

NumberListView& listView(MainWindow& w)
{
    auto* view = w.findChild<NumberListView*>();
    if (!view)
        qFatal("the window has no number list view");
    return *view;
}

// A list longer than one slice of the check, so the check goes on from the
// event loop: every third entry cannot be valid.
QStringList longList(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << (i % 3 == 2 ? QStringLiteral("55%1").arg(i) : QStringLiteral("413-592-3823"));
    return list;
}

} // namespace

class TestInvalidNumbers : public QObject
{
    Q_OBJECT
private slots:
    void askedThenRemoved();
    void numbersOfTheRegionGiven();
    void refusedWhileBusy();
    void longListDoesNotHoldTheWindow();
    void duplicatesAcrossSpellings();
    void jsonLinesTellsWhichLookupsWereImpossible();
    void desktopQuestionBox_data();
    void desktopQuestionBox();
};

void TestInvalidNumbers::askedThenRemoved()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    const QStringList typed{"413-592-3823",     "",           "111", "n/a", "1-800-FLOWERS",
                            "+44 20 7946 0958", "12/31/2024", "   "};
    w.numberList().append(typed);

    // No: the list stays and nothing is told.
    QCOMPARE(chooseFromContextMenu(c.numberList, kRemoveInvalid),
             (QStringList{"Paste Numbers", kRemoveDuplicates, kRemoveInvalid,
                          "Remove Numbers Already Looked Up", "Use Earlier Answers..."}));
    QCOMPARE(f.dialogs.questions.size(), 1);
    QCOMPARE(f.dialogs.questions[0].text,
             QString("Remove 3 numbers that cannot be valid phone numbers? They would still be "
                     "charged for."));
    QCOMPARE(f.dialogs.questions[0].details, QString("111\n1-800-FLOWERS\n12/31/2024"));
    QCOMPARE(f.dialogs.questions[0].title, QString("Quillmore"));
    QCOMPARE(entries(w), typed);
    QVERIFY(f.dialogs.messages.isEmpty());

    // Yes: they go; blank entries and notes stay where they were.
    f.dialogs.yesNoAnswers << true;
    chooseFromContextMenu(c.numberList, kRemoveInvalid);
    const QStringList kept{"413-592-3823", "", "n/a", "+44 20 7946 0958", "   "};
    QCOMPARE(entries(w), kept);
    QCOMPARE(shownRows(c.numberList), kept);
    QCOMPARE(f.dialogs.messageTexts(), QStringList{"3 numbers that cannot be valid removed."});

    // Nothing left to remove: nothing asked.
    chooseFromContextMenu(c.numberList, kRemoveInvalid);
    QCOMPARE(f.dialogs.questions.size(), 2);
    QCOMPARE(f.dialogs.messageTexts().constLast(), QString("Every number can be valid."));

    f.dialogs.yesNoAnswers << true;
    w.numberList().append({"413-592-382"});
    chooseFromContextMenu(c.numberList, kRemoveInvalid);
    QCOMPARE(f.dialogs.questions.constLast().text,
             QString("Remove 1 number that cannot be a valid phone number? It would still be "
                     "charged for."));
    QCOMPARE(f.dialogs.messageTexts().constLast(),
             QString("1 number that cannot be valid removed."));
    QCOMPARE(entries(w), kept);
    QVERIFY(f.dialogs.errorReports().isEmpty());
}

void TestInvalidNumbers::numbersOfTheRegionGiven()
{
    WindowFixture f;
    f.context.numberRegion = QStringLiteral("GB");
    MainWindow w(f.context);
    w.numberList().append({"020 7946 0958", "413-592-3823", "+1 413 592 3823"});
    f.dialogs.yesNoAnswers << true;
    chooseFromContextMenu(MainControls(w).numberList, kRemoveInvalid);
    QCOMPARE(entries(w), (QStringList{"020 7946 0958", "+1 413 592 3823"}));
}

void TestInvalidNumbers::refusedWhileBusy()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    w.numberList().append({"111", "111", "413-592-3823"});
    w.setBusy(true); // as a lookup run does
    f.dialogs.yesNoAnswers << true;
    chooseFromContextMenu(c.numberList, kRemoveInvalid);
    chooseFromContextMenu(c.numberList, kRemoveDuplicates);
    QVERIFY(f.dialogs.questions.isEmpty());
    QVERIFY(f.dialogs.messages.isEmpty());
    QCOMPARE(entries(w), (QStringList{"111", "111", "413-592-3823"}));
    w.setBusy(false);

    // A run that begins while a long list is checked keeps the list as it is.
    w.numberList().clear();
    w.numberList().append(longList(5000));
    chooseFromContextMenu(c.numberList, kRemoveInvalid);
    QVERIFY(listView(w).isChecking());
    w.setBusy(true);
    QTRY_VERIFY_WITH_TIMEOUT(!listView(w).isChecking(), 30000);
    QVERIFY(f.dialogs.questions.isEmpty());
    QVERIFY(f.dialogs.messages.isEmpty());
    QCOMPARE(entries(w), longList(5000));
}

void TestInvalidNumbers::longListDoesNotHoldTheWindow()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QStringList list = longList(5000);
    w.numberList().append(list);
    f.dialogs.yesNoAnswers << true;
    chooseFromContextMenu(c.numberList, kRemoveInvalid);
    // The command has returned with the check under way; meanwhile a removal
    // waits and an addition is taken.
    QVERIFY(listView(w).isChecking());
    selectRow(c.numberList, 0);
    QTest::keyClick(c.numberList, Qt::Key_Delete);
    f.dialogs.inputAnswers << "111";
    c.addButton->click();
    QCOMPARE(entries(w).size(), 5001);
    chooseFromContextMenu(c.numberList, kRemoveInvalid); // one check at a time
    QTRY_COMPARE_WITH_TIMEOUT(f.dialogs.messages.size(), 1, 30000);

    QCOMPARE(f.dialogs.questions.size(), 1);
    QCOMPARE(f.dialogs.questions[0].text,
             QString("Remove 1666 numbers that cannot be valid phone numbers? They would still be "
                     "charged for."));
    QCOMPARE(f.dialogs.questions[0].details,
             QString("552\n555\n558\n5511\n5514\n5517\n5520\n5523\n5526\n5529\nand 1656 more"));
    QCOMPARE(f.dialogs.messageTexts(), QStringList{"1666 numbers that cannot be valid removed."});
    QStringList expected;
    for (const QString& entry : list)
        if (!entry.startsWith(QLatin1String("55")))
            expected << entry;
    // The entry added during the check was not checked, so it stays.
    QCOMPARE(entries(w), expected + QStringList{"111"});
}

void TestInvalidNumbers::duplicatesAcrossSpellings()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    w.numberList().append({"413-592-3823", "+1 (413) 592 3823", "", "14135923823", "111", "1-1-1",
                           "+44 20 7946 0958", "011 44 20 7946 0958", ""});
    chooseFromContextMenu(c.numberList, kRemoveDuplicates);
    QCOMPARE(entries(w), (QStringList{"413-592-3823", "", "111", "+44 20 7946 0958", ""}));
    QCOMPARE(f.dialogs.messageTexts(), QStringList{"4 duplicate numbers removed."});

    // The same on a list long enough to be checked from the event loop.
    w.numberList().clear();
    QStringList list;
    for (int i = 0; i < 1200; ++i)
        list << QStringLiteral("(413) 592-%1").arg(3000 + i)
             << QStringLiteral("+1413592%1").arg(3000 + i);
    w.numberList().append(list);
    chooseFromContextMenu(c.numberList, kRemoveDuplicates);
    QTRY_COMPARE_WITH_TIMEOUT(f.dialogs.messages.size(), 2, 30000);
    QCOMPARE(f.dialogs.messageTexts().constLast(), QString("1200 duplicate numbers removed."));
    QCOMPARE(entries(w).size(), 1200);
    QCOMPARE(entries(w).constFirst(), QString("(413) 592-3000"));
}

void TestInvalidNumbers::jsonLinesTellsWhichLookupsWereImpossible()
{
    WindowFixture f;
    f.keys->setKey(QStringLiteral("key"));
    f.keepResults();
    f.answerWith("4135923823", answerShownAs({"4135923823", "Mobile", "A", "US", "B", "Active"}));
    f.answerWith("111", answerShownAs({"111", "", "", "", "", "Inactive"}));
    const QString path = f.dir.filePath(QStringLiteral("results.jsonl"));
    const auto exported = [&](MainWindow& w) {
        f.dialogs.saveAnswers << path;
        chooseFromContextMenu(MainControls(w).resultsList,
                              QStringLiteral("Save Full Answers As JSON Lines..."));
        QFile file(path);
        QList<QJsonObject> lines;
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray& line : file.readAll().split('\n'))
                if (!line.isEmpty())
                    lines << QJsonDocument::fromJson(line).object();
        return lines;
    };
    const auto check = [](const QList<QJsonObject>& lines) {
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].value("number").toString(), QString("(413) 592-3823"));
        QCOMPARE(lines[0].value("e164").toString(), QString("+14135923823"));
        QCOMPARE(lines[0].value("valid"), QJsonValue(true));
        QCOMPARE(lines[1].value("e164"), QJsonValue(QJsonValue::Null));
        QCOMPARE(lines[1].value("valid"), QJsonValue(false));
    };
    {
        MainWindow w(f.context);
        w.numberList().append({"(413) 592-3823", "111"});
        MainControls(w).startButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);
        check(exported(w));
        if (QTest::currentTestFailed())
            return;
    }
    // Rows restored in a later session tell the same.
    f.keepResults();
    MainWindow w(f.context);
    chooseFromContextMenu(MainControls(w).resultsList, QStringLiteral("Restore Last Results"));
    check(exported(w));
}

void TestInvalidNumbers::desktopQuestionBox_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Enter takes the default, Yes") << int(Qt::Key_Return) << true;
    QTest::newRow("Escape is No") << int(Qt::Key_Escape) << false;
}

void TestInvalidNumbers::desktopQuestionBox()
{
    QFETCH(int, key);
    QFETCH(bool, yes);
    DesktopDialogs dialogs;
    dialogs.setApplicationTitle(QStringLiteral("Quillmore"));
    QString shownText, shownDetails, shownTitle;
    bool yesNoWithYesDefault = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        shownText = box->text();
        shownDetails = box->detailedText();
        shownTitle = box->windowTitle();
        yesNoWithYesDefault = box->standardButtons() == (QMessageBox::Yes | QMessageBox::No) &&
                              box->defaultButton() == box->button(QMessageBox::Yes);
        QTest::keyClick(box, Qt::Key(key));
    });
    QCOMPARE(dialogs.question(QStringLiteral("Remove 2 numbers?"), QStringLiteral("111\n222")),
             yes);
    QCOMPARE(shownText, QString("Remove 2 numbers?"));
    QCOMPARE(shownDetails, QString("111\n222"));
    QCOMPARE(shownTitle, QString("Quillmore"));
    QVERIFY(yesNoWithYesDefault);
}

QTEST_MAIN(TestInvalidNumbers)
#include "tst_invalidnumbers.moc"
