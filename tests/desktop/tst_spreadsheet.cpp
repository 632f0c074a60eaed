#include "desktop/exportactions.h"
#include "desktop/spreadsheet.h"
#include "shell/leftovers.h"
#include "support/exportfakes.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

namespace {

ReportTable::Row row(const QStringList& cells, bool ticked = true)
{
    return ReportTable::Row{cells, ticked};
}

// Reads a workbook's first sheet back: every cell with its type and text
// (control characters decoded as spreadsheet applications do), the used
// range and the column widths.
const char* const kReadBack = R"PY(
import json, re, sys, zipfile
import xml.etree.ElementTree as ET
M = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'
def text(node):
    raw = ''.join(t.text or '' for t in node.iter(M + 't'))
    return re.sub(r'_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), raw)
book = zipfile.ZipFile(sys.argv[1])
shared = []
if 'xl/sharedStrings.xml' in book.namelist():
    shared = [text(si) for si in ET.fromstring(book.read('xl/sharedStrings.xml')).iter(M + 'si')]
sheet = ET.fromstring(book.read('xl/worksheets/sheet1.xml'))
cells = {}
for c in sheet.iter(M + 'c'):
    kind, value = c.get('t', 'n'), c.find(M + 'v')
    if kind == 's':
        cells[c.get('r')] = ['text', shared[int(value.text)]]
    elif kind == 'inlineStr':
        cells[c.get('r')] = ['text', text(c)]
    else:
        cells[c.get('r')] = [kind, value.text if value is not None else None]
cols = {}
for col in sheet.iter(M + 'col'):
    for i in range(int(col.get('min')), int(col.get('max')) + 1):
        cols[str(i)] = float(col.get('width'))
print(json.dumps({'dimension': sheet.find(M + 'dimension').get('ref'), 'cells': cells,
                  'cols': cols}))
)PY";

QJsonObject readWorkbook(const QString& path)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kReadBack), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

// The cells as "A1=text", sorted by reference; non-text cells show their type.
QStringList cellList(const QJsonObject& book)
{
    QStringList list;
    const QJsonObject cells = book.value(QStringLiteral("cells")).toObject();
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        const QJsonArray cell = it.value().toArray();
        const QString kind = cell.at(0).toString();
        list << it.key() +
                    (kind == QLatin1String("text") ? QStringLiteral("=") : "<" + kind + ">=") +
                    cell.at(1).toString();
    }
    list.sort();
    return list;
}

SpreadsheetFinder finds(SpreadsheetHandler::Kind kind, const QString& program = QString())
{
    return [=] { return SpreadsheetHandler{kind, program}; };
}

const QString kExcelPath = QStringLiteral("in Vantrel2021/08/31.Form1.PushButton13_Click ");

void writeScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

} // namespace

class SpreadsheetTest : public QObject
{
    Q_OBJECT

private slots:
    void workbookHoldsEveryRowAsText();
    void fullListFillsNPlusOneRows();
    void overlongValueIsLostAlone();
    void missingApplicationShowsBothMessages();
    void emptyListMakesNoWorkbook();
    void callsFollowTheListInOrder();
    void failedStartIsReportedOnce();
    void libreOfficeGetsAnUntitledCopy();
    void finderPrefersLibreOffice();
    void libreOfficeReadsTheWorkbook();
    void handedOverFolderOutlivesTheProgram();
    void failedHandOverLeavesNoFolder();
};

