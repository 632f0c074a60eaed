// The results' figures: what the summary window, the clipboard's summary and
// the command line's end-of-run summary show, and the kinds a row is ticked by.
#include "export/resultsmodel.h"
#include "export/resultsorder.h"
#include "export/resultsummary.h"
#include "numbers/phonenumbers.h"

#include <QTest>

using namespace quillmore;

namespace {

ResultRecord answered(const QString& number, const QString& type, const QString& provider,
                      bool active)
{
    ResultRecord row(number, {number, type, "Name", "US", provider, active ? "Active" : "x"});
    return row;
}

ResultRecord failed(const QString& number, RowStatus status, int httpStatus = 0)
{
    ResultRecord row;
    row.number = number;
    row.cells = QStringList{number, {}, {}, {}, {}, "whatever the cell says"};
    row.status = status;
    row.httpStatus = httpStatus;
    return row;
}

ResultRecord notSent(const QString& number, NotSentReason reason)
{
    ResultRecord row = failed(number, RowStatus::NotSent);
    row.notSent = reason;
    return row;
}

// Every kind of row: answers (one naming no type and no carrier), each kind
// of failure and each reason for not sending.
QList<ResultRecord> mixedRows()
{
    return {answered("(413) 592-3823", "Mobile", "Verizon", true),
            answered("334-222-8605", "Mobile", "Verizon", true),
            answered("603-380-2932", "Landline", "AT&T", false),
            answered("212-555-0100", "Mobile", "AT&T", true),
            answered("617-555-0101", "", "", false),
            failed("312-555-0102", RowStatus::EmptyAnswer),
            failed("312-555-0103", RowStatus::CouldNotConnect),
            failed("312-555-0104", RowStatus::ServiceError, 503),
            failed("312-555-0105", RowStatus::ServiceError, 503),
            failed("312-555-0106", RowStatus::ServiceError, 500),
            notSent("call me", NotSentReason::NoNumber),
            notSent("111", NotSentReason::CannotBeValid),
            notSent("1-800-FLOWERS", NotSentReason::CannotBeValid),
            notSent("413-592-3823", NotSentReason::NotLookedUp)};
}

int total(const QList<KindCount>& counts)
{
    int sum = 0;
    for (const KindCount& kind : counts)
        sum += kind.count;
    return sum;
}

} // namespace

class TestResultSummary : public QObject
{
    Q_OBJECT
private slots:
    void figuresOfEveryKindOfRow();
    void topProviders_data();
    void topProviders();
    void validNumbers();
    void alignedText();
    void orderShown();
};

void TestResultSummary::figuresOfEveryKindOfRow()
{
    const ResultSummary s(mixedRows());
    QCOMPARE(s.rows(), 14);
    // Answers, the empty answer and the three error pages reached the service.
    QCOMPARE(s.paid(), 9);
    QCOMPARE(s.notSent(), 4);
    QCOMPARE(s.notSent(NotSentReason::NoNumber), 1);
    QCOMPARE(s.notSent(NotSentReason::CannotBeValid), 2);
    QCOMPARE(s.notSent(NotSentReason::NotLookedUp), 1);
    QCOMPARE(
        s.byType(),
        (QList<KindCount>{
            {"No answer", 5}, {"Not sent", 4}, {"Mobile", 3}, {"Landline", 1}, {"Unknown", 1}}));
    // The status comes from the typed status, not from the cell's text.
    QCOMPARE(s.byStatus(), (QList<KindCount>{{"Active", 3},
                                             {"Cannot be a valid number", 2},
                                             {"Inactive", 2},
                                             {"Service error (HTTP 503)", 2},
                                             {"Could not connect", 1},
                                             {"Empty answer", 1},
                                             {"No number", 1},
                                             {"Not looked up", 1},
                                             {"Service error (HTTP 500)", 1}}));
    QCOMPARE(s.byProvider(),
             (QList<KindCount>{
                 {"No answer", 5}, {"Not sent", 4}, {"AT&T", 2}, {"Verizon", 2}, {"Unknown", 1}}));
    for (const auto& counts : {s.byType(), s.byStatus(), s.byProvider()})
        QCOMPARE(total(counts), s.rows());
    QVERIFY(!s.hasValidCount());

    const ResultSummary none(QList<ResultRecord>{});
    QCOMPARE(none.rows(), 0);
    QCOMPARE(none.validShare(), 0.0);
    QVERIFY(none.byType().isEmpty() && none.topProviders().isEmpty());
}

