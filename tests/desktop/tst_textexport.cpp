#include "desktop/exportactions.h"
#include "export/textexport.h"
#include "support/exportfakes.h"
#include "support/tmpfsmount.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace quillmore;
using namespace quillmore::test;

namespace {

ReportTable::Row row(const QStringList& cells, bool ticked = true)
{
    return ReportTable::Row{cells, ticked};
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Saves through the real writer into a file of a temporary folder; gives the
// file's bytes.
QByteArray savedBytes(const ReportTable& table, ProgressSink* progress = nullptr,
                      const QString& name = QStringLiteral("out.txt"))
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    const QString path = dir.filePath(name);
    saveListviewProperlySpaced(table, path, progress, dialogs);
    if (!dialogs.messages.isEmpty())
        return "<reported: " + dialogs.messages.constFirst().text.toUtf8() + ">";
    return readAll(path);
}

const QString kWriterPath = QStringLiteral("in Vantrel2021/08/31.Main.SaveListviewProperlySpaced ");

} // namespace

class TextExportTest : public QObject
{
    Q_OBJECT

private slots:
    void exportDuringRunKeepsWindowBusy();
    void fileBytes_data();
    void fileBytes();
    void lengthsCountCharacters();
    void textLongerThanItsWidthIsUnpadded();
    void progressSequence();
    void progressFollowsTickedRowsOfLongLists();
    void progressNamesTheFileOnly();
    void unwritableTargetsAreReportedOnce_data();
    void unwritableTargetsAreReportedOnce();
    void failureMidwayLeavesOldFileUntouched();
    void fullDiskIsToldAndOldFileSurvives_data();
    void fullDiskIsToldAndOldFileSurvives();
    void replacesFileInFolderThatTakesNoNewFile();
    void buttonWritesChosenNameAsTyped();
    void buttonCancelWritesNothing();
    void buttonClearsBusyAfterFailure();
};

void TextExportTest::fileBytes_data()
{
    QTest::addColumn<ReportTable>("table");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("two columns, one ticked row")
        << ReportTable{{"Phone Number", "Type"}, {row({"555-0100", "Mobile"})}}
        << QByteArray("Phone Number\tType  \t\r\n"
                      "555-0100    \tMobile\t\r\n");
    QTest::newRow("empty list: header line alone, captions unpadded")
        << ReportTable{{"Phone Number", "Type", "Status"}, {}}
        << QByteArray("Phone Number\tType\tStatus\t\r\n");
    QTest::newRow("nothing ticked: widths still count every row")
        << ReportTable{{"A", "B"}, {row({"wide cell", "x"}, false), row({"y", "longer"}, false)}}
        << QByteArray("A        \tB     \t\r\n");
    QTest::newRow("unticked rows skipped, widths from all, caption counted")
        << ReportTable{{"Number", "T"},
                       {row({"1", "aa"}), row({"1234567890", "b"}, false), row({"22", ""})}}
        << QByteArray("Number    \tT \t\r\n"
                      "1         \taa\t\r\n"
                      "22        \t  \t\r\n");
    QTest::newRow("empty caption over empty cells gives a lone TAB")
        << ReportTable{{"A", "", "C"}, {row({"1", "", "3"})}}
        << QByteArray("A\t\tC\t\r\n"
                      "1\t\t3\t\r\n");
    QTest::newRow("row shorter than the headers reads as empty cells")
        << ReportTable{{"Phone", "Type"}, {row({"12"})}}
        << QByteArray("Phone\tType\t\r\n"
                      "12   \t    \t\r\n");
    QTest::newRow("TAB, CR, LF, = and quotes written as stored, counted as characters")
        << ReportTable{{"A", "B"}, {row({"a\tb", "=\"q\""}), row({"x\r\ny", "'"})}}
        << QByteArray("A   \tB   \t\r\n"
                      "a\tb \t=\"q\"\t\r\n"
                      "x\r\ny\t'   \t\r\n");
    QTest::newRow("non-ASCII in UTF-8, padded by characters")
        << ReportTable{{"Name", "City"}, {row({QString::fromUtf8("Zoë Ångström"), "Köln"})}}
        << QByteArray("Name        \tCity\t\r\n"
                      "Zo\xc3\xab \xc3\x85ngstr\xc3\xb6m\tK\xc3\xb6ln\t\r\n");

    const QString longText(10000, QLatin1Char('w'));
    QTest::newRow("a 10,000-character cell widens its column only")
        << ReportTable{{"Long", "Short"}, {row({longText, "s"}), row({"x", "t"})}}
        << ("Long" + QByteArray(9996, ' ') + "\tShort\t\r\n" + longText.toLatin1() +
            "\ts    \t\r\n" + "x" + QByteArray(9999, ' ') + "\tt    \t\r\n");
}

