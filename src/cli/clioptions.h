#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace quillmore::cli {

enum class OutputFormat { Csv, JsonLines, Text };

// What the command line asks for. Nothing here is the API key: a command line
// can be read by every user of the computer.
struct CliOptions
{
    QStringList files;   // "-" is standard input; none: standard input
    QString output;      // empty: standard output
    QString summaryFile; // --summary: the run's figures as JSON
    OutputFormat format = OutputFormat::Csv;
    QString keyFile;
    double pauseMin = 3;
    double pauseMax = 6;
    int parallel = 1;
    double rate = 0;      // requests a second across all slots; 0: no limit
    int maxFailures = 20; // numbers in a row that could not connect; 0: no limit
    QString region;       // empty: the system's; see PhoneNumbers
    bool skipInvalid = false;
    bool dryRun = false;
    bool resume = false;
    int reuseDays = 0;     // 0: nothing is reused
    bool history = false;  // write the stored answers instead of looking up
    QDateTime since;       // of --history; invalid: every stored answer
    bool forget = false;   // `files` are the numbers whose answers go
    QString column;        // --column: the table's phone column, a name or a number from 1
    QString countryColumn; // --country-column: the column of each row's country
    bool quiet = false;
    bool help = false;
    bool version = false;
};

struct ParsedOptions
{
    CliOptions options;
    QString error; // empty when the command line is sound
};

// `arguments` without the program's name.
ParsedOptions parseOptions(const QStringList& arguments);

// "MIN" or "MIN-MAX", whole or decimal seconds, MIN <= MAX. False when malformed.
bool parsePause(const QString& text, double& min, double& max);

// "YYYY-MM-DD" (the start of that day in UTC) or an ISO 8601 date and time,
// UTC unless it names its offset. Invalid when malformed.
QDateTime parseSince(const QString& text);

// The text of --help, made from the same table of options the parser reads.
QString helpText();
QString versionText();

inline constexpr int kMaxParallel = 16;
// A hundred years: anything longer is a typing slip.
inline constexpr int kMaxReuseDays = 36500;

} // namespace quillmore::cli
