// The lookup history at full size: reuse of 100,000 numbers against a
// million answers, the cost of storing one answer, and the time a start
// spends opening a million-answer history against an empty one.
//   bench_history [answers] [keys] [folder]
// With a folder, the history is kept there and a later run with the same
// folder measures it again without writing it anew.
#include "benchanswers.h"
#include "history/historystore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quillmore;

namespace {

QString e164(qint64 i)
{
    return QStringLiteral("+1%1").arg(2000000000 + i);
}

StoredAnswer answer(qint64 session, qint64 i, const QDateTime& received)
{
    StoredAnswer a = bench::benchAnswer(e164(i).mid(2), received);
    a.session = session;
    a.program = kCliProgram;
    a.failure = i % 50 == 0;
    return a;
}

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

double openMs(const QString& folder)
{
    QElapsedTimer t;
    t.start();
    HistoryStore store(folder);
    store.open();
    return msSince(t);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 total = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const qint64 keys = argc > 2 ? QByteArray(argv[2]).toLongLong() : 100000;
    QTemporaryDir temporary;
    const QString kept = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    const QString folder = kept.isEmpty() ? temporary.path() : kept;
    const bool written = QFileInfo::exists(QDir(folder).filePath(HistoryStore::kFileName));
    QTemporaryDir empty;
    const QDateTime now = QDateTime::currentDateTimeUtc();

    QElapsedTimer fill;
    fill.start();
    if (!written) {
        HistoryStore store(folder);
        store.open();
        constexpr qint64 kBatch = 50000;
        for (qint64 from = 0; from < total; from += kBatch) {
            QList<StoredAnswer> rows;
            for (qint64 i = from; i < std::min(total, from + kBatch); ++i)
                rows.append(answer(0, i, now.addSecs(-(i % (60 * 86400)))));
            store.importSession(QStringLiteral("bench-%1").arg(from), kCliProgram,
                                QStringLiteral("bench"), now.addDays(-1), rows);
        }
    }
    if (written)
        std::printf("history in %s used as it is\n", qPrintable(folder));
    else
        std::printf("history of %lld answers written in %.1f s\n", total, msSince(fill) / 1000);

    // Opening: the first open reads the file into the cache; starts after it are what a user sees.
    openMs(folder);
    std::vector<double> full, none;
    for (int i = 0; i < 5; ++i) {
        full.push_back(openMs(folder));
        none.push_back(openMs(empty.path()));
    }
    std::sort(full.begin(), full.end());
    std::sort(none.begin(), none.end());
    std::printf("open: %lld answers %.1f ms, empty %.1f ms (medians of 5)\n", total, full[2],
                none[2]);

    HistoryStore store(folder);
    store.open();
    // Half the keys have answers (some only failures), half none.
    QStringList wanted;
    for (qint64 i = 0; i < keys; ++i)
        wanted << (i % 2 ? e164(i * 7 % total) : e164(total + i));
    QElapsedTimer reuse;
    reuse.start();
    const QHash<QString, ReusableAnswer> found = store.reusable(wanted, 30);
    const double findMs = msSince(reuse);
    QList<qint64> ids;
    for (const ReusableAnswer& r : found)
        ids << r.id;
    const QList<StoredAnswer> rows = store.answers(ids);
    std::printf("reuse of %lld numbers: %lld found in %.0f ms, their rows read in %.0f ms more "
                "(%.0f ms in all)\n",
                keys, qint64(rows.size()), findMs, msSince(reuse) - findMs, msSince(reuse));

    const qint64 session = store.startSession(kCliProgram, QStringLiteral("store"));
    constexpr int kStores = 2000;
    std::vector<double> each;
    for (int i = 0; i < kStores; ++i) {
        const StoredAnswer a = answer(session, total + keys + i, QDateTime::currentDateTimeUtc());
        QElapsedTimer t;
        t.start();
        store.store(a);
        each.push_back(double(t.nsecsElapsed()) / 1e3);
    }
    std::sort(each.begin(), each.end());
    std::printf("storing one answer: median %.0f us, 99th percentile %.0f us, worst %.0f us\n",
                each[kStores / 2], each[kStores * 99 / 100], each.back());
    QElapsedTimer sync;
    sync.start();
    store.sync();
    std::printf("the 2 s sync of the WAL: %.1f ms\n", msSince(sync));
    return 0;
}
