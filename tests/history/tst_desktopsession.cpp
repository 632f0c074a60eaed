// The desktop's rows in the history: every kind of row back as it went in,
// and earlier answers found for a number list however its numbers are spelt.
#include "history/answerrecord.h"
#include "history/desktopsession.h"
#include "history/historystore.h"
#include "numbers/phonenumbers.h"

#include "historytesting.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

namespace {

ResultRecord row(const QString& number, const QString& status, RowStatus typed, int httpStatus,
                 NotSentReason notSent = NotSentReason::None)
{
    ResultRecord r;
    r.number = number;
    const bool answered = typed == RowStatus::Active || typed == RowStatus::Inactive;
    r.cells = {number,    answered ? QStringLiteral("Mobile") : QString(),
               QString(), QString(),
               QString(), status};
    r.answer = answered ? QStringLiteral("{\"line_type\":\"Mobile\"}") : QString();
    r.status = typed;
    r.httpStatus = httpStatus;
    r.notSent = notSent;
    r.lineType = answered ? QStringLiteral("Mobile") : QString();
    return r;
}

} // namespace

class TestDesktopSession : public QObject
{
    Q_OBJECT
private slots:
    void everyRowComesBackAsItWent_data();
    void everyRowComesBackAsItWent();
    void earlierVersionsRowsReadTheirStatusCell();
    void earlierAnswersAcrossSpellings_data();
    void earlierAnswersAcrossSpellings();
    void refusalKeptButNeverARow();
};

void TestDesktopSession::everyRowComesBackAsItWent_data()
{
    QTest::addColumn<ResultRecord>("record");
    QTest::addColumn<QString>("storedName");
    QTest::addColumn<bool>("failure");
    QTest::newRow("active") << row("4135923823", "Active", RowStatus::Active, 200) << "Active"
                            << false;
    QTest::newRow("inactive, 203")
        << row("4135923823", "Inactive", RowStatus::Inactive, 203) << "Inactive" << false;
    QTest::newRow("empty answer") << row("1", kEmptyAnswerStatus, RowStatus::EmptyAnswer, 200)
                                  << "EmptyAnswer" << true;
    QTest::newRow("could not connect")
        << row("1", "Could not connect", RowStatus::CouldNotConnect, 0) << "CouldNotConnect"
        << true;
    QTest::newRow("service error")
        << row("1", "Service error (HTTP 503)", RowStatus::ServiceError, 503) << "ServiceError"
        << true;
    QTest::newRow("not sent, no number")
        << row("n/a", kNoNumberStatus, RowStatus::NotSent, 0, NotSentReason::NoNumber)
        << "NotSent/NoNumber" << true;
    QTest::newRow("not sent, cannot be valid")
        << row("111", kCannotBeValidStatus, RowStatus::NotSent, 0, NotSentReason::CannotBeValid)
        << "NotSent/CannotBeValid" << true;
}

void TestDesktopSession::everyRowComesBackAsItWent()
{
    QFETCH(ResultRecord, record);
    QFETCH(QString, storedName);
    QFETCH(bool, failure);
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    store.open();
    const PhoneNumbers numbers(QStringLiteral("US"));
    DesktopSession session(&store, store.startSession(kDesktopProgram), numbers);
    session.rowArrived(7, record, historyNow());

    const QList<StoredAnswer> stored = store.sessionRows(session.id());
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0].rowStatus, storedName);
    QCOMPARE(stored[0].failure, failure);
    QCOMPARE(stored[0].program, kDesktopProgram);
    QCOMPARE(stored[0].received, historyNow());
    QCOMPARE(stored[0].httpStatus, record.httpStatus);
    const ResultRecord back = recordOf(stored[0]);
    QCOMPARE(back.number, record.number);
    QCOMPARE(back.cells, record.cells);
    QCOMPARE(back.answer, record.answer);
    QCOMPARE(back.status, record.status);
    QCOMPARE(back.notSent, record.notSent);
    QCOMPARE(back.lineType, record.lineType);
    QCOMPARE(back.httpStatus, record.httpStatus);
    QVERIFY(!back.ticked);
}

void TestDesktopSession::earlierVersionsRowsReadTheirStatusCell()
{
    // What the journal import stores: the Status cell as the row status.
    StoredAnswer imported;
    imported.cells = {"4135923823", {}, {}, {}, {}, "Service error (HTTP 502)"};
    imported.rowStatus = imported.cells.value(5);
    ResultRecord back = recordOf(imported);
    QCOMPARE(back.status, RowStatus::ServiceError);
    QCOMPARE(back.httpStatus, 502);
    imported.cells = {"4135923823", "Landline", {}, {}, {}, "Active"};
    imported.rowStatus = imported.cells.value(5);
    back = recordOf(imported);
    QCOMPARE(back.status, RowStatus::Active);
    QCOMPARE(back.lineType, QString("Landline"));
    // A stored name with a reason it does not know is no name of ours.
    imported.cells = {"1", {}, {}, {}, {}, kNotLookedUpStatus};
    imported.rowStatus = QStringLiteral("NotSent/Unheard");
    back = recordOf(imported);
    QCOMPARE(back.status, RowStatus::NotSent);
    QCOMPARE(back.notSent, NotSentReason::NotLookedUp);
}

