#include "tables/tablecolumns.h"

namespace quillmore {

namespace {

ColumnChoice chooseByKeys(const QStringList& header, std::initializer_list<const char*> keys)
{
    ColumnChoice choice;
    for (qsizetype c = 0; c < header.size(); ++c) {
        const QString key = headerKey(header.at(c));
        for (const char* wanted : keys) {
            if (key == QLatin1String(wanted)) {
                choice.candidates << c;
                break;
            }
        }
    }
    return choice;
}

ColumnChoice settle(ColumnChoice choice)
{
    if (choice.candidates.size() == 1) {
        choice.outcome = ColumnChoice::Outcome::Found;
        choice.index = choice.candidates.takeFirst();
    } else {
        choice.outcome = choice.candidates.isEmpty() ? ColumnChoice::Outcome::None
                                                     : ColumnChoice::Outcome::Several;
    }
    return choice;
}

} // namespace

QString headerKey(const QString& name)
{
    QString key;
    key.reserve(name.size());
    for (const QChar c : name) {
        if (c.isLetter())
            key += c.toLower();
    }
    return key;
}

ColumnChoice guessPhoneColumn(const QStringList& header)
{
    return settle(chooseByKeys(header, {"phone", "phonenumber", "telephone", "tel", "mobile",
                                        "mobilephone", "cell", "cellphone", "msisdn", "number"}));
}

ColumnChoice guessCountryColumn(const QStringList& header)
{
    return settle(chooseByKeys(header, {"country", "countrycode", "region"}));
}

ColumnChoice chooseColumn(const QStringList& header, const QString& nameOrNumber)
{
    bool isNumber = false;
    const qsizetype number = nameOrNumber.trimmed().toLongLong(&isNumber);
    if (isNumber && number >= 1 && number <= header.size())
        return settle({ColumnChoice::Outcome::None, -1, {number - 1}});
    ColumnChoice exact;
    for (qsizetype c = 0; c < header.size(); ++c) {
        if (header.at(c) == nameOrNumber)
            exact.candidates << c;
    }
    if (!exact.candidates.isEmpty())
        return settle(exact);
    // Only letters are compared now: a name of none matches nothing.
    const QString key = headerKey(nameOrNumber);
    ColumnChoice loose;
    for (qsizetype c = 0; c < header.size() && !key.isEmpty(); ++c) {
        if (headerKey(header.at(c)) == key)
            loose.candidates << c;
    }
    return settle(loose);
}

QString describeColumns(const QStringList& header, const QList<qsizetype>& columns)
{
    QStringList names;
    for (const qsizetype c : columns) {
        const QString name = c < header.size() ? header.at(c) : QString();
        names << (name.isEmpty() ? QStringLiteral("column %1").arg(c + 1) : u'"' + name + u'"');
    }
    return names.join(QStringLiteral(", "));
}

} // namespace quillmore
