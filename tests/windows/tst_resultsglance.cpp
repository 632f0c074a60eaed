// The results at a glance: the summary window and its charts, the list
// sorted by a header click, and rows ticked by what they are, with the
// exports that follow.
#include "desktop/countschart.h"
#include "desktop/exportactions.h"
#include "export/resultsummary.h"
#include "history/desktopsession.h"
#include "history/historystore.h"
#include "numbers/phonenumbers.h"
#include "support/darkpalette.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windowchecks.h"
#include "windows/mainwindow.h"
#include "windows/summarywindow.h"

#include <QAbstractBarSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QHeaderView>
#include <QLabel>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

namespace {

const QString kRestore = QStringLiteral("Restore Last Results");

// Rows of every kind as an earlier session kept them: answers, failures and
// rows never sent, each known again by its Status cell.
QList<ResultRecord> mixedRows()
{
    const auto row = [](const QString& number, const QString& type, const QString& provider,
                        const QString& status) {
        return ResultRecord{number, {number, type, "N", "US", provider, status}, "{}", false};
    };
    return {row("4135923823", "Mobile", "Verizon", "Active"),
            row("3342228605", "Landline", "AT&T", "Inactive"),
            row("6033802932", "Mobile", "AT&T", "Active"),
            row("2125550100", "mobile", "T-Mobile", "Inactive"),
            row("3125550102", "", "", "Could not connect"),
            row("3125550103", "", "", "Service error (HTTP 503)"),
            row("111", "", "", "Cannot be a valid number"),
            row("6175550101", "Mobile", "Verizon", "Active")};
}

// A window whose results list holds `rows`, restored from an earlier session.
struct Restored
{
    WindowFixture f;
    std::unique_ptr<MainWindow> w;
    QTreeView* list = nullptr;

    explicit Restored(const QList<ResultRecord>& rows)
    {
        HistoryStore& store = f.keepResults();
        {
            const QDateTime when = QDateTime::currentDateTimeUtc().addSecs(-60);
            const PhoneNumbers numbers(QStringLiteral("US"));
            DesktopSession earlier(&store, store.startSession(kDesktopProgram, {}, when), numbers);
            for (qsizetype i = 0; i < rows.size(); ++i)
                earlier.rowArrived(quint64(i + 1), rows[i], when);
        }
        // This start's own session comes after the earlier one.
        f.context.historySession = store.startSession(kDesktopProgram);
        w = std::make_unique<MainWindow>(f.context);
        list = MainControls(*w).resultsList;
        chooseFromContextMenu(list, kRestore);
    }
    // The numbers, as the list shows them.
    QStringList shown() const { return shownRows(list); }
    QStringList ticked() const
    {
        QStringList numbers;
        for (int r = 0; r < rowCount(list); ++r)
            if (checkState(list, r) == Qt::Checked)
                numbers << rowIndex(list, r).data().toString();
        return numbers;
    }
    int shownAt(const QString& number) const { return int(shown().indexOf(number)); }
};

// Right-clicks `list` and follows `path` through the menu and its submenus,
// choosing the last entry when it is enabled. Gives the captions of the
// last menu reached, or "<disabled>" when an entry on the way is disabled.
QStringList chooseFromSubmenu(QAbstractItemView* list, const QStringList& path)
{
    QStringList entries;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QMenu* at = menu;
        for (qsizetype step = 0; at && step < path.size(); ++step) {
            entries.clear();
            QAction* next = nullptr;
            for (QAction* action : at->actions()) {
                entries << action->text();
                if (action->text() == path[step])
                    next = action;
            }
            if (!next || !next->isEnabled()) {
                entries = next ? QStringList{"<disabled>"} : entries;
                break;
            }
            if (step + 1 == path.size())
                next->trigger();
            at = next->menu();
        }
        menu->close();
    });
    emit list->customContextMenuRequested(list->viewport()->rect().center());
    return entries;
}

void clickHeader(QTreeView* list, int column)
{
    QHeaderView* header = list->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

SummaryWindow* openSummaryWindow(int* count = nullptr)
{
    SummaryWindow* found = nullptr;
    int n = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* summary = qobject_cast<SummaryWindow*>(widget); summary && summary->isVisible())
            found = summary, ++n;
    if (count)
        *count = n;
    return found;
}

