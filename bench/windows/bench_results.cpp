// Prints how long "Tick All Rows" and "Clear List" take on a results list of
// 32,767 rows in the main window, with the lookup history the program keeps.
// Run without a display:
//   QT_QPA_PLATFORM=offscreen bench_results
//
// Each figure is the call itself, then the window's repaint that follows it,
// timed apart. Three rounds: fill, tick all, untick all, clear.
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/mainwindow.h"
#include "windows/resultslist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace quillmore;
using namespace quillmore::test;

namespace {

constexpr int kRows = 32767;
constexpr int kRounds = 3;

QList<ResultRecord> benchRecords()
{
    QList<ResultRecord> records;
    records.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        const QString number = QString::number(4136000000LL + i);
        const QStringList cells{number,
                                QStringLiteral("Mobile"),
                                QStringLiteral("Jane Doe %1").arg(i),
                                QStringLiteral("US"),
                                QStringLiteral("Example Wireless"),
                                QStringLiteral("Active")};
        records << ResultRecord{number, cells, QString::fromUtf8(answerShownAs(cells)), false};
    }
    return records;
}

double msSince(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

struct Figures
{
    QList<double> fill, tick, tickPaint, untick, retick, clear, clearPaint;

    static QString summary(QList<double> values)
    {
        std::sort(values.begin(), values.end());
        return QStringLiteral("median %1 ms, max %2 ms")
            .arg(values[values.size() / 2], 0, 'f', 2)
            .arg(values.last(), 0, 'f', 2);
    }
};

double timed(const std::function<void()>& work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return msSince(clock);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    WindowFixture fixture;
    fixture.keepResults();
    MainWindow window(fixture.context);
    window.show();
    ResultsList* results = window.findChild<ResultsList*>();
    QPushButton* clearButton = window.findChild<QPushButton*>(QStringLiteral("PushButton2"));
    QTreeView* list = MainControls(window).resultsList;
    if (!results || !clearButton) {
        std::printf("the window has no results list or no \"Clear List\" button\n");
        return 1;
    }
    const QList<ResultRecord> records = benchRecords();
    Figures figures;
    int round = 0;

    // Each phase runs from the event loop, after the window has shown the last one.
    std::function<void()> nextRound;
    const auto later = [](std::function<void()> work) { QTimer::singleShot(50, work); };
    const auto clearPhase = [&] {
        figures.clear << timed([&] { clearButton->click(); });
        figures.clearPaint << timed([&] { window.repaint(); });
        if (rowCount(list) != 0)
            std::printf("  (the list still holds %d rows after the click)\n", rowCount(list));
        later(nextRound);
    };
    const auto tickPhase = [&] {
        figures.tick << timed([&] { results->setAllTicked(true); });
        figures.tickPaint << timed([&] { window.repaint(); });
        if (checkState(list, kRows - 1) != Qt::Checked)
            std::printf("  (the last row is not ticked)\n");
        figures.untick << timed([&] { results->setAllTicked(false); });
        figures.retick << timed([&] { results->setAllTicked(true); });
        later(clearPhase);
    };
    nextRound = [&] {
        if (round++ == kRounds) {
            app.quit();
            return;
        }
        figures.fill << timed([&] {
            for (const ResultRecord& record : records)
                results->append(record);
        });
        later(tickPhase);
    };
    later(nextRound);
    app.exec();

    std::printf("results list of %d rows, %d rounds, history kept:\n", kRows, kRounds);
    std::printf("  fill (append row by row): %s\n", qPrintable(Figures::summary(figures.fill)));
    std::printf("  Tick All Rows: %s (target < 100 ms); repaint after it %s\n",
                qPrintable(Figures::summary(figures.tick)),
                qPrintable(Figures::summary(figures.tickPaint)));
    std::printf("  Untick All Rows: %s\n", qPrintable(Figures::summary(figures.untick)));
    std::printf("  Tick All Rows again, right after: %s\n",
                qPrintable(Figures::summary(figures.retick)));
    std::printf("  Clear List: %s (target < 100 ms); repaint after it %s\n",
                qPrintable(Figures::summary(figures.clear)),
                qPrintable(Figures::summary(figures.clearPaint)));
    return 0;
}
