// Prints how long the results-at-a-glance commands take on a results list of
// 32,767 rows of mixed kinds in the main window: a header click's sort (each
// way, on a few columns), ticking the rows of one kind, the counts the "Tick
// Rows Where" menu lists, and the summary's figures and window. Run without a
// display:
//   QT_QPA_PLATFORM=offscreen bench_glance
#include "export/resultsummary.h"
#include "numbers/phonenumbers.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/mainwindow.h"
#include "windows/resultslist.h"
#include "windows/summarywindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace quillmore;
using namespace quillmore::test;

namespace {

constexpr int kRows = 32767;
constexpr int kRounds = 5;

QList<ResultRecord> benchRecords()
{
    static const char* const types[] = {"Mobile", "Landline", "FixedVOIP", "NonFixedVOIP",
                                        "TollFree"};
    QList<ResultRecord> records;
    records.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        // Numbers out of order, forty providers, and one row in twenty a failure.
        const QString number = QString::number(4136000000LL + (i * 7919LL) % kRows);
        const QString status = i % 20 == 0  ? QStringLiteral("Could not connect")
                               : i % 3 == 0 ? QStringLiteral("Inactive")
                                            : QStringLiteral("Active");
        const bool answered = i % 20 != 0;
        const QStringList cells{number,
                                answered ? QLatin1String(types[i % 5]) : QString(),
                                QStringLiteral("Jane Doe %1").arg(i),
                                QStringLiteral("Springfield, MA, US"),
                                answered ? QStringLiteral("Carrier %1").arg(i % 40) : QString(),
                                status};
        records << ResultRecord{number, cells, QStringLiteral("{}"), false};
    }
    return records;
}

double timed(const std::function<void()>& work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e6;
}

QString summary(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return QStringLiteral("median %1 ms, max %2 ms")
        .arg(values[values.size() / 2], 0, 'f', 2)
        .arg(values.last(), 0, 'f', 2);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    WindowFixture fixture;
    MainWindow window(fixture.context);
    window.show();
    auto* results = window.findChild<ResultsList*>();
    QTreeView* list = MainControls(window).resultsList;
    if (!results) {
        std::printf("the window has no results list\n");
        return 1;
    }
    for (const ResultRecord& record : benchRecords())
        results->append(record);
    const ResultsModel& model = window.results();
    const PhoneNumbers numbers(QStringLiteral("US"));

    QList<double> sortUp, sortDown, sortNumber, unsort, tickKind, tickAllSorted, menuCounts,
        figures, figuresCold, figuresWarm, window1, judgedAll, tableShown;
    for (int round = 0; round < kRounds; ++round) {
        sortUp << timed([&] { list->sortByColumn(4, Qt::AscendingOrder); });
        sortDown << timed([&] { list->sortByColumn(4, Qt::DescendingOrder); });
        sortNumber << timed([&] { list->sortByColumn(0, Qt::AscendingOrder); });
        tickAllSorted << timed([&] { results->setAllTicked(true); });
        results->setAllTicked(false);
        tickKind << timed([&] { results->tickWhere(RowAspect::Status, QStringLiteral("Active")); });
        tableShown << timed([&] { (void)window.resultsTable(); });
        results->setAllTicked(false);
        menuCounts << timed([&] {
            for (const RowAspect aspect : {RowAspect::Type, RowAspect::Status, RowAspect::Provider})
                (void)kindCounts(model.records(), aspect);
        });
        unsort << timed([&] { list->sortByColumn(-1, Qt::AscendingOrder); });
        figures << timed([&] { (void)ResultSummary(model.records()); });
        ValidNumberMemo memo(numbers);
        figuresCold << timed([&] { (void)ResultSummary(model.records(), memo.test()); });
        figuresWarm << timed([&] { (void)ResultSummary(model.records(), memo.test()); });
        SummaryWindow* opened = nullptr;
        window1 << timed([&] {
            opened = new SummaryWindow(model, numbers, *fixture.clipboard);
            opened->show();
            opened->repaint();
        });
        // The rest of the numbers are judged in slices while the event loop runs.
        const double rest = timed([&] {
            if (!QTest::qWaitFor([&] { return opened->summary().hasValidCount(); }, 60000))
                std::printf("  (the numbers were not all judged within a minute)\n");
        });
        judgedAll << window1.last() + rest;
        delete opened;
    }
    if (rowCount(list) != kRows)
        std::printf("  (the list shows %d rows)\n", rowCount(list));

    std::printf("results list of %d rows of mixed kinds, %d rounds:\n", kRows, kRounds);
    std::printf("  sort by Provider, A to Z: %s\n", qPrintable(summary(sortUp)));
    std::printf("  sort by Provider, Z to A: %s\n", qPrintable(summary(sortDown)));
    std::printf("  sort by Phone Number: %s\n", qPrintable(summary(sortNumber)));
    std::printf("  back to arrival order: %s\n", qPrintable(summary(unsort)));
    std::printf("  Tick All Rows while sorted: %s\n", qPrintable(summary(tickAllSorted)));
    std::printf("  Tick Rows Where Status is Active: %s\n", qPrintable(summary(tickKind)));
    std::printf("  the rows as shown, for an export: %s\n", qPrintable(summary(tableShown)));
    std::printf("  the menu's counts (three columns): %s\n", qPrintable(summary(menuCounts)));
    std::printf("  summary figures without valid numbers: %s\n", qPrintable(summary(figures)));
    std::printf("  summary figures, every number judged: %s\n", qPrintable(summary(figuresCold)));
    std::printf("  summary figures again, verdicts remembered: %s\n",
                qPrintable(summary(figuresWarm)));
    std::printf("  summary window opened and painted (first slice of numbers judged): %s\n",
                qPrintable(summary(window1)));
    std::printf("  ... until every number is judged, the window answering between slices: %s\n",
                qPrintable(summary(judgedAll)));
    return 0;
}