void TestDesktopSession::earlierAnswersAcrossSpellings_data()
{
    QTest::addColumn<int>("days");
    QTest::addColumn<QList<int>>("answered");
    // 0 "(413) 592-3823" and 4 "413.592.3823" share the answer stored for
    // "+1 413 592 3823"; 2 "1-2345" has no E.164 form and matches by digits;
    // 3 was answered 31 days ago; 1 has no digits; 5 only ever failed.
    QTest::newRow("30 days") << 30 << QList<int>{0, 2, 4};
    QTest::newRow("31 days: one exactly that old is not younger") << 31 << QList<int>{0, 2, 4};
    QTest::newRow("32 days") << 32 << QList<int>{0, 2, 3, 4};
    QTest::newRow("1 day") << 1 << QList<int>{};
}

void TestDesktopSession::earlierAnswersAcrossSpellings()
{
    QFETCH(int, days);
    QFETCH(QList<int>, answered);
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    store.open(HistoryStore::kKeepDays, historyNow());
    const qint64 earlier = store.startSession(kCliProgram, {}, historyNow().addDays(-40));
    const QDateTime tenDays = historyNow().addDays(-10);
    const qint64 spelt =
        store.store(answerFor(earlier, "+1 413 592 3823", "+14135923823", tenDays));
    // A newer attempt at the same number failed: the answer before it stands.
    store.store(answerFor(earlier, "4135923823", "+14135923823", historyNow().addDays(-1), true));
    const qint64 digits = store.store(answerFor(earlier, "12345", {}, historyNow().addDays(-5)));
    const qint64 old =
        store.store(answerFor(earlier, "603 380 2932", "+16033802932", historyNow().addDays(-31)));
    store.store(answerFor(earlier, "7605467993", "+17605467993", historyNow(), true));

    const QStringList entries{"(413) 592-3823", "n/a",          "1-2345",
                              "6033802932",     "413.592.3823", "760-546-7993"};
    const PhoneNumbers numbers(QStringLiteral("US"));
    DesktopSession session(&store, store.startSession(kDesktopProgram, {}, historyNow()), numbers);
    const DesktopSession::Rows found =
        session.earlierAnswers(entries, numbers.classify(entries), days, historyNow());

    QCOMPARE(found.entries, answered);
    QCOMPARE(found.rows.size(), answered.size());
    QCOMPARE(found.answerIds.size(), answered.size());
    const QHash<int, std::pair<qint64, QDateTime>> expected{{0, {spelt, tenDays}},
                                                            {2, {digits, historyNow().addDays(-5)}},
                                                            {3, {old, historyNow().addDays(-31)}},
                                                            {4, {spelt, tenDays}}};
    for (qsizetype n = 0; n < answered.size(); ++n) {
        const int entry = answered[n];
        QCOMPARE(found.rows[n].number, entries[entry]);
        QCOMPARE(found.answerIds[n], expected[entry].first);
        QCOMPARE(found.rows[n].reusedFrom, expected[entry].second);
        QCOMPARE(found.rows[n].status, RowStatus::Active);
        QVERIFY(!found.rows[n].cells.isEmpty());
    }
}

// The service refused the key: the attempt is in the history, once, but the
// list gains no row, a restore brings none back and no list reuses it.
void TestDesktopSession::refusalKeptButNeverARow()
{
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    store.open(HistoryStore::kKeepDays, historyNow());
    const PhoneNumbers numbers(QStringLiteral("US"));
    DesktopSession session(&store, store.startSession(kDesktopProgram, {}, historyNow()), numbers);
    const QString refusal =
        QStringLiteral("{\"error\":{\"message\":\"You have exceeded your quota limit.\"}}");
    session.refusalArrived(QStringLiteral("(413) 592-3823"), refusal, 403, historyNow());

    HistoryRows rows = store.rowsSince(historyNow().addDays(-1));
    QVERIFY(rows.next());
    const StoredAnswer kept = rows.row();
    QVERIFY(!rows.next());
    QCOMPARE(kept.typed, QStringLiteral("(413) 592-3823"));
    QCOMPARE(kept.e164, QStringLiteral("+14135923823"));
    QCOMPARE(kept.answer, refusal);
    QCOMPARE(kept.httpStatus, 403);
    QVERIFY(kept.failure);
    QCOMPARE(store.sessionRows(session.id()).size(), 0);
    QVERIFY(session
                .earlierAnswers({QStringLiteral("4135923823")},
                                {numbers.classify(QStringLiteral("4135923823"))}, 30, historyNow())
                .answerIds.isEmpty());
}

QTEST_GUILESS_MAIN(TestDesktopSession)
#include "tst_desktopsession.moc"
