#include "tables/tableplan.h"

#include "numbers/phonenumbers.h"

namespace quillmore {

namespace {

QString cellAt(const QStringList& row, qsizetype column)
{
    return column >= 0 && column < row.size() ? row.at(column) : QString();
}

} // namespace

QString TablePlan::e164(qsizetype row) const
{
    const PlannedRow& planned = rows.at(row);
    return planned.outcome == PlannedRow::Outcome::Send ? lookups.at(planned.lookup).e164
                                                        : QString();
}

QString TablePlan::status(qsizetype row) const
{
    switch (rows.at(row).outcome) {
    case PlannedRow::Outcome::NoNumber:
        return kNoNumberStatus;
    case PlannedRow::Outcome::CannotBeValid:
        return kCannotBeValidStatus;
    case PlannedRow::Outcome::Send:
        break;
    }
    return {};
}

TablePlan planTable(const Table& table, qsizetype phoneColumn, qsizetype countryColumn,
                    const QString& defaultRegion)
{
    const PhoneNumbers defaultNumbers(defaultRegion);
    // Contact lists repeat numbers; the library is asked once per spelling
    // and region. The country cell as written is the key's region part, so it
    // is read into a region only once too.
    QHash<QString, QString> regions;
    QHash<QPair<QString, QString>, NumberClass> verdicts;
    QHash<QString, qsizetype> lookupOf;

    TablePlan plan;
    plan.rows.reserve(table.rows.size());
    for (qsizetype r = 0; r < table.rows.size(); ++r) {
        const QStringList& row = table.rows.at(r);
        const QString cell = cellAt(row, phoneColumn);
        const QString country = cellAt(row, countryColumn).trimmed();

        const QPair<QString, QString> key(cell, country);
        auto verdict = verdicts.constFind(key);
        if (verdict == verdicts.cend()) {
            NumberClass judged;
            if (country.isEmpty()) {
                judged = defaultNumbers.classify(cell);
            } else {
                auto region = regions.constFind(country);
                if (region == regions.cend())
                    region = regions.insert(country, PhoneNumbers::regionOfCountry(country));
                judged = PhoneNumbers::classifyInRegion(cell, *region);
            }
            verdict = verdicts.insert(key, judged);
        }

        PlannedRow planned;
        switch (verdict->verdict) {
        case NumberClass::Verdict::NoDigits:
            break;
        case NumberClass::Verdict::CannotBeValid:
            planned.outcome = PlannedRow::Outcome::CannotBeValid;
            break;
        case NumberClass::Verdict::Valid: {
            planned.outcome = PlannedRow::Outcome::Send;
            auto lookup = lookupOf.constFind(verdict->e164);
            if (lookup == lookupOf.cend()) {
                lookup = lookupOf.insert(verdict->e164, plan.lookups.size());
                plan.lookups.append({verdict->e164, {}});
            }
            planned.lookup = *lookup;
            plan.lookups[planned.lookup].rows << r;
            break;
        }
        }
        plan.rows << planned;
    }
    return plan;
}

} // namespace quillmore
