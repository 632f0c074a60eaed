#include "shell/counttext.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "support/scripteddialogs.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quillmore;

Q_DECLARE_METATYPE(quillmore::Step)
using quillmore::test::ScriptedDialogs;

class TestShell : public QObject
{
    Q_OBJECT
private slots:
    void errorMessageText_data();
    void errorMessageText();
    void guardedProcedureReportsAndCarriesOn();
    void guardedProcedureLoopKeepsItsLine();
    void reportFailureNamesEachStepsLine_data();
    void reportFailureNamesEachStepsLine();
    void appTitle_data();
    void appTitle();
    void fileHelpers();
    void everyCountedMessageHasBothForms();
};

void TestShell::errorMessageText_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("overflow") << "Overflow" << procedurePath("Form1", "Form_Load") << 104
                              << "Overflow\r\nin Vantrel2021/08/31.Form1.Form_Load at line "
                                 "104\r\rPlease email screenshot of this message to x@y.z";
    QTest::newRow("empty description")
        << "" << procedurePath("CurlFunctions", "ReadCurl") << 100
        << "\r\nin Vantrel2021/08/31.CurlFunctions.ReadCurl at line 100\r\rPlease email "
           "screenshot of this message to x@y.z";
}

void TestShell::errorMessageText()
{
    QFETCH(QString, description);
    QFETCH(QString, path);
    QFETCH(int, line);
    QFETCH(QString, expected);
    QCOMPARE(quillmore::errorMessageText(description, path, line, "x@y.z"), expected);
    // Exactly one space between the procedure and "at line ".
    QVERIFY(!expected.contains("  at line"));
}

void TestShell::guardedProcedureReportsAndCarriesOn()
{
    ScriptedDialogs dialogs;
    QStringList ran;
    GuardedProcedure proc(dialogs, procedurePath("Form1", "PushButton3_Click"));
    QVERIFY(proc.step([&] { ran << "a"; }));
    QVERIFY(!proc.step([&] { throw Failure("File not found"); }));
    QVERIFY(proc.step([&] { ran << "c"; }));
    QVERIFY(!proc.step([&] { throw std::runtime_error("Disk full"); }));
    QCOMPARE(proc.value([]() -> int { throw Failure("Overflow"); }, -1), -1);
    QCOMPARE(ran, QStringList({"a", "c"}));
    QCOMPARE(dialogs.messages.size(), 3);
    for (const auto& m : dialogs.messages) {
        QCOMPARE(m.title, QString("Application Error"));
        QCOMPARE(m.icon, Dialogs::Icon::Warning);
    }
    QVERIFY(dialogs.messages[0].text.startsWith(
        "File not found\r\nin Vantrel2021/08/31.Form1.PushButton3_Click at line 102\r\r"));
    QVERIFY(dialogs.messages[1].text.startsWith("Disk full\r\n"));
    QVERIFY(dialogs.messages[1].text.contains("at line 106\r\r"));
    QVERIFY(dialogs.messages[2].text.contains("at line 108\r\r"));
    QVERIFY(dialogs.messages[2].text.endsWith("Please email screenshot of this message to " +
                                              supportEmail()));
}

void TestShell::guardedProcedureLoopKeepsItsLine()
{
    ScriptedDialogs dialogs;
    GuardedProcedure proc(dialogs, "in X ");
    enum class Statement { First, Second, InLoop, After };
    proc.step([] {});
    for (int i = 0; i < 3; ++i)
        proc.step(Statement::InLoop, [&] {
            if (i != 1)
                throw Failure(QString::number(i));
        });
    proc.step([] { throw Failure("after"); });
    QCOMPARE(dialogs.messageTexts().size(), 3);
    QVERIFY(dialogs.messages[0].text.startsWith("0\r\nin X at line 104\r"));
    QVERIFY(dialogs.messages[1].text.startsWith("2\r\nin X at line 104\r"));
    QVERIFY(dialogs.messages[2].text.startsWith("after\r\nin X at line 106\r"));
}