void SpreadsheetTest::workbookHoldsEveryRowAsText()
{
    QTemporaryDir temp;
    FakeExportView view;
    view.table = ReportTable{
        {"Phone Number", "Type", "Name", "Location", "Provider", "Status"},
        {row({"=start", "a=b=c", "=SUM(A1)", "302 Main St, Springfield", "Carrier & Co <x>",
              "Active"}),
         row({"00441234", "", QString::fromUtf8("Zoë Ångström"), ", , , , , ", "", "Inactive"},
             false),
         row({"1.5E10", "Mobile", "tab\there\nline\rcr", "===", "12345678901234567890", "TRUE"})}};
    XlsxSpreadsheetLauncher app(view.scriptedDialogs,
                                finds(SpreadsheetHandler::Kind::Desktop, "calc.desktop"),
                                temp.path());
    saveResultsAsExcelFile(view, app, kSaveSheetProcedure);

    QVERIFY(view.scriptedDialogs.messages.isEmpty());
    QCOMPARE(view.scriptedDialogs.opened.size(), 1);
    const QString file = view.scriptedDialogs.opened.first().toLocalFile();
    QVERIFY2(file.startsWith(temp.path() + "/"), qPrintable(file));
    // Private (the "user" bits only mirror the owner's), and left for the
    // application that opens it.
    QCOMPARE(QFileInfo(QFileInfo(file).path()).permissions() & ~QFile::Permissions(0x0700),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(QFile::exists(file));

    const QJsonObject book = readWorkbook(file);
    QCOMPARE(book.value("dimension").toString(), QStringLiteral("A1:F4"));
    QCOMPARE(cellList(book), (QStringList{"A1=Phone Number",
                                          "A2==start",
                                          "A3=00441234",
                                          "A4=1.5E10",
                                          "B1=Type",
                                          "B2=abc",
                                          "B4=Mobile",
                                          "C1=Name",
                                          "C2=SUM(A1)",
                                          QString::fromUtf8("C3=Zoë Ångström"),
                                          "C4=tab\there\nline\rcr",
                                          "D1=Location",
                                          "D2=302 Main St, Springfield",
                                          "D3=, , , , , ",
                                          "E1=Provider",
                                          "E2=Carrier & Co <x>",
                                          "E4=12345678901234567890",
                                          "F1=Status",
                                          "F2=Active",
                                          "F3=Inactive",
                                          "F4=TRUE"}));
    const QJsonObject cols = book.value("cols").toObject();
    QCOMPARE(cols.size(), 6);
    // Widths follow each column's longest text: 24, 8 and 6 characters.
    QVERIFY(cols.value("4").toDouble() > cols.value("6").toDouble());
    QVERIFY(cols.value("6").toDouble() > cols.value("2").toDouble());
    QVERIFY(cols.value("2").toDouble() >= 6);
}

void SpreadsheetTest::fullListFillsNPlusOneRows()
{
    QTemporaryDir temp;
    FakeExportView view;
    view.table = filledTable(300, 6);
    view.table.rows[7].ticked = false;
    XlsxSpreadsheetLauncher app(view.scriptedDialogs, finds(SpreadsheetHandler::Kind::Desktop),
                                temp.path());
    saveResultsAsExcelFile(view, app, kSaveSheetProcedure);
    QCOMPARE(view.scriptedDialogs.opened.size(), 1);
    const QJsonObject book = readWorkbook(view.scriptedDialogs.opened.first().toLocalFile());
    QCOMPARE(book.value("dimension").toString(), QStringLiteral("A1:F301"));
    const QJsonObject cells = book.value("cells").toObject();
    QCOMPARE(cells.size(), 301 * 6);
    QCOMPARE(cells.value("A1").toArray().at(1).toString(), QStringLiteral("Column 1"));
    QCOMPARE(cells.value("C9").toArray().at(1).toString(), QStringLiteral("r8c3"));
    QCOMPARE(cells.value("F301").toArray().at(1).toString(), QStringLiteral("r300c6"));
}

void SpreadsheetTest::overlongValueIsLostAlone()
{
    QTemporaryDir temp;
    FakeExportView view;
    view.table = ReportTable{{"A", "B"}, {row({"keep", QString(40000, 'x')}), row({"too", "b"})}};
    XlsxSpreadsheetLauncher app(view.scriptedDialogs, finds(SpreadsheetHandler::Kind::Desktop),
                                temp.path());
    saveResultsAsExcelFile(view, app, kSaveSheetProcedure);
    QCOMPARE(view.scriptedDialogs.errorReports(),
             QStringList{"String exceeds Excel's limit of 32,767 characters.\r\n" + kExcelPath +
                         "at line 108\r\rPlease email screenshot of this message to " +
                         supportEmail()});
    QCOMPARE(view.scriptedDialogs.opened.size(), 1);
    const QJsonObject book = readWorkbook(view.scriptedDialogs.opened.first().toLocalFile());
    QCOMPARE(cellList(book), (QStringList{"A1=A", "A2=keep", "A3=too", "B1=B", "B3=b"}));
}

void SpreadsheetTest::missingApplicationShowsBothMessages()
{
    QTemporaryDir temp;
    FakeExportView view; // an empty list: the test still comes first
    XlsxSpreadsheetLauncher app(view.scriptedDialogs, finds(SpreadsheetHandler::Kind::None),
                                temp.path());
    saveResultsAsExcelFile(view, app, kSaveSheetProcedure);
    const auto& shown = view.scriptedDialogs.messages;
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(0).text,
             QStringLiteral("Excel is not installed on this computer. You need to have it "
                            "installed to use this software without error."));
    QCOMPARE(shown.at(1).text, QStringLiteral("Excel is not installed on this computer. You need "
                                              "to have it installed to use this feature."));
    for (const auto& message : shown) {
        QCOMPARE(message.title, QStringLiteral("Quillmore"));
        QCOMPARE(message.icon, Dialogs::Icon::None);
    }
    QVERIFY(view.scriptedDialogs.opened.isEmpty());
    QVERIFY(QDir(temp.path()).isEmpty());

    RecordingSpreadsheetLauncher recording;
    recording.installed = false;
    view.table = filledTable(2, 2);
    saveResultsAsExcelFile(view, recording, kSaveSheetProcedure);
    QVERIFY(recording.calls.isEmpty());
    QCOMPARE(shown.size(), 4);
}

