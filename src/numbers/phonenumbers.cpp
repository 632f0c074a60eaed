#include "numbers/phonenumbers.h"

#include "shell/fileutil.h"

#include <QHash>
#include <QLocale>

#include <phonenumbers/phonenumberutil.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <set>

namespace quillmore {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

namespace {

const PhoneNumberUtil& library()
{
    return *PhoneNumberUtil::GetInstance();
}

NumberClass judge(const QString& untrimmed, const std::string& region)
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
    if (util.Parse(entry.toStdString(), region, &number) != PhoneNumberUtil::NO_PARSING_ERROR ||
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

bool knownRegion(const std::string& region)
{
    return library().GetCountryCodeForRegion(region) != 0;
}

// What a spreadsheet's country column may call a country, lower case, to its
// region code: the English name and the names in the country's own languages
// as Qt knows them ("germany", "deutschland"), and the three-letter ISO code
// as ICU knows it ("deu", "usa"). Built once: the table's country column asks
// for every row.
const QHash<QString, QString>& regionsByName()
{
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> byName;
        const auto add = [&](const QString& name, const QString& code) {
            if (!name.isEmpty() && code.size() == 2 && knownRegion(code.toStdString()))
                byName.insert(name.toLower(), code);
        };
        for (int t = 1; t <= int(QLocale::LastTerritory); ++t) {
            const auto territory = QLocale::Territory(t);
            add(QLocale::territoryToString(territory), QLocale::territoryToCode(territory));
        }
        for (const QLocale& locale : QLocale::matchingLocales(
                 QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
            add(locale.nativeTerritoryName(), QLocale::territoryToCode(locale.territory()));
        std::set<std::string> regions;
        library().GetSupportedRegions(&regions);
        for (const std::string& region : regions) {
            const std::string locale = "und_" + region;
            add(QString::fromLatin1(uloc_getISO3Country(locale.c_str())),
                QString::fromStdString(region));
        }
        // ISO keeps "UK" for the United Kingdom beside GB, and it is what
        // most people write.
        byName.insert(QStringLiteral("uk"), QStringLiteral("GB"));
        return byName;
    }();
    return names;
}

} // namespace

PhoneNumbers::PhoneNumbers(const QString& region) : m_region(region.toUpper().toStdString())
{
    // A region the library has no plan for would make every national number
    // unreadable, and so removable.
    if (!knownRegion(m_region))
        m_region = "US";
}

NumberClass PhoneNumbers::classify(const QString& entry) const
{
    return judge(entry, m_region);
}

QList<NumberClass> PhoneNumbers::classify(const QStringList& entries) const
{
    QList<NumberClass> classes;
    classes.reserve(entries.size());
    for (const QString& entry : entries)
        classes << classify(entry);
    return classes;
}

NumberClass PhoneNumbers::classifyInRegion(const QString& entry, const QString& region)
{
    std::string code = region.trimmed().toUpper().toStdString();
    if (!knownRegion(code))
        code = "ZZ"; // the library's "unknown region"
    return judge(entry, code);
}

QString PhoneNumbers::regionOfCountry(const QString& cell)
{
    QString text = cell.trimmed();
    if (text.startsWith(u'+'))
        text = text.sliced(1).trimmed();
    else if (text.startsWith(QLatin1String("00")))
        text = text.sliced(2);
    if (!text.isEmpty() &&
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        if (text.size() > 3)
            return {}; // no calling code is longer; toInt would wrap a long one
        std::string region;
        library().GetRegionCodeForCountryCode(text.toInt(), &region);
        // Codes shared by no country (800, 882, ...) give "001": no region to read in.
        return region.size() == 2 && region != "ZZ" ? QString::fromStdString(region) : QString();
    }
    if (text.size() == 2) {
        const QString region = text.toUpper();
        if (knownRegion(region.toStdString()))
            return region;
    }
    return regionsByName().value(text.toLower());
}

QString systemNumberRegion()
{
    const QLocale::Territory territory = QLocale::system().territory();
    return territory == QLocale::AnyTerritory ? QString() : QLocale::territoryToCode(territory);
}

} // namespace quillmore