void TestShell::reportFailureNamesEachStepsLine_data()
{
    QTest::addColumn<Step>("step");
    QTest::addColumn<QString>("reported");
    // The lines are those the statements always had (100 + 2 per statement):
    // users quote them to support, so they never move.
    const QString run = "in Vantrel2021/08/31.Form1.PushButton17_Click at line ";
    const QString readCurl = "in Vantrel2021/08/31.CurlFunctions.ReadCurl at line ";
    QTest::newRow("staging") << Step::RunStaging << run + "108";
    QTest::newRow("progress") << Step::RunProgress << run + "114";
    QTest::newRow("console") << Step::RunConsole << run + "124";
    QTest::newRow("row") << Step::RunRow << run + "136";
    QTest::newRow("pause") << Step::RunPause << run + "140";
    // Steps inside the shared helpers name the helper, whoever started the job.
    QTest::newRow("tool start") << Step::RequestStart << readCurl + "106";
    QTest::newRow("answer read") << Step::RequestRead << readCurl + "112";
    QTest::newRow("value read") << Step::ValueRead
                                << "in Vantrel2021/08/31.CurlFunctions.GetJSValue at line 100";
    // The key test's own step goes under the handler given (here the run's).
    QTest::newRow("key test staging") << Step::KeyTestStaging << run + "102";
}

void TestShell::reportFailureNamesEachStepsLine()
{
    QFETCH(Step, step);
    QFETCH(QString, reported);
    ScriptedDialogs dialogs;
    reportFailure(dialogs, procedurePath("Form1", "PushButton17_Click"), step,
                  Failure("Path not found"));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, "Path not found\r\n" + reported +
                                           "\r\rPlease email screenshot of this message to " +
                                           supportEmail());
    QCOMPARE(dialogs.messages[0].title, QString("Application Error"));
    QCOMPARE(dialogs.messages[0].icon, Dialogs::Icon::Warning);
}

void TestShell::appTitle_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("one word stays") << "Quillmore"
                                    << "Quillmore";
    QTest::newRow("short name loses last word") << "Quill More Tool"
                                                << "Quill More";
    QTest::newRow("thirty characters, three words") << "Abcdefghij Klmnopqrst Uvwxyzabc"
                                                    << "Abcdefghij Klmnopqrst";
    QTest::newRow("cut until it fits")
        << "Aaaaaaaaaaaaaaaaaaaa Bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb Cccc Dddd"
        << "Aaaaaaaaaaaaaaaaaaaa";
    QTest::newRow("first cut is 40") << QString(40, 'a') + " tail" << QString(40, 'a');
    QTest::newRow("no space left to cut") << QString(45, 'b') + " c" << QString(45, 'b');
}

void TestShell::appTitle()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QCOMPARE(deriveAppTitle(name), title);
}

void TestShell::fileHelpers()
{
    QCOMPARE(fileNamePart("C:\\Temp\\results.txt"), QString("results.txt"));
    QCOMPARE(fileNamePart("/home/u/results.txt"), QString("results.txt"));
    QCOMPARE(fileNamePart("results.txt"), QString("results.txt"));
    QCOMPARE(fileNamePart("C:\\Temp\\"), QString());
    QTemporaryDir dir;
    QVERIFY(fileExists(dir.path()));
    QVERIFY(!fileExists(dir.filePath("missing")));
    QVERIFY(!fileExists(QString()));
}

// A counted message whose forms are missing from the built-in table would
// reach the user as "3 number(s) removed.".
void TestShell::everyCountedMessageHasBothForms()
{
    QFile table(QStringLiteral(QUILLMORE_PLURALS_TS));
    QVERIFY(table.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(table.readAll());
    static const QRegularExpression source(QStringLiteral("<source>([^<]*)</source>"));
    qsizetype messages = 0;
    for (const QRegularExpressionMatch& match : source.globalMatch(text)) {
        const QByteArray message = match.captured(1).toUtf8();
        const QString one = countText(message.constData(), 1);
        const QString many = countText(message.constData(), 1234);
        QVERIFY2(!one.contains(QStringLiteral("(s)")) && one.contains(QStringLiteral("1 ")),
                 qPrintable(one));
        QVERIFY2(!many.contains(QStringLiteral("(s)")) && many.contains(QStringLiteral("1234 ")),
                 qPrintable(many));
        QVERIFY(one != QString(many).replace(QStringLiteral("1234"), QStringLiteral("1")));
        ++messages;
    }
    QVERIFY(messages >= 6);
    QCOMPARE(countText("%n duplicate number(s) removed.", 0),
             QStringLiteral("0 duplicate numbers removed."));
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
