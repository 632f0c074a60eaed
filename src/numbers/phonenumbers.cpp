#include "numbers/phonenumbers.h"

#include "shell/fileutil.h"

#include <QLocale>

#include <phonenumbers/phonenumberutil.h>

#include <algorithm>

namespace quillmore {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

namespace {

const PhoneNumberUtil& library()
{
    return *PhoneNumberUtil::GetInstance();
}

} // namespace

PhoneNumbers::PhoneNumbers(const QString& region) : m_region(region.toUpper().toStdString())
{
    // A region the library has no plan for would make every national number
    // unreadable, and so removable.
    if (library().GetCountryCodeForRegion(m_region) == 0)
        m_region = "US";
}

NumberClass PhoneNumbers::classify(const QString& untrimmed) const
{
    // Any script's digits count here: the library reads them, so such an entry
    // is judged rather than passed over as a note.
    if (std::none_of(untrimmed.cbegin(), untrimmed.cend(), [](QChar c) { return c.isDigit(); }))
        return {};
    const NumberClass cannotBeValid{NumberClass::Verdict::CannotBeValid, {}};
    // The library's patterns take time far beyond linear in the length of
    // what they are given (minutes for a line of 100,000 digits), and no
    // phone number, however written, comes near this length.
    const QString entry = untrimmed.trimmed();
    if (entry.size() > kMaxNumberEntryLength)
        return cannotBeValid;
    const PhoneNumberUtil& util = library();
    PhoneNumber number;
    if (util.Parse(entry.toStdString(), m_region, &number) != PhoneNumberUtil::NO_PARSING_ERROR ||
        !util.IsValidNumber(number))
        return cannotBeValid;
    // The digits the request sends must end with the number the library read
    // (a country code, trunk prefix or international prefix may stand before
    // it); otherwise the lookup paid for would be of another number.
    std::string national;
    util.GetNationalSignificantNumber(number, &national);
    if (number.has_extension() ||
        !digitsOnly(entry).endsWith(QLatin1String(national.data(), qsizetype(national.size()))))
        return cannotBeValid;
    std::string e164;
    util.Format(number, PhoneNumberUtil::E164, &e164);
    return {NumberClass::Verdict::Valid, QString::fromStdString(e164)};
}

QList<NumberClass> PhoneNumbers::classify(const QStringList& entries) const
{
    QList<NumberClass> classes;
    classes.reserve(entries.size());
    for (const QString& entry : entries)
        classes << classify(entry);
    return classes;
}

QString systemNumberRegion()
{
    const QLocale::Territory territory = QLocale::system().territory();
    return territory == QLocale::AnyTerritory ? QString() : QLocale::territoryToCode(territory);
}

} // namespace quillmore
