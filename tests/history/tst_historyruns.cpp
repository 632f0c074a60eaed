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

    // A run that reused earlier answers holds them as its own: resumed, it
    // pays for none of them again. A refusal it met is kept, and is never
    // a row to resume nor an answer to reuse.
    void adoptedAnswersAndRefusals()
    {
        QTemporaryDir dir;
        HistoryStore store(dir.path());
        store.open(90, historyNow());
        const qint64 desktop = store.startSession(kDesktopProgram, {}, historyNow());
        const qint64 earlier =
            store.store(answerFor(desktop, QStringLiteral("4135923823"),
                                  QStringLiteral("+14135923823"), historyNow().addDays(-2)));
        const qint64 run = store.startSession(kCliProgram, QStringLiteral("r"), historyNow());
        store.adopt(run, {earlier});
        StoredAnswer own = answerFor(run, QStringLiteral("2000000011"), {}, historyNow());
        own.program = kCliProgram;
        const qint64 ownId = store.store(own);
        StoredAnswer refused = answerFor(run, QStringLiteral("4030000002"), {}, historyNow());
        refused.program = kCliProgram;
        refused.answer = QStringLiteral("{\"error\":\"You have exceeded your quota limit.\"}");
        refused.httpStatus = 403;
        refused.rowStatus = QStringLiteral("Empty answer"); // what a row would resume on
        const qint64 refusal = store.storeRefusal(refused);
        QVERIFY(refusal > ownId);

        const QList<RunAnswer> found = store.unfinishedAnswers(kCliProgram);
        QCOMPARE(found.size(), 2);
        QCOMPARE(found.at(0).id, earlier);
        QCOMPARE(found.at(0).session, run);
        QCOMPARE(found.at(0).typed, QStringLiteral("4135923823"));
        QCOMPARE(found.at(1).id, ownId);
        // Adopted, the answer still belongs to the session that stored it.
        QCOMPARE(store.answers({earlier}).value(0).session, desktop);
        QCOMPARE(store.sessionRows(desktop).size(), 1);

        // The refusal: in the history as a failure, in no list, never reused.
        const QList<StoredAnswer> kept = store.answers({refusal});
        QCOMPARE(kept.size(), 1);
        QVERIFY(kept.at(0).failure);
        QCOMPARE(kept.at(0).httpStatus, 403);
        QCOMPARE(store.sessionRows(run).size(), 2);
        QVERIFY(store.reusable({QStringLiteral("4030000002")}, 30, historyNow()).isEmpty());

        store.endSession(run);
        QVERIFY(store.unfinishedAnswers(kCliProgram).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHistoryRuns)
#include "tst_historyruns.moc"
