#include "cli/clioptions.h"

#include "history/historystore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cmath>

namespace quillmore::cli {

namespace {

// One line of the option table: the names the parser knows the option by, the
// name of its value (none for a switch), and its line of --help.
struct OptionSpec
{
    QStringList names;
    QString valueName;
    QString help;
    bool hidden = false;
};

// Every option, once: the parser and --help are both made from it.
const QList<OptionSpec>& optionTable()
{
    static const QList<OptionSpec> table = {
        {{QStringLiteral("output")},
         QStringLiteral("FILE"),
         QStringLiteral("write the results to FILE, replaced only when every number got its row; "
                        "an unfinished run writes FILE.partial (default: standard output)")},
        {{QStringLiteral("format")},
         QStringLiteral("FORMAT"),
         QStringLiteral("csv (default), jsonl or text (aligned columns; written when the run "
                        "ends, since the widths need every row)")},
        {{QStringLiteral("column")},
         QStringLiteral("NAME|N"),
         QStringLiteral("the phone column of a table, by its header or its number from 1; the "
                        "input is read as a table even when its name does not say so")},
        {{QStringLiteral("country-column")},
         QStringLiteral("NAME|N"),
         QStringLiteral("the column of a table that gives each row's country (default: the one "
                        "headed country, country code or region, if any)")},
        {{QStringLiteral("key-file")},
         QStringLiteral("FILE"),
         QStringLiteral("take the API key from the first line of FILE, which only its owner may "
                        "read (chmod 600 FILE)")},
        {{QStringLiteral("pause")},
         QStringLiteral("MIN[-MAX]"),
         QStringLiteral("seconds between an answer and the next request, drawn at random "
                        "(default 3-6; 0 for none)")},
        {{QStringLiteral("parallel")},
         QStringLiteral("N"),
         QStringLiteral("up to N requests at once, 1 to 16 (default 1)")},
        {{QStringLiteral("rate")},
         QStringLiteral("N"),
         QStringLiteral("at most N requests a second across all of them; fractions allowed "
                        "(default: no limit)")},
        {{QStringLiteral("max-failures")},
         QStringLiteral("N"),
         QStringLiteral("stop sending after N numbers in a row could not connect: the service "
                        "looks unreachable (default 20; 0 never stops)")},
        {{QStringLiteral("resume")},
         {},
         QStringLiteral("go on from the runs that did not finish: the numbers they have an "
                        "answer for are not sent again")},
        {{QStringLiteral("reuse")},
         QStringLiteral("DAYS"),
         QStringLiteral("send no number that has an answer younger than DAYS days in the lookup "
                        "history; its row comes from there")},
        {{QStringLiteral("region")},
         QStringLiteral("CC"),
         QStringLiteral("read numbers without a country code as numbers of CC (default: the "
                        "system's region, else US)")},
        {{QStringLiteral("skip-invalid")},
         {},
         QStringLiteral("send no request for numbers that cannot be valid phone numbers (they "
                        "would still be charged for); a table never sends them")},
        {{QStringLiteral("dry-run")},
         {},
         QStringLiteral("send nothing; say how many numbers would be sent, how many cannot be "
                        "valid or are duplicates, and how long the pauses would take")},
        {{QStringLiteral("q"), QStringLiteral("quiet")},
         {},
         QStringLiteral("no progress and no closing summary on standard error")},
        {{QStringLiteral("summary")},
         QStringLiteral("FILE"),
         QStringLiteral("write the run's figures to FILE as one JSON object: rows, paid, reused, "
                        "resumed, not_sent, by_type, by_status, top_providers")},
        {{QStringLiteral("history")},
         {},
         QStringLiteral("write the answers the lookup history keeps, in csv or jsonl (--format), "
                        "to standard output; nothing is sent")},
        {{QStringLiteral("since")},
         QStringLiteral("DATE"),
         QStringLiteral("with --history: only answers from DATE on (2026-01-31, or a UTC time "
                        "such as 2026-01-31T14:00:00Z)")},
        {{QStringLiteral("forget")},
         {},
         QStringLiteral("remove every answer the lookup history keeps for each NUMBER given in "
                        "place of the files, in whatever spelling it was looked up")},
        {{QStringLiteral("h"), QStringLiteral("help")}, {}, QStringLiteral("this text")},
        {{QStringLiteral("version")}, {}, QStringLiteral("the program's version")},
        {{QStringLiteral("journal")}, QStringLiteral("FILE"), {}, true},
    };
    return table;
}

QString optionCall(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

QString applyValue(CliOptions& o, const QString& name, const QString& value)
{
    if (name == u"--output") {
        o.output = value;
    } else if (name == u"--key-file") {
        o.keyFile = value;
    } else if (name == u"--journal") {
        // Run journals gave way to the lookup history; a script that still
        // names one must learn where its answers are now, not lose them.
        return QStringLiteral("--journal is no longer taken: every answer is kept in the lookup "
                              "history %1, which --resume reads.")
            .arg(QDir::toNativeSeparators(
                QDir(HistoryStore::defaultFolder()).filePath(HistoryStore::kFileName)));
    } else if (name == u"--column") {
        o.column = value;
    } else if (name == u"--country-column") {
        o.countryColumn = value;
    } else if (name == u"--summary") {
        o.summaryFile = value;
    } else if (name == u"--reuse") {
        bool ok = false;
        const int days = value.toInt(&ok);
        if (!ok || days < 1 || days > kMaxReuseDays)
            return QStringLiteral("--reuse takes a whole number of days from 1 to %1, not \"%2\".")
                .arg(kMaxReuseDays)
                .arg(value);
        o.reuseDays = days;
    } else if (name == u"--since") {
        o.since = parseSince(value);
        if (!o.since.isValid())
            return QStringLiteral("--since takes a date such as 2026-01-31 or a UTC time such as "
                                  "2026-01-31T14:00:00Z, not \"%1\".")
                .arg(value);
    } else if (name == u"--format") {
        if (value == u"csv")
            o.format = OutputFormat::Csv;
        else if (value == u"jsonl")
            o.format = OutputFormat::JsonLines;
        else if (value == u"text")
            o.format = OutputFormat::Text;
        else
            return QStringLiteral("--format takes csv, jsonl or text, not \"%1\".").arg(value);
    } else if (name == u"--pause") {
        if (!parsePause(value, o.pauseMin, o.pauseMax))
            return QStringLiteral("--pause takes seconds as MIN or MIN-MAX (such as 3-6 or 0), "
                                  "not \"%1\".")
                .arg(value);
    } else if (name == u"--region") {
        // The phone-number library knows regions by their two-letter codes.
        const QString code = value.toUpper();
        if (code.size() != 2 || !code.at(0).isLetter() || !code.at(1).isLetter() ||
            code.at(0).unicode() > 'Z' || code.at(1).unicode() > 'Z')
            return QStringLiteral("--region takes a two-letter country code such as US or DE, "
                                  "not \"%1\".")
                .arg(value);
        o.region = code;
    } else if (name == u"--parallel") {
        bool ok = false;
        const int n = value.toInt(&ok);
        if (!ok || n < 1 || n > kMaxParallel)
            return QStringLiteral("--parallel takes a whole number from 1 to %1, not \"%2\".")
                .arg(kMaxParallel)
                .arg(value);
        o.parallel = n;
    } else if (name == u"--rate") {
        bool ok = false;
        const double rate = value.toDouble(&ok);
        // Fewer than one request a day is a typing slip; so is a rate no
        // clock could keep.
        if (!ok || !(rate >= 1.0 / 86400) || rate > 1000)
            return QStringLiteral("--rate takes requests a second such as 5 or 0.5 (at least "
                                  "one a day, at most 1000), not \"%1\".")
                .arg(value);
        o.rate = rate;
    } else if (name == u"--max-failures") {
        bool ok = false;
        const int n = value.toInt(&ok);
        if (!ok || n < 0)
            return QStringLiteral("--max-failures takes a whole number, 0 for no limit, not "
                                  "\"%1\".")
                .arg(value);
        o.maxFailures = n;
    }
    if (value.isEmpty() && name != u"--format")
        return QStringLiteral("%1 needs a value.").arg(name);
    return {};
}

} // namespace

bool parsePause(const QString& text, double& min, double& max)
{
    const QStringList parts = text.split(u'-');
    if (parts.size() > 2)
        return false;
    bool okMin = false;
    bool okMax = true;
    const double low = parts.at(0).toDouble(&okMin);
    const double high = parts.size() == 2 ? parts.at(1).toDouble(&okMax) : low;
    // Beyond a day is a typing slip, not a pause; "nan" and "inf" read as
    // numbers but are none, and a NaN would pass every comparison below.
    if (!okMin || !okMax || !std::isfinite(low) || !std::isfinite(high) || low < 0 || high < low ||
        high > 86400)
        return false;
    min = low;
    max = high;
    return true;
}

QDateTime parseSince(const QString& text)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (day.isValid() && text.size() == 10)
        return QDateTime(day, QTime(0, 0), Qt::UTC);
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid() || !text.contains(u'T'))
        return {};
    // A time without an offset is read as UTC, as --history writes times.
    if (time.timeSpec() == Qt::LocalTime)
        time = QDateTime(time.date(), time.time(), Qt::UTC);
    return time.toUTC();
}

