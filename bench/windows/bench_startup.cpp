// What the lookup history adds to the desktop program's start: the same
// start as the program makes it (open and prune the history, take in old
// journals, begin a session, build the main window, settle what "Restore
// Last Results" offers), timed with an empty history and with a large one,
// and the difference printed. It checks nothing.
//   QT_QPA_PLATFORM=offscreen bench_startup [answers]
#include "../history/benchanswers.h"
#include "history/historystore.h"
#include "history/journalimport.h"
#include "numbers/phonenumbers.h"
#include "support/windowfixture.h"
#include "windows/mainwindow.h"
#include "windows/resultslist.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

using namespace quillmore;
using namespace quillmore::test;

namespace {

constexpr int kStarts = 7;
constexpr int kSessions = 100;

StoredAnswer answer(qint64 i)
{
    StoredAnswer a = bench::benchAnswer(QString::number(2000000000 + i), {});
    a.failure = i % 50 == 0;
    return a;
}

// `answers` answers in kSessions sessions over the last 80 days: most of them
// command-line runs, one in ten a desktop session, the latest ones within
// the days "Restore Last Results" offers.
void fill(const QString& folder, qint64 answers)
{
    HistoryStore store(folder);
    store.open();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const qint64 perSession = answers / kSessions;
    for (int s = 0; s < kSessions; ++s) {
        QList<StoredAnswer> rows;
        rows.reserve(perSession);
        for (qint64 i = 0; i < perSession; ++i)
            rows << answer(s * perSession + i);
        const bool desktop = s % 10 == 9;
        store.importSession(QStringLiteral("bench-%1").arg(s),
                            desktop ? kDesktopProgram : kCliProgram,
                            desktop ? QString() : QStringLiteral("run%1").arg(s),
                            now.addSecs(-qint64(80 - s * 80 / kSessions) * 86400 + 60), rows);
    }
}

// One start as the program makes it; gives milliseconds.
double start(WindowFixture& fixture, const QString& folder)
{
    QElapsedTimer clock;
    clock.start();
    HistoryStore history(folder);
    history.open();
    importJournals(history, folder, PhoneNumbers(fixture.context.numberRegion), false);
    fixture.context.history = &history;
    fixture.context.historySession = history.startSession(kDesktopProgram);
    MainWindow window(fixture.context);
    window.findChild<ResultsList*>()->canRestore();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    fixture.context.history = nullptr;
    return ms;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const qint64 answers = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    WindowFixture fixture;
    const QString empty = fixture.dir.filePath(QStringLiteral("empty"));
    const QString full = fixture.dir.filePath(QStringLiteral("full"));
    QElapsedTimer clock;
    clock.start();
    fill(full, answers);
    std::printf("history of %lld answers made in %.1f s\n", static_cast<long long>(answers),
                double(clock.elapsed()) / 1e3);

    // The first start with each, then the starts after it, alternating so
    // that both meet the same machine.
    QList<double> withNone, withMany;
    const double firstNone = start(fixture, empty);
    const double firstMany = start(fixture, full);
    for (int i = 0; i < kStarts; ++i) {
        withNone << start(fixture, empty);
        withMany << start(fixture, full);
    }
    std::printf("first start:  empty history %.1f ms, %lld answers %.1f ms\n", firstNone,
                static_cast<long long>(answers), firstMany);
    std::printf("later starts (median of %d): empty %.1f ms, full %.1f ms, worst full %.1f ms\n",
                kStarts, median(withNone), median(withMany),
                *std::max_element(withMany.cbegin(), withMany.cend()));
    std::printf("the history adds %.1f ms to a start (target < 150 ms)\n",
                median(withMany) - median(withNone));
    return 0;
}
