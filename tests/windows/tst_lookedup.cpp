// The number list's "Remove Numbers Already Looked Up": what goes, what it
// says, and that it waits while a run reads the list.
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/mainwindow.h"

#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const QString kCommand = QStringLiteral("Remove Numbers Already Looked Up");

void typeNumbers(WindowFixture& f, MainControls& c, const QString& typed)
{
    f.dialogs.inputAnswers << typed;
    c.addButton->click();
}

} // namespace

class TestLookedUp : public QObject
{
    Q_OBJECT

private slots:
    void removesNumbersWithARow()
    {
        WindowFixture f;
        f.keys->setKey(QStringLiteral("key"));
        f.answerWith("4135923823",
                     answerShownAs({"4135923823", "Mobile", "A", "US", "B", "Active"}));
        // The service spells this one differently from the list.
        f.answerWith("3342228605",
                     answerShownAs({"+1 334 222 8605", "Mobile", "C", "US", "D", "Active"}));
        MainWindow w(f.context);
        MainControls c(w);

        // Nothing looked up yet: nothing goes, and it says so.
        typeNumbers(f, c, "4135923823");
        QCOMPARE(chooseFromContextMenu(c.numberList, kCommand),
                 (QStringList{"Paste Numbers", "Remove Duplicate Numbers",
                              "Remove Numbers That Cannot Be Valid", kCommand,
                              "Use Earlier Answers..."}));
        QCOMPARE(shownRows(c.numberList), QStringList{"4135923823"});

        typeNumbers(f, c, "334.222.8605,6033802932");
        c.startButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);
        QCOMPARE(rowCount(c.resultsList), 3);
        f.dialogs.messages.clear();

        // Every spelling of a number with a row goes, the row that says
        // "Could not connect" (6033802932) included; an entry without digits
        // and a number never looked up stay.
        typeNumbers(f, c, "(413) 592-3823,n/a,7605467993,3342228605");
        chooseFromContextMenu(c.numberList, kCommand);
        QCOMPARE(shownRows(c.numberList), (QStringList{"n/a", "7605467993"}));
        chooseFromContextMenu(c.numberList, kCommand);
        typeNumbers(f, c, "413 592 3823");
        chooseFromContextMenu(c.numberList, kCommand);
        QCOMPARE(f.dialogs.messageTexts(), (QStringList{"5 numbers already looked up removed.",
                                                        "0 numbers already looked up removed.",
                                                        "1 number already looked up removed."}));
    }

    void noRowsYetSaysSo()
    {
        WindowFixture f;
        MainWindow w(f.context);
        MainControls c(w);
        typeNumbers(f, c, "4135923823");
        chooseFromContextMenu(c.numberList, kCommand);
        QCOMPARE(shownRows(c.numberList), QStringList{"4135923823"});
        QCOMPARE(f.dialogs.messageTexts(), QStringList{"No number has been looked up yet."});
    }

    void waitsWhileARunReadsTheList()
    {
        WindowFixture f;
        f.keys->setKey(QStringLiteral("key"));
        f.answerWith("4135923823",
                     answerShownAs({"4135923823", "Mobile", "A", "US", "B", "Active"}));
        MainWindow w(f.context);
        MainControls c(w);
        typeNumbers(f, c, "4135923823,4135923823");
        bool wasBusy = false;
        f.onPause = [&] {
            if (f.pauses.size() == 1) {
                wasBusy = w.isBusy();
                chooseFromContextMenu(c.numberList, kCommand);
            }
        };
        c.startButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isBusy(), 30000);
        QVERIFY(wasBusy);
        QCOMPARE(shownRows(c.numberList), (QStringList{"4135923823", "4135923823"}));
        QCOMPARE(f.dialogs.messageTexts(), QStringList{"Done."});
    }
};

QTEST_MAIN(TestLookedUp)
#include "tst_lookedup.moc"