void SpreadsheetTest::emptyListMakesNoWorkbook()
{
    QTemporaryDir temp;
    FakeExportView view;
    view.table.headers = QStringList{"Phone Number", "Type"};
    XlsxSpreadsheetLauncher app(view.scriptedDialogs, finds(SpreadsheetHandler::Kind::Desktop),
                                temp.path());
    saveResultsAsExcelFile(view, app, kSaveSheetProcedure);
    QVERIFY(view.scriptedDialogs.messages.isEmpty());
    QVERIFY(view.scriptedDialogs.opened.isEmpty());
    QVERIFY(QDir(temp.path()).isEmpty());
    QVERIFY(view.busyChanges.isEmpty());
}

void SpreadsheetTest::callsFollowTheListInOrder()
{
    FakeExportView view;
    view.table = ReportTable{
        {"P", "", "S"}, {row({"1", "bad", "x=1"}, false), row({"=2", "", "y"}), row({"3", "z"})}};
    RecordingSpreadsheetLauncher app;
    app.refusedText = QStringLiteral("bad");
    saveResultsAsExcelFile(view, app, kSaveSheetProcedure);
    QCOMPARE(app.calls, (QStringList{"create", "addWorkbook", "cell 1 1 P", "cell 1 3 S",
                                     "cell 2 1 1", "cell 2 3 x1", "cell 3 1 =2", "cell 3 3 y",
                                     "cell 4 1 3", "cell 4 2 z", "autofit", "show"}));
    const QStringList reports = view.scriptedDialogs.errorReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports.first().startsWith("Cell refused\r\n" + kExcelPath + "at line 108\r"));
    QCOMPARE(view.scriptedDialogs.messages.size(), 1);
    QVERIFY(view.busyChanges.isEmpty());
}

void SpreadsheetTest::failedStartIsReportedOnce()
{
    FakeExportView view;
    view.table = filledTable(5, 3);
    RecordingSpreadsheetLauncher app;
    app.startFails = true;
    saveResultsAsExcelFile(view, app, kSaveSheetProcedure);
    QCOMPARE(app.calls, QStringList{"create"});
    const QStringList reports = view.scriptedDialogs.errorReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports.first().startsWith("Cannot start the spreadsheet application\r\n" + kExcelPath +
                                       "at line 104\r"));
}

