#pragma once

#include <QString>
#include <QStringList>

namespace quillmore::cli {

enum class OutputFormat { Csv, JsonLines, Text };

// What the command line asks for. Nothing here is the API key: a command line
// can be read by every user of the computer.
struct CliOptions
{
    QStringList files; // "-" is standard input; none: standard input
    QString output;    // empty: standard output
    OutputFormat format = OutputFormat::Csv;
    QString keyFile;
    QString journal; // empty: named after the input in the data folder
    double pauseMin = 3;
    double pauseMax = 6;
    int parallel = 1;
    double rate = 0;      // requests a second across all slots; 0: no limit
    int maxFailures = 20; // numbers in a row that could not connect; 0: no limit
    QString region;       // empty: the system's; see PhoneNumbers
    bool skipInvalid = false;
    bool dryRun = false;
    bool resume = false;
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

QString helpText();
QString versionText();

inline constexpr int kMaxParallel = 16;

} // namespace quillmore::cli