namespace {

// What no single option can tell: options that do not go together.
QString checkCombinations(const CliOptions& o)
{
    if (o.history && o.forget)
        return QStringLiteral("--history and --forget go one at a time.");
    if (o.since.isValid() && !o.history)
        return QStringLiteral("--since goes with --history.");
    if (o.history && !o.files.isEmpty())
        return QStringLiteral("--history reads no input; \"%1\" is left over.")
            .arg(o.files.first());
    if (o.history && o.format == OutputFormat::Text)
        return QStringLiteral("--history writes csv or jsonl.");
    if (o.forget && o.files.isEmpty())
        return QStringLiteral("--forget needs the numbers whose answers go.");
    return {};
}

} // namespace

namespace {

// A key on the command line is refused before anything else is read: the
// parser's own message would not say why.
bool namesTheKey(const QStringList& arguments)
{
    for (const QString& arg : arguments) {
        if (arg == u"--")
            return false;
        const QString name = arg.section(u'=', 0, 0);
        if (name == u"--key" || name == u"--api-key")
            return true;
    }
    return false;
}

QString parserError(const QCommandLineParser& parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("Unknown option %1.").arg(optionCall(unknown.first()));
    return parser.errorText();
}

} // namespace

ParsedOptions parseOptions(const QStringList& arguments)
{
    ParsedOptions parsed;
    CliOptions& o = parsed.options;
    if (namesTheKey(arguments)) {
        parsed.error = QStringLiteral("There is no option for the key itself: other users can "
                                      "read a command line. Use QUILLMORE_API_KEY or "
                                      "--key-file FILE.");
        return parsed;
    }
    QCommandLineParser parser;
    for (const OptionSpec& spec : optionTable()) {
        QCommandLineOption option(spec.names, spec.help, spec.valueName);
        if (spec.hidden)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    // The parser skips the program's name.
    if (!parser.parse(QStringList{QStringLiteral("quillmore-cli")} + arguments)) {
        parsed.error = parserError(parser);
        return parsed;
    }
    for (const OptionSpec& spec : optionTable()) {
        const QString& name = spec.names.constLast();
        if (spec.valueName.isEmpty() || !parser.isSet(name))
            continue;
        parsed.error = applyValue(o, optionCall(name), parser.value(name));
        if (!parsed.error.isEmpty())
            return parsed;
    }
    o.resume = parser.isSet(QStringLiteral("resume"));
    o.history = parser.isSet(QStringLiteral("history"));
    o.forget = parser.isSet(QStringLiteral("forget"));
    o.skipInvalid = parser.isSet(QStringLiteral("skip-invalid"));
    o.dryRun = parser.isSet(QStringLiteral("dry-run"));
    o.quiet = parser.isSet(QStringLiteral("quiet"));
    o.help = parser.isSet(QStringLiteral("help"));
    o.version = parser.isSet(QStringLiteral("version"));
    o.files = parser.positionalArguments();
    parsed.error = checkCombinations(o);
    return parsed;
}

namespace {

// Words of `text` in lines of at most `width` characters; a longer word stands alone.
QStringList wrapped(const QString& text, qsizetype width)
{
    QStringList lines;
    QString line;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

QString optionsHelp()
{
    constexpr qsizetype kIndent = 21;
    constexpr qsizetype kWidth = 79;
    QString text;
    for (const OptionSpec& spec : optionTable()) {
        if (spec.hidden)
            continue;
        QStringList calls;
        for (const QString& name : spec.names)
            calls << optionCall(name);
        QString head = QStringLiteral("  ") + calls.join(QStringLiteral(", "));
        if (!spec.valueName.isEmpty())
            head += u' ' + spec.valueName;
        const QStringList lines = wrapped(spec.help, kWidth - kIndent);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QString lead = i == 0 ? head : QString();
            if (i == 0 && lead.size() >= kIndent) {
                text += lead + u'\n';
                lead.clear();
            }
            text += lead.leftJustified(kIndent) + lines.at(i) + u'\n';
        }
    }
    return text;
}

} // namespace

QString helpText()
{
    return QStringLiteral(
               "Usage: quillmore-cli [OPTIONS] [FILE...]\n"
               "\n"
               "Looks up every phone number of the input against the phone-intelligence\n"
               "service and writes one result row per number, in the order of the input.\n"
               "Input: one number a line (CR LF, LF or CR); blank lines are skipped, and a\n"
               "line without a digit is never sent (its row says \"No number\"). Several\n"
               "files are read in order; FILE \"-\" or no FILE reads standard input.\n"
               "\n"
               "A FILE whose name ends in .csv, .tsv or .xlsx is a contact table (so is any\n"
               "FILE with --column): its first row names the columns, the phone column is\n"
               "the one headed phone, telephone, tel, mobile, cell, msisdn or number (with\n"
               "or without \"number\" or \"phone\" after it). Only numbers the phone-number\n"
               "library finds valid are sent, in E.164 form, each distinct number once; the\n"
               "table is written back with the columns Type, Name, Location, Provider,\n"
               "Status and E.164 after its own (csv), as one object a row (jsonl), or as\n"
               "the result columns after the phone cell (text).\n"
               "\n"
               "Options:\n") +
           optionsHelp() +
           QStringLiteral(
               "\n"
               "Examples:\n"
               "  quillmore-cli --pause 0 numbers.txt > results.csv\n"
               "  quillmore-cli contacts.csv > enriched.csv\n"
               "  quillmore-cli --column 3 --country-column Country leads.xlsx --format jsonl\n"
               "\n"
               "The API key comes from the environment variable QUILLMORE_API_KEY, else from\n"
               "--key-file, else from the key the Quillmore desktop program stored. No option\n"
               "takes the key itself: every user of the computer can read a command line.\n"
               "\n"
               "Ctrl+C (or SIGTERM) sends no new request, waits for those under way, writes\n"
               "the output and exits; a second Ctrl+C ends at once. Every answer is kept in\n"
               "the lookup history as it arrives (for \"History Days\" days, default 90), and\n"
               "--resume goes on without paying for them again.\n"
               "\n"
               "Exit status: 0 every number has a row; 1 usage or bad input, nothing sent;\n"
               "2 the service refused (quota, invalid key, withdrawn API, too many requests);\n"
               "3 some rows are \"Could not connect\", \"Empty answer\" or \"Service error\n"
               "(HTTP ...)\", or the service looked unreachable; 4 requests were sent but the\n"
               "results could not be written (the answers are kept for --resume); 130\n"
               "interrupted.\n");
}

QString versionText()
{
    return QStringLiteral("quillmore-cli ") + QCoreApplication::applicationVersion() +
           QLatin1Char('\n');
}

} // namespace quillmore::cli
