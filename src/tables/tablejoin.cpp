#include "tables/tablejoin.h"

#include "shell/fileutil.h"
#include "tables/tablecolumns.h"

namespace quillmore {

namespace {

qsizetype guessed(const ColumnChoice& choice)
{
    return choice.outcome == ColumnChoice::Outcome::Found ? choice.index : -1;
}

} // namespace

ColumnQuestion columnQuestion(const Table& table)
{
    ColumnQuestion question;
    question.headers = table.header;
    // Cells beyond the header still belong to a column the user may pick.
    question.headers.resize(table.columnCount());
    question.firstRow = table.rows.value(0);
    question.firstRow.resize(question.headers.size());
    question.phoneColumn = guessed(guessPhoneColumn(table.header));
    question.countryColumn = guessed(guessCountryColumn(table.header));
    return question;
}

QStringList tableListEntries(const Table& table, const TablePlan& plan, qsizetype phoneColumn)
{
    QStringList entries;
    for (qsizetype row = 0; row < table.rows.size(); ++row) {
        const QString e164 = plan.e164(row);
        if (!e164.isEmpty()) {
            entries << e164;
            continue;
        }
        const QString cell = table.rows.at(row).value(phoneColumn);
        if (!cell.trimmed().isEmpty())
            entries << cell;
    }
    return entries;
}

QString joinKey(const QString& entry, const PhoneNumbers& numbers)
{
    const NumberClass number = numbers.classify(entry);
    return number.verdict == NumberClass::Verdict::Valid ? number.e164 : digitsOnly(entry);
}

ResultsByNumber::ResultsByNumber(const QList<ResultRecord>& records, const PhoneNumbers& numbers)
    : m_records(records)
{
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QString key = joinKey(records.at(i).number, numbers);
        if (key.isEmpty())
            continue;
        const auto known = m_byKey.constFind(key);
        if (known != m_byKey.cend() && records.at(*known).isAnswer() && !records.at(i).isAnswer())
            continue;
        m_byKey.insert(key, i);
    }
}

TableResultCells ResultsByNumber::cellsFor(const QString& e164) const
{
    const auto found = m_byKey.constFind(e164);
    if (found == m_byKey.cend())
        return {QString(), QString(), QString(), QString(), kNotLookedUpStatus};
    // The list's cells after its "Phone Number".
    TableResultCells cells = m_records.at(*found).cells.mid(1, 5);
    cells.resize(5);
    return cells;
}

} // namespace quillmore