// What a chart draws: each bar's category and value, top bar first.
QList<KindCount> drawn(const CountsChart* chart)
{
    QList<KindCount> bars;
    const auto series = chart->chart()->series();
    if (series.size() != 1)
        return bars;
    auto* barSeries = qobject_cast<QAbstractBarSeries*>(series.first());
    auto* axis = qobject_cast<QBarCategoryAxis*>(chart->chart()->axes(Qt::Vertical).value(0));
    if (!barSeries || !axis || barSeries->barSets().size() != 1)
        return bars;
    const QBarSet* set = barSeries->barSets().first();
    for (int i = set->count() - 1; i >= 0; --i)
        bars.append({axis->categories().value(i), int(set->at(i))});
    return bars;
}

CountsChart* chartNamed(QWidget* window, const QString& name)
{
    for (auto* chart : window->findChildren<CountsChart*>())
        if (chart->accessibleName() == name)
            return chart;
    return nullptr;
}

} // namespace

class TestResultsGlance : public QObject
{
    Q_OBJECT
private slots:
    void headerClickSortsAndRowsKeepWhoTheyAre();
    void tickRowsWhere();
    void exportsFollowTheOrderShown();
    void summaryWindow();
    void summaryFollowsArrivingRows();
    void summaryJudgesALongListInSlices();
    void summaryChartsInADarkTheme();
};

void TestResultsGlance::headerClickSortsAndRowsKeepWhoTheyAre()
{
    Restored r(mixedRows());
    r.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(r.w.get()));
    const QStringList arrival = r.shown();
    QCOMPARE(arrival.first(), QString("4135923823"));
    setCheckState(r.list, r.shownAt("2125550100"), Qt::Checked);

    clickHeader(r.list, 4); // Provider
    QCOMPARE(r.list->header()->sortIndicatorSection(), 4);
    QCOMPARE(r.list->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    QVERIFY(r.list->header()->isSortIndicatorShown());
    // Empty first, then AT&T in arrival order, T-Mobile, Verizon.
    QCOMPARE(r.shown(), (QStringList{"3125550102", "3125550103", "111", "3342228605", "6033802932",
                                     "2125550100", "4135923823", "6175550101"}));
    clickHeader(r.list, 4);
    QCOMPARE(r.list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(r.shown().first(), QString("4135923823"));
    QCOMPARE(r.ticked(), QStringList{"2125550100"});

    // Delete removes the row shown, in the list and in the kept copy.
    selectRow(r.list, r.shownAt("3342228605"));
    QTest::keyClick(r.list, Qt::Key_Delete);
    QVERIFY(!r.shown().contains("3342228605"));
    QCOMPARE(r.shown().size(), arrival.size() - 1);
    QCOMPARE(r.ticked(), QStringList{"2125550100"});
    QStringList kept;
    for (const StoredAnswer& row : r.f.history->sessionRows(r.f.context.historySession))
        kept << row.typed;
    QStringList left = arrival;
    left.removeOne("3342228605");
    QCOMPARE(kept, left);
}

void TestResultsGlance::tickRowsWhere()
{
    Restored r(mixedRows());
    setCheckState(r.list, r.shownAt("3125550102"), Qt::Checked);
    const QStringList where{"Tick Rows Where"};
    QCOMPARE(
        chooseFromSubmenu(r.list, where + QStringList{"Type", "-"}),
        (QStringList{"Mobile (3)", "No answer (2)", "Landline (1)", "mobile (1)", "Not sent (1)"}));
    QCOMPARE(chooseFromSubmenu(r.list, where + QStringList{"Status", "-"}),
             (QStringList{"Active (3)", "Inactive (2)", "Cannot be a valid number (1)",
                          "Could not connect (1)", "Service error (HTTP 503) (1)"}));
    // "&&" shows as one "&".
    QCOMPARE(
        chooseFromSubmenu(r.list, where + QStringList{"Provider", "AT&&T (2)"}),
        (QStringList{"AT&&T (2)", "No answer (2)", "Verizon (2)", "Not sent (1)", "T-Mobile (1)"}));
    QCOMPARE(r.ticked(), (QStringList{"3342228605", "6033802932", "3125550102"}));
    chooseFromSubmenu(r.list, where + QStringList{"Status", "Active (3)"});
    QCOMPARE(r.ticked(),
             (QStringList{"4135923823", "3342228605", "6033802932", "3125550102", "6175550101"}));
    chooseFromSubmenu(r.list, {"Untick All Rows"});
    QVERIFY(r.ticked().isEmpty());

    // Busy, the list refuses it as it refuses a removal.
    r.w->setBusy(true);
    QCOMPARE(chooseFromSubmenu(r.list, where + QStringList{"Type", "Mobile (3)"}),
             QStringList{"<disabled>"});
    r.w->setBusy(false);
    QCOMPARE(rowCount(r.list), 8);
    QVERIFY(r.ticked().isEmpty());

    // Larger counts carry the group separator.
    QList<ResultRecord> many;
    for (int i = 0; i < 1234; ++i)
        many << mixedRows().first();
    Restored big(many);
    QCOMPARE(chooseFromSubmenu(big.list, where + QStringList{"Type", "-"}),
             QStringList{"Mobile (1,234)"});
}

void TestResultsGlance::exportsFollowTheOrderShown()
{
    Restored r(mixedRows());
    r.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(r.w.get()));
    clickHeader(r.list, 0);
    clickHeader(r.list, 0); // numbers, descending
    chooseFromSubmenu(r.list, {"Tick Rows Where", "Type", "Mobile (3)"});
    const QStringList expected{"6175550101", "6033802932", "4135923823"};

    MainControls(*r.w).copyResultsButton->click();
    QStringList copied;
    for (const QString& line : r.f.clipboard->held.split("\r\n", Qt::SkipEmptyParts))
        copied << line.section('\t', 0, 0).trimmed();
    QCOMPARE(copied, expected);

    const QString file = r.f.dir.filePath("results.txt");
    r.f.dialogs.saveAnswers << file;
    MainControls(*r.w).saveTextButton->click();
    QFile text(file);
    QVERIFY(text.open(QIODevice::ReadOnly));
    QStringList saved;
    for (const QString& line : QString::fromUtf8(text.readAll()).split("\r\n", Qt::SkipEmptyParts))
        saved << line.section(' ', 0, 0);
    QCOMPARE(saved.mid(saved.size() - 3), expected);
    QCOMPARE(saved.size(), 4); // the captions, then the three rows
}

