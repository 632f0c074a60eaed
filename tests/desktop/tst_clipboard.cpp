#include "desktop/clipboard.h"
#include "desktop/exportactions.h"
#include "support/exportfakes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

namespace {

ReportTable::Row row(const QStringList& cells, bool ticked = true)
{
    return ReportTable::Row{cells, ticked};
}

const QString kCopied =
    QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area where you "
                   "normally type and press Ctrl+V to paste the clipboard.");

} // namespace

class ClipboardTest : public QObject
{
    Q_OBJECT

private slots:
    void clipboardText_data();
    void clipboardText();
    void emptyListLeavesClipboardAlone();
    void noTickedRowSetsEmptyText();
    void messageFollowsReportedFailure();
    void consoleCopyIsVerbatim();
    void systemClipboardGetsPlainText();
};

void ClipboardTest::clipboardText_data()
{
    QTest::addColumn<ReportTable>("table");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ticked row only, widths from all rows, captions ignored")
        << ReportTable{{"Phone Number", "Type"},
                       {row({"555-0100", "Mobile"}), row({"555-0199999", "Landline"}, false)}}
        << QStringLiteral("555-0100   \tMobile\r\n");
    QTest::newRow("single column loses its padding")
        << ReportTable{{"A"}, {row({"ab"}), row({"abcdef"})}} << QStringLiteral("ab\r\nabcdef\r\n");
    QTest::newRow("empty last cell ends the line at the previous TAB")
        << ReportTable{{"A", "B", "C"}, {row({"1", "x", ""}), row({"22", "yyy", "zz"}, false)}}
        << QStringLiteral("1 \tx  \t\r\n");
    QTest::newRow("last cell's own trailing spaces go, earlier spaces stay")
        << ReportTable{{"A", "B"}, {row({"a  ", "b  "}), row({"a", " c d  "})}}
        << QStringLiteral("a  \tb\r\na  \t c d\r\n");
    QTest::newRow("widest cell gets no spaces; TAB inside a cell kept")
        << ReportTable{{"A", "B"}, {row({"wide", "1"}), row({"w", "a\tb"})}}
        << QStringLiteral("wide\t1\r\nw   \ta\tb\r\n");
    QTest::newRow("no ticked row gives the empty text")
        << ReportTable{{"A"}, {row({"x"}, false)}} << QString();
}

void ClipboardTest::clipboardText()
{
    QFETCH(ReportTable, table);
    QFETCH(QString, expected);
    QCOMPARE(copyListviewProperlySpacedText(table), expected);
}

void ClipboardTest::emptyListLeavesClipboardAlone()
{
    FakeExportView view;
    view.table.headers = QStringList{"Phone Number", "Type"};
    RecordingClipboard clipboard;
    clipboard.held = QStringLiteral("earlier");
    copyResultsToClipboard(view, clipboard, kCopyResultsProcedure);
    QVERIFY(clipboard.log.isEmpty());
    QCOMPARE(clipboard.held, QStringLiteral("earlier"));
    QCOMPARE(view.scriptedDialogs.messages.size(), 1);
    QCOMPARE(view.scriptedDialogs.messages.first().text, kCopied);
    QCOMPARE(view.scriptedDialogs.messages.first().title, QStringLiteral("Quillmore"));
    QCOMPARE(view.scriptedDialogs.messages.first().icon, Dialogs::Icon::None);
}

void ClipboardTest::noTickedRowSetsEmptyText()
{
    FakeExportView view;
    view.table = ReportTable{{"A", "B"}, {row({"1", "2"}, false)}};
    RecordingClipboard clipboard;
    clipboard.held = QStringLiteral("earlier");
    clipboard.holdsText = true;
    copyResultsToClipboard(view, clipboard, kCopyResultsProcedure);
    QCOMPARE(clipboard.log, (QStringList{"set "}));
    QVERIFY(clipboard.holdsText);
    QCOMPARE(clipboard.held, QString());
    QCOMPARE(view.scriptedDialogs.messages.size(), 1);
    QCOMPARE(view.scriptedDialogs.messages.first().text, kCopied);
}

void ClipboardTest::messageFollowsReportedFailure()
{
    FakeExportView view;
    view.tableFails = true;
    RecordingClipboard clipboard;
    copyResultsToClipboard(view, clipboard, kCopyResultsProcedure);
    const auto& shown = view.scriptedDialogs.messages;
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown.at(0).text.startsWith(QStringLiteral(
        "The list cannot be read\r\nin Vantrel2021/08/31.Form1.PushButton7_Click at line 100\r")));
    QCOMPARE(shown.at(0).title, QStringLiteral("Application Error"));
    QCOMPARE(shown.at(1).text, kCopied);
    QVERIFY(clipboard.log.isEmpty());
}

void ClipboardTest::consoleCopyIsVerbatim()
{
    FakeExportView view;
    view.console = QStringLiteral("{\"a\": 1}\r\nCould not connect\r\n  \r\n");
    RecordingClipboard clipboard;
    copyConsoleToClipboard(view, clipboard, kCopyConsoleProcedure);
    QCOMPARE(clipboard.log, (QStringList{"set " + view.console}));
    QCOMPARE(clipboard.held, view.console);

    view.console.clear();
    copyConsoleToClipboard(view, clipboard, kCopyConsoleProcedure);
    QVERIFY(clipboard.holdsText);
    QCOMPARE(clipboard.held, QString());
    QVERIFY(view.scriptedDialogs.messages.isEmpty());
}

void ClipboardTest::systemClipboardGetsPlainText()
{
    SystemClipboard clipboard;
    FakeExportView view;
    view.table = ReportTable{{"Phone", "Name"},
                             {row({"555-0100", QString::fromUtf8("Zoë")}), row({"5", "x"}, false)}};
    copyResultsToClipboard(view, clipboard, kCopyResultsProcedure);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QVERIFY(data->hasText());
    QVERIFY(!data->hasHtml());
    QCOMPARE(data->text(), QString::fromUtf8("555-0100\tZoë\r\n"));

    view.console = QStringLiteral("line one\r\nline two\r\n");
    copyConsoleToClipboard(view, clipboard, kCopyConsoleProcedure);
    QCOMPARE(QGuiApplication::clipboard()->text(), view.console);
    view.console.clear();
    copyConsoleToClipboard(view, clipboard, kCopyConsoleProcedure);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
}

QTEST_MAIN(ClipboardTest)
#include "tst_clipboard.moc"
