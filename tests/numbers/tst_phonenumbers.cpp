#include "numbers/numbercheck.h"
#include "numbers/phonenumbers.h"

#include <QSignalSpy>
#include <QTest>

using namespace quillmore;

using Verdict = NumberClass::Verdict;

class PhoneNumbersTest : public QObject
{
    Q_OBJECT

private slots:
    void spellings_data();
    void spellings();
    void region_data();
    void region();
    void countryCells_data();
    void countryCells();
    void inAnotherRegion_data();
    void inAnotherRegion();
    void longListInSlices();
};

void PhoneNumbersTest::spellings_data()
{
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<QString>("e164");
    const auto valid = [](const char* name, const char* region, const QString& entry,
                          const char* e164) {
        QTest::newRow(name) << region << entry << Verdict::Valid << e164;
    };
    const auto invalid = [](const char* name, const char* region, const QString& entry) {
        QTest::newRow(name) << region << entry << Verdict::CannotBeValid << QString();
    };

    valid("US dashes", "US", "413-592-3823", "+14135923823");
    valid("US brackets", "US", "(413) 592-3823", "+14135923823");
    valid("US with + and country code", "US", "+1 (413) 592 3823", "+14135923823");
    valid("US with country code, no +", "US", "14135923823", "+14135923823");
    valid("US outer blanks", "US", "  413.592.3823 ", "+14135923823");
    valid("US read from another region with +", "DE", "+1 413 592 3823", "+14135923823");
    invalid("US area code that does not exist", "US", "111-592-3823");
    invalid("US nine digits", "US", "413-592-382");
    invalid("US eleven digits", "US", "413-592-38231");
    invalid("three digits", "US", "111");
    invalid("a date", "US", "12/31/2024");
    valid("US toll-free", "US", "1-800-356-9377", "+18003569377");
    invalid("US toll-free too short", "US", "1-800-356-937");
    // The request would ask for 1800: the letters are not sent.
    invalid("letters", "US", "1-800-FLOWERS");
    // The request would send the extension's digits after the number's.
    invalid("extension x", "US", "413-592-3823 x123");
    invalid("extension ext.", "US", "413-592-3823 ext. 123");
    // Digits of other scripts are not sent at all.
    invalid(
        "full-width digits", "US",
        QStringView(u"\uFF0B\uFF11 \uFF14\uFF11\uFF13 \uFF15\uFF19\uFF12 \uFF13\uFF18\uFF12\uFF13")
            .toString());

    valid("UK national", "GB", "020 7946 0958", "+442079460958");
    valid("UK with +", "US", "+44 20 7946 0958", "+442079460958");
    valid("UK with 00 from Germany", "DE", "0044 20 7946 0958", "+442079460958");
    valid("UK with 011 from the US", "US", "011 44 20 7946 0958", "+442079460958");
    // 00 is not the way out of the US: the library reads a national number.
    invalid("UK with 00 from the US", "US", "0044 20 7946 0958");
    invalid("UK too short", "GB", "020 7946 095");
    invalid("UK national read as a US number", "US", "020 7946 0958");
    valid("UK mobile", "GB", "07400 123456", "+447400123456");

    valid("Germany national", "DE", "030 901820", "+4930901820");
    valid("Germany with +", "US", "+49 30 901820", "+4930901820");
    invalid("Germany too long", "DE", "+49 30 9018201234567890");
    invalid("Germany too short", "DE", "030 9");

    valid("India mobile with +", "US", "+91 98765 43210", "+919876543210");
    valid("India mobile national", "IN", "098765 43210", "+919876543210");
    invalid("India mobile too short", "IN", "98765 4321");
    invalid("India range not allocated", "US", "+91 55555 55555");

    valid("Brazil mobile with +", "US", "+55 11 91234-5678", "+5511912345678");
    valid("Brazil mobile national", "BR", "(11) 91234-5678", "+5511912345678");
    invalid("Brazil mobile too long", "US", "+55 11 91234-56789");

    // The library is handed 250 characters at most: it takes minutes over a
    // long line, and would read a number at either end of one.
    const QString padded = QStringLiteral("413-592-3823").leftJustified(250, u'.');
    valid("250 characters", "US", padded, "+14135923823");
    valid("250 characters between blanks", "US", QStringLiteral("  ") + padded + u'\t',
          "+14135923823");
    invalid("251 characters", "US", padded + u'.');
    invalid("300,000 digits", "US", QString(300000, u'5'));
    invalid("a number after 300,000 blanks and dots", "US",
            QString(150000, u' ') + QString(150000, u'.') + QStringLiteral("413-592-3823"));

    QTest::newRow("empty") << "US"
                           << "" << Verdict::NoDigits << QString();
    QTest::newRow("blanks") << "US"
                            << "   " << Verdict::NoDigits << QString();
    QTest::newRow("a note") << "US"
                            << "n/a - call back" << Verdict::NoDigits << QString();
}

void PhoneNumbersTest::spellings()
{
    QFETCH(QString, region);
    QFETCH(QString, entry);
    QFETCH(Verdict, verdict);
    QFETCH(QString, e164);
    const NumberClass cls = PhoneNumbers(region).classify(entry);
    QCOMPARE(int(cls.verdict), int(verdict));
    QCOMPARE(cls.e164, e164);
}