void TestResultsGlance::summaryWindow()
{
    Restored r(mixedRows());
    QCOMPARE(openSummaryWindow(), nullptr);
    chooseFromSubmenu(r.list, {"Show Summary"});
    int windows = 0;
    SummaryWindow* summary = openSummaryWindow(&windows);
    QVERIFY(summary);
    QCOMPARE(summary->windowTitle(), QString("Summary"));
    QVERIFY(!summary->isModal());
    // A second one brings the same window back.
    chooseFromSubmenu(r.list, {"Show Summary"});
    QCOMPARE(openSummaryWindow(&windows), summary);
    QCOMPARE(windows, 1);

    const ResultSummary& s = summary->summary();
    QCOMPARE(s.rows(), 8);
    QCOMPARE(s.paid(), 6);
    QCOMPARE(summary->findChild<QLabel*>("SummaryFigures")->text(),
             QString("Rows: 8      Paid lookups: 6      Valid numbers: 7 (87.5%)"));
    const QList<KindCount> byStatus{{"Active", 3},
                                    {"Inactive", 2},
                                    {"Cannot be a valid number", 1},
                                    {"Could not connect", 1},
                                    {"Service error (HTTP 503)", 1}};
    QCOMPARE(s.byStatus(), byStatus);
    const struct
    {
        QString name;
        QList<KindCount> bars;
    } charts[] = {{"Rows by Type", s.byType()},
                  {"Rows by Status", byStatus},
                  {"Rows by Provider", s.topProviders()}};
    for (const auto& [name, bars] : charts) {
        CountsChart* chart = chartNamed(summary, name);
        QVERIFY2(chart, qPrintable(name));
        QCOMPARE(chart->chart()->title(), name);
        QCOMPARE(drawn(chart), bars);
        QCOMPARE(chart->accessibleDescription(), CountsChart::describe(bars));
        auto* series = qobject_cast<QAbstractBarSeries*>(chart->chart()->series().first());
        QVERIFY(series->isLabelsVisible());
    }
    QCOMPARE(chartNamed(summary, "Rows by Status")->accessibleDescription(),
             QString("Active: 3; Inactive: 2; Cannot be a valid number: 1; Could not connect: 1; "
                     "Service error (HTTP 503): 1."));

    control<QPushButton>(*summary, "CopySummary")->click();
    QCOMPARE(r.f.clipboard->held, s.text("\r\n"));
    QVERIFY(r.f.clipboard->held.contains(" 7 (87.5%)\r\n"));
}

