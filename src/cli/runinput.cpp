#include "cli/runinput.h"

#include "cli/inputnumbers.h"
#include "shell/errorreport.h"
#include "tables/csvtable.h"
#include "tables/tablecolumns.h"

#include <QDir>
#include <QFile>

namespace quillmore::cli {

namespace {

QString shownName(const QString& file)
{
    return file == u"-" ? QStringLiteral("standard input") : QDir::toNativeSeparators(file);
}

Table readTableInput(const QString& file)
{
    if (file != u"-") {
        if (!QFile::exists(file))
            throw Failure(QStringLiteral("Cannot read %1: no such file.").arg(shownName(file)));
        return readTableFile(file);
    }
    const QByteArray bytes = readStandardInputBytes();
    try {
        return readCsv(bytes);
    } catch (const Failure& failure) {
        throw Failure(QStringLiteral("Cannot read the table on standard input: ") +
                      failure.description());
    }
}

// The column --column or --country-column names, by number or by header.
qsizetype namedColumn(const Table& table, const QString& file, const QString& option,
                      const QString& value)
{
    const ColumnChoice choice = chooseColumn(table.header, value);
    QList<qsizetype> all;
    for (qsizetype c = 0; c < table.header.size(); ++c)
        all << c;
    switch (choice.outcome) {
    case ColumnChoice::Outcome::Found:
        return choice.index;
    case ColumnChoice::Outcome::Several:
        throw Failure(QStringLiteral("%1 \"%2\" fits several columns of %3: %4. Name one by its "
                                     "number, from 1.")
                          .arg(option, value, shownName(file),
                               describeColumns(table.header, choice.candidates)));
    case ColumnChoice::Outcome::None:
        break;
    }
    throw Failure(QStringLiteral("%1 \"%2\" names no column of %3, whose columns are %4.")
                      .arg(option, value, shownName(file), describeColumns(table.header, all)));
}

qsizetype phoneColumn(const Table& table, const QString& file, const CliOptions& options)
{
    if (!options.column.isEmpty())
        return namedColumn(table, file, QStringLiteral("--column"), options.column);
    const ColumnChoice choice = guessPhoneColumn(table.header);
    if (choice.outcome == ColumnChoice::Outcome::Found)
        return choice.index;
    if (choice.outcome == ColumnChoice::Outcome::Several)
        throw Failure(QStringLiteral("Several columns of %1 could hold the phone numbers: %2. "
                                     "Name one with --column NAME or --column N (from 1).")
                          .arg(shownName(file), describeColumns(table.header, choice.candidates)));
    QList<qsizetype> all;
    for (qsizetype c = 0; c < table.header.size(); ++c)
        all << c;
    throw Failure(QStringLiteral("No column of %1 is headed as a phone column (phone, telephone, "
                                 "mobile, cell, msisdn, number); its columns are %2. Name it "
                                 "with --column NAME or --column N (from 1).")
                      .arg(shownName(file), describeColumns(table.header, all)));
}

} // namespace

bool readsTable(const CliOptions& options)
{
    if (!options.column.isEmpty() || !options.countryColumn.isEmpty())
        return true;
    return std::any_of(options.files.cbegin(), options.files.cend(),
                       [](const QString& file) { return isTableFile(file); });
}

RunInput readRunInput(const CliOptions& options)
{
    RunInput input;
    if (!readsTable(options)) {
        input.numbers = readInputNumbers(options.files);
        return input;
    }
    // Tables of different columns cannot be one output table.
    if (options.files.size() > 1)
        throw Failure(QStringLiteral("A table is read on its own: give one table file at a time "
                                     "(%1 inputs were given).")
                          .arg(options.files.size()));
    const QString file = options.files.value(0, QStringLiteral("-"));
    input.table = readTableInput(file);
    const Table& table = *input.table;
    input.phoneColumn = phoneColumn(table, file, options);
    if (!options.countryColumn.isEmpty()) {
        input.countryColumn =
            namedColumn(table, file, QStringLiteral("--country-column"), options.countryColumn);
    } else {
        const ColumnChoice country = guessCountryColumn(table.header);
        if (country.outcome == ColumnChoice::Outcome::Found)
            input.countryColumn = country.index;
        else if (country.outcome == ColumnChoice::Outcome::Several)
            input.notices << QStringLiteral("Several columns could give each row's country (%1), "
                                            "so none is used; name one with --country-column.")
                                 .arg(describeColumns(table.header, country.candidates));
    }
    if (input.countryColumn == input.phoneColumn)
        input.countryColumn = -1;
    return input;
}

} // namespace quillmore::cli
