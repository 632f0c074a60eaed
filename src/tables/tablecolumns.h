#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore {

// Which column of a table's header a rule picks.
struct ColumnChoice
{
    enum class Outcome : quint8 {
        Found,
        None,    // no column fits: the caller asks which one
        Several, // `candidates` fit: the caller asks which one
    };
    Outcome outcome = Outcome::None;
    qsizetype index = -1;        // 0-based, when Found
    QList<qsizetype> candidates; // 0-based, in header order, when Several

    friend bool operator==(const ColumnChoice&, const ColumnChoice&) = default;
};

// A header's name with everything but its letters left out, lower case:
// "Phone Number", "phone_number" and "PHONE-NUMBER" all give "phonenumber".
QString headerKey(const QString& name);

// The one column whose name is phone, phone number, telephone, tel, mobile,
// mobile phone, cell, cell phone, msisdn or number, its letters compared
// with case, spacing and punctuation aside ("Phone 2" counts as phone).
ColumnChoice guessPhoneColumn(const QStringList& header);

// The one column whose name is country, country code or region, compared
// likewise; it gives each row's region when there is one.
ColumnChoice guessCountryColumn(const QStringList& header);

// A column the user names: a number from 1 to the header's width picks by
// position; any other text picks the column of that exact name, else the one
// whose letters match with case and spacing aside.
ColumnChoice chooseColumn(const QStringList& header, const QString& nameOrNumber);

// The header's names for a message, each in double quotes, joined by ", ";
// an empty name is shown as its column's number.
QString describeColumns(const QStringList& header, const QList<qsizetype>& columns);

} // namespace quillmore