void TestResultSummary::topProviders_data()
{
    QTest::addColumn<int>("providers");
    QTest::addColumn<QList<KindCount>>("top");
    // Provider i has i + 1 rows.
    const auto largest = [](int providers, int shown) {
        QList<KindCount> top;
        for (int i = providers - 1; i >= providers - shown; --i)
            top.append({QStringLiteral("P%1").arg(i, 2, 10, QLatin1Char('0')), i + 1});
        return top;
    };
    QTest::newRow("ten: no Other") << 10 << largest(10, 10);
    QTest::newRow("eleven: the smallest is Other")
        << 11 << (largest(11, 10) << KindCount{"Other", 1});
    QTest::newRow("thirteen: three in Other")
        << 13 << (largest(13, 10) << KindCount{"Other", 1 + 2 + 3});
}

void TestResultSummary::topProviders()
{
    QFETCH(int, providers);
    QFETCH(QList<KindCount>, top);
    QList<ResultRecord> rows;
    for (int i = 0; i < providers; ++i)
        for (int n = 0; n <= i; ++n)
            rows << answered("1", "Mobile", QStringLiteral("P%1").arg(i, 2, 10, QLatin1Char('0')),
                             true);
    const ResultSummary s(rows);
    QCOMPARE(s.topProviders(), top);
    QCOMPARE(total(s.topProviders()), s.rows());
}

void TestResultSummary::validNumbers()
{
    const PhoneNumbers us(QStringLiteral("US"));
    ValidNumberMemo memo(us);
    const ResultSummary s(mixedRows(), memo.test());
    QVERIFY(s.hasValidCount());
    // "call me", "111" and the letters cannot be valid; the other eleven are.
    QCOMPARE(s.validNumbers(), 11);
    QCOMPARE(s.validText(), QString("11 (78.6%)"));
}

void TestResultSummary::alignedText()
{
    QList<ResultRecord> rows;
    for (int i = 0; i < 1234; ++i)
        rows << answered("413-592-3823", "Mobile", "Verizon Wireless", true);
    rows << failed("1", RowStatus::CouldNotConnect);
    const ResultSummary s(rows, [](const QString& number) { return number != "1"; });
    QCOMPARE(s.text(), QString("Rows                 1,235\n"
                               "Paid lookups         1,234\n"
                               "Valid numbers        1,234 (99.9%)\n"
                               "\n"
                               "Type\n"
                               "  Mobile             1,234\n"
                               "  No answer              1\n"
                               "\n"
                               "Status\n"
                               "  Active             1,234\n"
                               "  Could not connect      1\n"
                               "\n"
                               "Provider\n"
                               "  Verizon Wireless   1,234\n"
                               "  No answer              1\n"));
    QVERIFY(s.text("\r\n").endsWith("No answer              1\r\n"));
}

void TestResultSummary::orderShown()
{
    ResultsModel model;
    model.append({answered("3", "mobile", "B", true), answered("1", "Landline", "A", true),
                  answered("2", "Mobile", "C", true), answered("4", "landline", "D", true)});
    ResultsOrder order(model);
    QCOMPARE(order.sourceRows(), (QList<int>{0, 1, 2, 3}));
    // Case does not order; equal texts keep their arrival order.
    order.sort(1, Qt::AscendingOrder);
    QCOMPARE(order.sourceRows(), (QList<int>{1, 3, 0, 2}));
    order.sort(1, Qt::DescendingOrder);
    QCOMPARE(order.sourceRows(), (QList<int>{0, 2, 1, 3}));
    // A row that arrives while sorted takes its place.
    model.append({answered("5", "Mobile", "E", true)});
    QCOMPARE(order.sourceRows(), (QList<int>{0, 2, 4, 1, 3}));
    QCOMPARE(order.sourceRow(2), 4);
    QCOMPARE(order.sourceRow(5), -1);
    QCOMPARE(model.table(order.sourceRows()).rows[2].cells.value(0), QString("5"));
    order.sort(-1);
    QCOMPARE(order.sourceRows(), (QList<int>{0, 1, 2, 3, 4}));
}

QTEST_GUILESS_MAIN(TestResultSummary)
#include "tst_resultsummary.moc"