void TextExportTest::fileBytes()
{
    QFETCH(ReportTable, table);
    QFETCH(QByteArray, expected);
    QCOMPARE(savedBytes(table), expected);
}

void TextExportTest::lengthsCountCharacters()
{
    // A letter outside the Basic Multilingual Plane is one character, not two.
    const QString math = QString::fromUtf8("\xf0\x9d\x90\x80\xf0\x9d\x90\x81"); // two letters
    QCOMPARE(textLength(math), 2);
    QCOMPARE(textLength(QString::fromUtf8("Zoë")), 3);
    const ReportTable table{{"H"}, {row({math}), row({"abc"})}};
    QCOMPARE(columnWidths(table, CaptionWidth::Counted), (QList<qsizetype>{3}));
    QCOMPARE(savedBytes(table), QByteArray("H  \t\r\n") + math.toUtf8() + " \t\r\nabc\t\r\n");
}

void TextExportTest::textLongerThanItsWidthIsUnpadded()
{
    QString line;
    appendAligned(line, u"toolong", 3);
    appendAligned(line, u"ab", 4);
    appendAligned(line, u"", 0);
    QCOMPARE(line, QStringLiteral("toolong\tab  \t\t"));
}

void TextExportTest::progressSequence()
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    RecordingProgress progress;
    const ReportTable table{{"A"}, {row({"1"}), row({"2"}, false), row({"3"}), row({"4"})}};
    saveListviewProperlySpaced(table, dir.filePath(QStringLiteral("results.txt")), &progress,
                               dialogs);
    const QString writing = QStringLiteral("text Writing file: results.txt");
    QCOMPARE(progress.log, (QStringList{"value 1", writing, "value 10", writing, "value 20",
                                        writing, "value 25", "value 75", "value 100", "value 100",
                                        "text Done.", "value 0", "text Progress Bar"}));
    QVERIFY(dialogs.messages.isEmpty());
}

void TextExportTest::progressFollowsTickedRowsOfLongLists()
{
    {
        RecordingProgress progress;
        savedBytes(filledTable(500, 1), &progress, "r.txt");
        // 1, 10, 20, then one per row: row 250 is the 254th value.
        QCOMPARE(progress.values.size(), 3 + 500 + 2);
        QCOMPARE(progress.values.at(3 + 249), 50.0);
        QCOMPARE(progress.values.at(3 + 499), 100.0);
    }
    {
        RecordingProgress progress;
        ReportTable table = filledTable(2500, 2);
        table.rows[999].ticked = false; // row 1000: no value, no "(1000)"
        savedBytes(table, &progress, "results.txt");
        QVERIFY(qFuzzyCompare(progress.values.at(3), 0.08));
        QCOMPARE(progress.values.size(), 3 + 2499 + 2);
        double highest = 0;
        for (double value : progress.values)
            highest = std::max(highest, value);
        QCOMPARE(highest, 100.0); // held at full where the head start overshoots
        QCOMPARE(progress.values.at(3 + 2498), 100.0);
        const QStringList rowTexts = progress.texts.filter(QStringLiteral("("));
        QCOMPARE(rowTexts, QStringList{"Writing file: results.txt (2000)"});
        // The row number text comes right after its row's value.
        const qsizetype at = progress.log.indexOf("text Writing file: results.txt (2000)");
        QCOMPARE(progress.log.at(at - 1),
                 QStringLiteral("value ") + QString::number((1 + 2000) / 2500.0 * 100));
    }
}

void TextExportTest::progressNamesTheFileOnly()
{
    for (const auto& [path, shown] :
         {std::pair{"C:\\Users\\Ann\\results.txt", "results.txt"}, {"plain", "plain"}}) {
        RecordingProgress progress;
        savedBytes(filledTable(1000, 1), &progress, path);
        QCOMPARE(progress.texts.first(), QStringLiteral("Writing file: ") + shown);
        QVERIFY(progress.texts.contains(QStringLiteral("Writing file: %1 (1000)").arg(shown)));
    }
}