void PhoneNumbersTest::region_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("region");
    QTest::newRow("a region the library knows") << "GB"
                                                << "GB";
    QTest::newRow("written small") << "gb"
                                   << "GB";
    QTest::newRow("none") << ""
                          << "US";
    QTest::newRow("the world, no country") << "001"
                                           << "US";
    QTest::newRow("not a region") << "ZZ"
                                  << "US";
}

void PhoneNumbersTest::region()
{
    QFETCH(QString, asked);
    QFETCH(QString, region);
    const PhoneNumbers numbers(asked);
    QCOMPARE(numbers.region(), region);
    // Numbers without a country code are read in that region: a US number is
    // not a British one, nor the other way round.
    const bool inUs = region == QLatin1String("US");
    QCOMPARE(numbers.classify(QStringLiteral("413-592-3823")).verdict,
             inUs ? Verdict::Valid : Verdict::CannotBeValid);
    QCOMPARE(numbers.classify(QStringLiteral("020 7946 0958")).verdict,
             inUs ? Verdict::CannotBeValid : Verdict::Valid);
}

void PhoneNumbersTest::countryCells_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("region");
    QTest::newRow("region code") << "GB"
                                 << "GB";
    QTest::newRow("region code, lower case and blanks") << " de "
                                                        << "DE";
    QTest::newRow("calling code") << "44"
                                  << "GB";
    QTest::newRow("calling code with +") << "+1"
                                         << "US";
    QTest::newRow("calling code with 00") << "0049"
                                          << "DE";
    QTest::newRow("English name") << "germany"
                                  << "DE";
    // What spreadsheets made outside the US and UK hold.
    QTest::newRow("three-letter code") << "USA"
                                       << "US";
    QTest::newRow("three-letter code, lower case") << "deu"
                                                   << "DE";
    QTest::newRow("UK for GB") << "UK"
                               << "GB";
    QTest::newRow("name in its own language") << "Deutschland"
                                              << "DE";
    QTest::newRow("name in one of its languages") << "Suisse"
                                                  << "CH";
    QTest::newRow("name with accents") << "España"
                                       << "ES";
    QTest::newRow("unknown code") << "XX"
                                  << "";
    QTest::newRow("calling code of no country") << "+800"
                                                << "";
    QTest::newRow("calling code that does not exist") << "999"
                                                      << "";
    QTest::newRow("too many digits") << "12345678901234567890"
                                     << "";
    QTest::newRow("unknown name") << "Narnia"
                                  << "";
}

void PhoneNumbersTest::countryCells()
{
    QFETCH(QString, cell);
    QFETCH(QString, region);
    QCOMPARE(PhoneNumbers::regionOfCountry(cell), region);
}

void PhoneNumbersTest::inAnotherRegion_data()
{
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<Verdict>("verdict");
    QTest::newRow("national number of that region") << "GB"
                                                    << "020 7946 0958" << Verdict::Valid;
    QTest::newRow("another region's national number") << "GB"
                                                      << "413-592-3823" << Verdict::CannotBeValid;
    QTest::newRow("region in small letters, blanks around") << " de "
                                                            << "030 901820" << Verdict::Valid;
    // No region: a national number is not taken for one of the US.
    QTest::newRow("no region, national number") << ""
                                                << "413-592-3823" << Verdict::CannotBeValid;
    QTest::newRow("unknown region, national number") << "XX"
                                                     << "413-592-3823" << Verdict::CannotBeValid;
    QTest::newRow("unknown region, country code given") << "XX"
                                                        << "+1 413 592 3823" << Verdict::Valid;
    QTest::newRow("no digits") << "GB"
                               << "n/a" << Verdict::NoDigits;
}

void PhoneNumbersTest::inAnotherRegion()
{
    QFETCH(QString, region);
    QFETCH(QString, entry);
    QFETCH(Verdict, verdict);
    QCOMPARE(int(PhoneNumbers::classifyInRegion(entry, region).verdict), int(verdict));
}

void PhoneNumbersTest::longListInSlices()
{
    // Three slices and a bit: the first at once, the others from the event loop.
    const PhoneNumbers numbers(QStringLiteral("US"));
    QStringList entries;
    for (int i = 0; i < 3 * NumberCheck::kSliceEntries + 7; ++i)
        entries << (i % 3 == 0   ? QStringLiteral("413-592-%1").arg(1000 + i % 9000)
                    : i % 3 == 1 ? QStringLiteral("111")
                                 : QString());
    NumberCheck check(numbers, entries);
    QSignalSpy finished(&check, &NumberCheck::finished);
    check.start();
    QCOMPARE(finished.count(), 0);
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(check.classes(), numbers.classify(entries));

    // A short list is done before start() returns.
    NumberCheck shortCheck(numbers, entries.mid(0, 5));
    QSignalSpy shortFinished(&shortCheck, &NumberCheck::finished);
    shortCheck.start();
    QCOMPARE(shortFinished.count(), 1);
    QCOMPARE(shortCheck.classes().size(), 5);
}

QTEST_GUILESS_MAIN(PhoneNumbersTest)
#include "tst_phonenumbers.moc"
