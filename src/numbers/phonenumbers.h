#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <string>

namespace quillmore {

// What the phone-number library makes of one number list entry.
struct NumberClass
{
    enum class Verdict : quint8 {
        NoDigits,      // nothing to judge: blank lines and notes are left alone
        CannotBeValid, // a lookup of it cannot be for a real number
        Valid,
    };
    Verdict verdict = Verdict::NoDigits;
    QString e164; // "+14135923823" when valid, empty otherwise

    friend bool operator==(const NumberClass&, const NumberClass&) = default;
};

// The longest entry, blanks around it left out, handed to the phone-number
// library; a longer one cannot be valid.
inline constexpr qsizetype kMaxNumberEntryLength = 250;

// Judges entries with Google's phone-number library, which knows every
// country's numbering plan; no number rule is written here. An entry
// without a country code is read as a number of the region given.
//
// The library validates against the ranges a country has allocated: a valid
// number may still be unassigned, and it cannot tell a US mobile line from a
// landline. An entry is valid only when the lookup would ask for the number
// the library read: the request carries the ASCII digits as typed, so the
// letters of "1-800-FLOWERS" (sent as 1800), an extension (its digits sent
// after the number's) and digits of other scripts (not sent at all) make an
// entry that cannot be valid, however well the library reads it.
class PhoneNumbers
{
public:
    // `region` is a two-letter ISO 3166 code; none, or one the library does
    // not know, is the US.
    explicit PhoneNumbers(const QString& region = {});

    QString region() const { return QString::fromStdString(m_region); }

    // Every judgement of an entry goes through here, so that no caller hands
    // the library an entry longer than kMaxNumberEntryLength.
    NumberClass classify(const QString& entry) const;
    QList<NumberClass> classify(const QStringList& entries) const;

    // The same judgement in another region, for a table whose rows each name
    // their country. A region the library does not know, or none, reads only
    // numbers written with their country code: a row must not be paid for as a
    // number of a country it never named.
    static NumberClass classifyInRegion(const QString& entry, const QString& region);

    // The region a table's country cell names, upper case: a two-letter region
    // code ("us", " GB ", and "UK"), a three-letter one ("USA", "deu"), a
    // country calling code ("1", "+44", "0049") or a country's name in English
    // or its own language ("Germany", "Deutschland", case aside). Empty when
    // it names none the library knows.
    static QString regionOfCountry(const QString& cell);

private:
    std::string m_region;
};

// The system locale's region: the one numbers without a country code belong
// to unless the user says otherwise; empty when the locale names none.
QString systemNumberRegion();

} // namespace quillmore