void TextExportTest::unwritableTargetsAreReportedOnce_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("folder missing") << "no such folder/out.txt";
    QTest::newRow("path is a directory") << "a directory";
    QTest::newRow("path under a file") << "a file/out.txt";
}

void TextExportTest::unwritableTargetsAreReportedOnce()
{
    QFETCH(QString, relativePath);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("a directory")));
    writeFile(dir.filePath(QStringLiteral("a file")), "keep me");

    FakeExportView view;
    view.table = filledTable(3, 2);
    view.scriptedDialogs.saveAnswers << dir.filePath(relativePath);
    saveResultsAsTextFile(view, kSaveTextProcedure);

    const QStringList reports = view.scriptedDialogs.errorReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.first().contains(kWriterPath + QStringLiteral("at line 106\r")),
             qPrintable(reports.first()));
    QVERIFY(!reports.first().startsWith(QStringLiteral("\r\n"))); // names the failure
    QCOMPARE(view.scriptedDialogs.messages.first().icon, Dialogs::Icon::Warning);
    QCOMPARE(view.busyChanges, (QList<bool>{true, false}));
    QVERIFY(!view.recordingProgress.texts.contains(QStringLiteral("Done.")));
    QCOMPARE(view.recordingProgress.progressValue(), 0.0);
    QCOMPARE(view.recordingProgress.progressText(), kProgressRestText);
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("a directory"))).isDir());
    QCOMPARE(readAll(dir.filePath(QStringLiteral("a file"))), QByteArray("keep me"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);
}

void TextExportTest::failureMidwayLeavesOldFileUntouched()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.txt"));
    writeFile(path, "the good old file");
    ScriptedDialogs dialogs;
    RecordingProgress progress;
    // The second row's step fails while half the new text has been written.
    progress.onValue = [](double value) {
        if (value == 50.0)
            throw Failure(QStringLiteral("Simulated failure"));
    };
    saveListviewProperlySpaced(filledTable(4, 2), path, &progress, dialogs);

    QCOMPARE(dialogs.errorReports(),
             QStringList{"Simulated failure\r\n" + kWriterPath +
                         "at line 112\r\rPlease email screenshot of this message to " +
                         supportEmail()});
    QCOMPARE(readAll(path), QByteArray("the good old file"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary left
    QCOMPARE(progress.log.mid(progress.log.size() - 2),
             (QStringList{"value 0", "text Progress Bar"}));
    QVERIFY(!progress.texts.contains(QStringLiteral("Done.")));
}

void TextExportTest::fullDiskIsToldAndOldFileSurvives_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("leaveFree");
    QTest::addColumn<int>("line");
    // Up to 16 KiB wait in the write buffer until the file is put in place.
    QTest::newRow("new file held in the write buffer") << 200 << 0 << 114;
    QTest::newRow("room for part of a buffered file") << 200 << 4096 << 114;
    QTest::newRow("new file larger than the disk") << 4000 << 0 << 112;
}

void TextExportTest::fullDiskIsToldAndOldFileSurvives()
{
    QFETCH(int, rows);
    QFETCH(int, leaveFree);
    QFETCH(int, line);
    QTemporaryDir dir;
    const TmpfsMount disk(dir.filePath(QStringLiteral("disk")), QStringLiteral("size=64k"));
    if (!disk.isMounted())
        QSKIP(kTmpfsSkipReason);

    const QString path = disk.filePath(QStringLiteral("results.txt"));
    QByteArray old;
    for (int i = 0; i < 200; ++i)
        old += "old line " + QByteArray::number(i) + "\r\n";
    writeFile(path, old);
    QVERIFY(disk.fill(leaveFree));
    FakeExportView view;
    view.table = filledTable(rows, 3); // 200 rows are about 5 KB
    view.scriptedDialogs.saveAnswers << path;
    saveResultsAsTextFile(view, kSaveTextProcedure);

    QCOMPARE(view.scriptedDialogs.errorReports(),
             QStringList{"Could not save " + path + ": No space left on device\r\n" + kWriterPath +
                         QStringLiteral("at line %1").arg(line) +
                         "\r\rPlease email screenshot of this message to " + supportEmail()});
    QVERIFY(!view.recordingProgress.texts.contains(QStringLiteral("Done.")));
    QCOMPARE(view.recordingProgress.progressText(), kProgressRestText);
    QCOMPARE(view.busyChanges, (QList<bool>{true, false}));
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"filler", "results.txt"}));
}

