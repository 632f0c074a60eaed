// Times the three exports on the largest list the program handles and prints
// the figures; it checks nothing.

#include "desktop/clipboard.h"
#include "desktop/exportactions.h"
#include "export/textexport.h"

#include "benchreport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quillmore;

namespace {

constexpr int kRows = 32767;
constexpr int kRuns = 5;

class SilentDialogs : public Dialogs
{
public:
    int shown = 0;
    void openUrl(const QUrl&) override {}

protected:
    void showMessage(const QString&, const QString&, Icon) override { ++shown; }
    QString askText(const QString&, const QString&, const QString&) override { return {}; }
    QStringList askOpenFileNames(const QString&, const QString&) override { return {}; }
    QString askSaveFileName(const QString&, const QString&) override { return {}; }
    bool askYesNo(const QString&, const QString&, const QString&, DefaultAnswer) override
    {
        return false;
    }
};

class CountingProgress : public ProgressSink
{
public:
    void setProgressValue(double value) override { m_value = value; }
    void setProgressText(const QString& text) override { m_text = text; }
    double progressValue() const override { return m_value; }
    QString progressText() const override { return m_text; }

private:
    double m_value = 0;
    QString m_text;
};

class BenchView : public ExportView
{
public:
    SilentDialogs silent;
    CountingProgress bar;
    ReportTable table;
    Dialogs& dialogs() override { return silent; }
    ReportTable resultsTable() const override { return table; }
    ProgressSink& progress() override { return bar; }
    void setBusy(bool) override {}
    bool isBusy() const override { return false; }
    QString consoleText() const override { return {}; }
};

// Rows as a lookup run makes them, every one different.
ReportTable resultsList()
{
    ReportTable table;
    table.headers = QStringList{"Phone Number", "Type", "Name", "Location", "Provider", "Status"};
    table.rows.reserve(kRows);
    for (int r = 0; r < kRows; ++r) {
        table.rows.append(ReportTable::Row{
            {QStringLiteral("+1 555 %1").arg(r, 7, 10, QLatin1Char('0')),
             r % 3 ? QStringLiteral("Mobile") : QStringLiteral("Landline"),
             QStringLiteral("Firstname Lastname %1").arg(r),
             QStringLiteral("%1 Main St, Apt %2, Springfield, 01234, MA, US").arg(r).arg(r % 97),
             QStringLiteral("Carrier Wireless %1").arg(r % 40),
             r % 5 ? QStringLiteral("Active") : QStringLiteral("Inactive")},
            true});
    }
    return table;
}

} // namespace

using quillmore::bench::report;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    BenchView view;
    view.table = resultsList();
    std::printf("%d rows x %d columns, all ticked, %d runs each\n", kRows,
                int(view.table.headers.size()), kRuns);

    const QString textFile = dir.filePath(QStringLiteral("results.txt"));
    report("text file (SaveListviewProperlySpaced)",
           [&] { saveListviewProperlySpaced(view.table, textFile, &view.bar, view.silent); });
    std::printf("  file size %lld bytes\n", QFileInfo(textFile).size());

    qsizetype clipboardChars = 0;
    report("clipboard text (copyListviewProperlySpacedText)",
           [&] { clipboardChars = copyListviewProperlySpacedText(view.table).size(); });
    std::printf("  text length %lld characters\n", static_cast<long long>(clipboardChars));
    SystemClipboard clipboard;
    report("clipboard button, system clipboard (offscreen)",
           [&] { copyResultsToClipboard(view, clipboard, QStringLiteral("Copy Results")); });

    XlsxSpreadsheetLauncher launcher(
        view.silent,
        [] {
            return SpreadsheetHandler{SpreadsheetHandler::Kind::Desktop, {}};
        },
        dir.path());
    report("workbook (Save Results As Excel File, to .xlsx)", [&] {
        saveResultsAsExcelFile(view, launcher, QStringLiteral("Save Results As Excel File"));
    });

    std::printf("messages shown: %d (the clipboard button's own)\n", view.silent.shown);
    return 0;
}
