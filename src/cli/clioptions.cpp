#include "cli/clioptions.h"
#include "cli/optiontable.h"

#include "history/historystore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cmath>

namespace quillmore::cli {

namespace {

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
    for (const OptionEntry& entry : optionTable()) {
        QCommandLineOption option(entry.names, entry.help, entry.valueName);
        if (entry.hidden)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    // The parser skips the program's name.
    if (!parser.parse(QStringList{QStringLiteral("quillmore-cli")} + arguments)) {
        parsed.error = parserError(parser);
        return parsed;
    }
    for (const OptionEntry& entry : optionTable()) {
        const QString& name = entry.names.constLast();
        if (entry.valueName.isEmpty() || !parser.isSet(name))
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

QString versionText()
{
    return QStringLiteral("quillmore-cli ") + QCoreApplication::applicationVersion() +
           QLatin1Char('\n');
}

} // namespace quillmore::cli
