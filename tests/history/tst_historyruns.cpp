// What a resume of the command line reads of the runs that did not end.
#include "history/historystore.h"
#include "historytesting.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

class TestHistoryRuns : public QObject
{
    Q_OBJECT

private slots:
    void unfinishedAnswersAreWhatAResumeMayTake()
    {
        QTemporaryDir dir;
        HistoryStore store(dir.path());
        store.open(90, historyNow());
        const qint64 open = store.startSession(kCliProgram, QStringLiteral("a"), historyNow());
        const qint64 done = store.startSession(kCliProgram, QStringLiteral("b"), historyNow());
        const qint64 desktop = store.startSession(kDesktopProgram, {}, historyNow());
        const auto keep = [&](qint64 session, const QString& typed, bool failure,
                              const QString& status) {
            StoredAnswer a = answerFor(session, typed, {}, historyNow(), failure);
            a.program = session == desktop ? kDesktopProgram : kCliProgram;
            a.rowStatus = status;
            return store.store(a);
        };
        const qint64 answered = keep(open, QStringLiteral("2000000001"), false, "Active");
        const qint64 empty = keep(open, QStringLiteral("2000000002"), true, "Empty answer");
        keep(open, QStringLiteral("2000000003"), true, "Could not connect");
        keep(open, QStringLiteral("2000000004"), true, "Service error (HTTP 503)");
        keep(done, QStringLiteral("2000000005"), false, "Active");
        keep(desktop, QStringLiteral("2000000006"), false, "Active");
        store.endSession(done);

        const QList<RunAnswer> found = store.unfinishedAnswers(kCliProgram);
        // The empty answer was paid for; the attempts that brought nothing are asked again.
        QCOMPARE(found.size(), 2);
        QCOMPARE(found.at(0).id, answered);
        QCOMPARE(found.at(0).session, open);
        QCOMPARE(found.at(0).typed, QStringLiteral("2000000001"));
        QVERIFY(!found.at(0).failed);
        QCOMPARE(found.at(1).id, empty);
        QVERIFY(found.at(1).failed);

        // A forgotten number is no longer offered.
        store.forget(QStringLiteral("2000000001"));
        QCOMPARE(store.unfinishedAnswers(kCliProgram).size(), 1);
        store.endSession(open);
        QCOMPARE(store.unfinishedAnswers(kCliProgram).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestHistoryRuns)
#include "tst_historyruns.moc"