void TestResultsGlance::summaryFollowsArrivingRows()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    chooseFromSubmenu(c.resultsList, {"Show Summary"});
    SummaryWindow* summary = openSummaryWindow();
    QVERIFY(summary);
    QCOMPARE(summary->summary().rows(), 0);
    QVERIFY(addResultRows(f, w,
                          {{"1", "Mobile", "A", "L", "Verizon", "Active"},
                           {"2", "Landline", "B", "L", "Verizon", "Inactive"}}));
    QTRY_COMPARE(summary->summary().rows(), 2);
    QCOMPARE(drawn(chartNamed(summary, "Rows by Provider")), (QList<KindCount>{{"Verizon", 2}}));
    c.clearResultsButton->click();
    QTRY_COMPARE(summary->summary().rows(), 0);
    QCOMPARE(drawn(chartNamed(summary, "Rows by Type")), QList<KindCount>{});
    QCOMPARE(chartNamed(summary, "Rows by Type")->accessibleDescription(), QString("No rows."));
}

void TestResultsGlance::summaryJudgesALongListInSlices()
{
    QList<ResultRecord> rows;
    const PhoneNumbers us(QStringLiteral("US"));
    int valid = 0;
    for (int i = 0; i < 2500; ++i) {
        rows << mixedRows().value(i % 8);
        rows.last().number = QStringLiteral("(413) 59%1").arg(i * 37 % 100000, 5, 10, QChar('0'));
        valid += us.classify(rows.last().number).verdict == NumberClass::Verdict::Valid;
    }
    Restored r(rows);
    chooseFromSubmenu(r.list, {"Show Summary"});
    SummaryWindow* summary = openSummaryWindow();
    QVERIFY(summary);
    // The rest of the figures at once; the valid numbers once all are judged.
    QCOMPARE(summary->summary().rows(), 2500);
    QVERIFY(!summary->summary().hasValidCount());
    QVERIFY(summary->findChild<QLabel*>("SummaryFigures")->text().endsWith("being checked"));
    QTRY_VERIFY(summary->summary().hasValidCount());
    QCOMPARE(summary->summary().validNumbers(), valid);
    QVERIFY(valid > 0);
}

void TestResultsGlance::summaryChartsInADarkTheme()
{
    const QPalette before = QApplication::palette();
    QApplication::setPalette(darkPalette());
    Restored r(mixedRows());
    chooseFromSubmenu(r.list, {"Show Summary"});
    SummaryWindow* summary = openSummaryWindow();
    QVERIFY(summary);
    CountsChart* chart = chartNamed(summary, "Rows by Type");
    const QColor background = chart->chart()->backgroundBrush().color();
    const auto* series = qobject_cast<QAbstractBarSeries*>(chart->chart()->series().first());
    const QColor labels = series->barSets().first()->labelColor();
    const QColor title = chart->chart()->titleBrush().color();
    QApplication::setPalette(before);
    QVERIFY2(background.lightness() < 80, qPrintable(background.name()));
    QVERIFY2(labels.lightness() - background.lightness() > 120, qPrintable(labels.name()));
    QVERIFY2(title.lightness() - background.lightness() > 120, qPrintable(title.name()));
    // Back in a light theme, the chart follows.
    QTRY_VERIFY(chart->chart()->backgroundBrush().color().lightness() > 200);
}

QTEST_MAIN(TestResultsGlance)
#include "tst_resultsglance.moc"