void TextExportTest::replacesFileInFolderThatTakesNoNewFile()
{
    if (::geteuid() == 0)
        QSKIP("Root ignores the folder's write bit, so the folder would take a new file");
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("shared"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/results.txt");
    writeFile(path, "an old file that may be written but not replaced");
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const auto writable = qScopeGuard([&] {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    });

    FakeExportView view;
    view.table = ReportTable{{"Phone Number", "Type"}, {row({"555-0100", "Mobile"})}};
    view.scriptedDialogs.saveAnswers << path;
    saveResultsAsTextFile(view, kSaveTextProcedure);

    QVERIFY(view.scriptedDialogs.messages.isEmpty());
    QVERIFY(view.recordingProgress.texts.contains(QStringLiteral("Done.")));
    QCOMPARE(readAll(path), QByteArray("Phone Number\tType  \t\r\n555-0100    \tMobile\t\r\n"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"results.txt"});
}

void TextExportTest::buttonWritesChosenNameAsTyped()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results")); // no extension added
    writeFile(path, "an older and much longer file that must be replaced entirely");
    FakeExportView view;
    view.table = ReportTable{{"Phone Number", "Type"}, {row({"555-0100", "Mobile"})}};
    view.scriptedDialogs.saveAnswers << path;
    saveResultsAsTextFile(view, kSaveTextProcedure);

    QCOMPARE(view.scriptedDialogs.saveAsks.size(), 1);
    QCOMPARE(view.scriptedDialogs.saveAsks.first().title, QStringLiteral("Save"));
    QCOMPARE(view.scriptedDialogs.saveAsks.first().filter,
             QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"));
    QCOMPARE(readAll(path), QByteArray("Phone Number\tType  \t\r\n555-0100    \tMobile\t\r\n"));
    QVERIFY(view.scriptedDialogs.messages.isEmpty()); // no word on success
    QCOMPARE(view.busyChanges, (QList<bool>{true, false}));
    QCOMPARE(view.recordingProgress.progressText(), kProgressRestText);
}

void TextExportTest::buttonCancelWritesNothing()
{
    QTemporaryDir dir;
    FakeExportView view;
    view.table = filledTable(2, 2);
    saveResultsAsTextFile(view, kSaveTextProcedure);
    QCOMPARE(view.scriptedDialogs.saveAsks.size(), 1);
    QVERIFY(view.busyChanges.isEmpty());
    QVERIFY(view.recordingProgress.log.isEmpty());
    QVERIFY(view.scriptedDialogs.messages.isEmpty());
}

void TextExportTest::buttonClearsBusyAfterFailure()
{
    QTemporaryDir dir;
    FakeExportView view;
    view.tableFails = true;
    view.scriptedDialogs.saveAnswers << dir.filePath(QStringLiteral("x.txt"));
    saveResultsAsTextFile(view, kSaveTextProcedure);
    const QStringList reports = view.scriptedDialogs.errorReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports.first().startsWith(QStringLiteral(
        "The list cannot be read\r\nin Vantrel2021/08/31.Form1.PushButton4_Click at line 104\r")));
    QCOMPARE(view.busyChanges, (QList<bool>{true, false}));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.txt"))));
}

void TextExportTest::exportDuringRunKeepsWindowBusy()
{
    // A run made the window busy: after the export it must still be, or the
    // number list the run reads could be cleared under it.
    QTemporaryDir dir;
    FakeExportView view;
    view.table = filledTable(2, 2);
    view.setBusy(true);
    view.scriptedDialogs.saveAnswers << dir.filePath(QStringLiteral("out.txt"));
    saveResultsAsTextFile(view, kSaveTextProcedure);
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("out.txt"))));
    QCOMPARE(view.busyChanges, (QList<bool>{true, true, true}));
    QVERIFY(view.isBusy());
}

QTEST_MAIN(TextExportTest)
#include "tst_textexport.moc"