void SpreadsheetTest::libreOfficeGetsAnUntitledCopy()
{
    QTemporaryDir temp;
    const QString fake = temp.filePath(QStringLiteral("soffice"));
    writeScript(fake, "printf '%s\\n' \"$@\" > \"$0.part\" && mv \"$0.part\" \"$0.args\"\n");
    FakeExportView view;
    view.table = filledTable(2, 2);
    XlsxSpreadsheetLauncher app(view.scriptedDialogs,
                                finds(SpreadsheetHandler::Kind::LibreOffice, fake), temp.path());
    saveResultsAsExcelFile(view, app, kSaveSheetProcedure);
    QVERIFY(view.scriptedDialogs.messages.isEmpty());
    QVERIFY(view.scriptedDialogs.opened.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(fake + ".args"), 20000);
    QFile args(fake + ".args");
    QVERIFY(args.open(QIODevice::ReadOnly));
    const QStringList given =
        QString::fromLocal8Bit(args.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(given.size(), 3);
    QCOMPARE(given.mid(0, 2), (QStringList{"--calc", "-n"}));
    QVERIFY(given.at(2).endsWith(".xlsx"));
    QCOMPARE(readWorkbook(given.at(2)).value("dimension").toString(), QStringLiteral("A1:B3"));
}

void SpreadsheetTest::finderPrefersLibreOffice()
{
    QTemporaryDir bin;
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    auto restore = qScopeGuard([&] { qputenv("PATH", savedPath); });

    QCOMPARE(findSpreadsheetHandler().kind, SpreadsheetHandler::Kind::None);
    writeScript(bin.filePath("xdg-mime"), "exit 0\n"); // the desktop knows no application
    QCOMPARE(findSpreadsheetHandler().kind, SpreadsheetHandler::Kind::None);
    writeScript(bin.filePath("xdg-mime"),
                "[ \"$3\" = application/vnd.openxmlformats-officedocument.spreadsheetml.sheet ] "
                "&& echo gnumeric.desktop\n");
    SpreadsheetHandler found = findSpreadsheetHandler();
    QCOMPARE(found.kind, SpreadsheetHandler::Kind::Desktop);
    QCOMPARE(found.program, QStringLiteral("gnumeric.desktop"));
    ScriptedDialogs dialogs;
    QVERIFY(XlsxSpreadsheetLauncher(dialogs).isInstalled());
    writeScript(bin.filePath("localc"), "exit 0\n");
    found = findSpreadsheetHandler();
    QCOMPARE(found.kind, SpreadsheetHandler::Kind::LibreOffice);
    QCOMPARE(found.program, bin.filePath("localc"));
}

void SpreadsheetTest::libreOfficeReadsTheWorkbook()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed, so the workbook cannot be converted");
    QTemporaryDir temp;
    const QString path = temp.filePath(QStringLiteral("book.xlsx"));
    {
        XlsxWorkbook book(path);
        const QStringList values{"Phone Number", "Type",   "00441234",
                                 "SUM(A1)",      "1.5E10", QString::fromUtf8("Zoë")};
        for (int i = 0; i < values.size(); ++i)
            book.setCellText(i / 2 + 1, i % 2 + 1, values.at(i));
        book.fitColumns();
        book.save();
    }
    QProcess convert;
    convert.start(
        soffice,
        {QStringLiteral("--headless"),
         "-env:UserInstallation=" + QUrl::fromLocalFile(temp.filePath("profile")).toString(),
         QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"),
         QStringLiteral("--outdir"), temp.path(), path});
    QVERIFY(convert.waitForFinished(240000));
    QFile csv(temp.filePath(QStringLiteral("book.csv")));
    QVERIFY2(csv.open(QIODevice::ReadOnly), convert.readAllStandardError().constData());
    QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    QCOMPARE(lines, (QStringList{"Phone Number,Type", "00441234,SUM(A1)",
                                 QString::fromUtf8("1.5E10,Zoë")}));
}

void SpreadsheetTest::handedOverFolderOutlivesTheProgram()
{
    // The program's launcher takes the system's temporary folder.
    QTemporaryDir temp;
    const QByteArray savedTmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    auto restore = qScopeGuard([&] { qputenv("TMPDIR", savedTmpdir); });
    FakeExportView view;
    view.table = filledTable(3, 2);
    auto app = std::make_unique<XlsxSpreadsheetLauncher>(
        view.scriptedDialogs, finds(SpreadsheetHandler::Kind::Desktop, "calc.desktop"));
    saveResultsAsExcelFile(view, *app, kSaveSheetProcedure);
    saveResultsAsExcelFile(view, *app, kSaveSheetProcedure);
    QCOMPARE(view.scriptedDialogs.opened.size(), 2);
    // The application opened the files in place and may save there: the
    // folders stay past the program's end, and the next start leaves them.
    app.reset();
    QCOMPARE(removeUnusedWorkbookFolders(
                 temp.path(), QDateTime::currentDateTimeUtc().addDays(-kWorkbookKeepDays)),
             0);
    const QStringList folders = QDir(temp.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(folders.size(), 2);
    for (const QUrl& opened : std::as_const(view.scriptedDialogs.opened)) {
        const QString file = opened.toLocalFile();
        QVERIFY2(QFile::exists(file), qPrintable(file));
        QVERIFY(isTemporaryFolderName(QFileInfo(file).dir().dirName(), kWorkbookFolderPrefix));
    }
    // A day later, with nothing open in them, a start removes them.
    QCOMPARE(removeUnusedWorkbookFolders(temp.path(), QDateTime::currentDateTimeUtc().addSecs(1)),
             2);
    QVERIFY(QDir(temp.path()).isEmpty());
}

void SpreadsheetTest::failedHandOverLeavesNoFolder()
{
    QTemporaryDir temp;
    FakeExportView view;
    view.table = filledTable(2, 2);
    XlsxSpreadsheetLauncher app(
        view.scriptedDialogs,
        finds(SpreadsheetHandler::Kind::LibreOffice, temp.filePath("no-such-soffice")),
        temp.path());
    saveResultsAsExcelFile(view, app, kSaveSheetProcedure);
    QCOMPARE(view.scriptedDialogs.errorReports().size(), 1);
    QVERIFY(QDir(temp.path()).isEmpty());
}

QTEST_MAIN(SpreadsheetTest)
#include "tst_spreadsheet.moc"
