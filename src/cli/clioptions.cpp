#include "cli/clioptions.h"

#include "history/historystore.h"

#include <QCoreApplication>
#include <QDir>

#include <cmath>

namespace quillmore::cli {

namespace {

bool takesValue(const QString& name)
{
    static const QStringList names = {
        QStringLiteral("--output"),  QStringLiteral("--format"), QStringLiteral("--key-file"),
        QStringLiteral("--journal"), QStringLiteral("--pause"),  QStringLiteral("--parallel"),
        QStringLiteral("--region"),  QStringLiteral("--rate"),   QStringLiteral("--max-failures"),
        QStringLiteral("--reuse"),   QStringLiteral("--since"),  QStringLiteral("--summary")};
    return names.contains(name);
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

ParsedOptions parseOptions(const QStringList& arguments)
{
    ParsedOptions parsed;
    CliOptions& o = parsed.options;
    bool onlyFiles = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        if (onlyFiles || arg == u"-" || !arg.startsWith(u'-')) {
            o.files << arg;
            continue;
        }
        if (arg == u"--") {
            onlyFiles = true;
            continue;
        }
        QString name = arg;
        QString value;
        bool hasValue = false;
        const qsizetype eq = arg.indexOf(u'=');
        if (arg.startsWith(QStringLiteral("--")) && eq > 2) {
            name = arg.left(eq);
            value = arg.mid(eq + 1);
            hasValue = true;
        }
        if (name == u"--key" || name == u"--api-key") {
            parsed.error = QStringLiteral("There is no option for the key itself: other users can "
                                          "read a command line. Use QUILLMORE_API_KEY or "
                                          "--key-file FILE.");
            return parsed;
        }
        if (takesValue(name)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size()) {
                    parsed.error = QStringLiteral("%1 needs a value.").arg(name);
                    return parsed;
                }
                value = arguments.at(++i);
            }
            parsed.error = applyValue(o, name, value);
            if (!parsed.error.isEmpty())
                return parsed;
            continue;
        }
        if (hasValue) {
            parsed.error = QStringLiteral("%1 takes no value.").arg(name);
            return parsed;
        }
        if (name == u"--resume")
            o.resume = true;
        else if (name == u"--history")
            o.history = true;
        else if (name == u"--forget")
            o.forget = true;
        else if (name == u"--skip-invalid")
            o.skipInvalid = true;
        else if (name == u"--dry-run")
            o.dryRun = true;
        else if (name == u"--quiet" || name == u"-q")
            o.quiet = true;
        else if (name == u"--help" || name == u"-h")
            o.help = true;
        else if (name == u"--version")
            o.version = true;
        else
            parsed.error = QStringLiteral("Unknown option %1.").arg(name);
        if (!parsed.error.isEmpty())
            return parsed;
    }
    parsed.error = checkCombinations(o);
    return parsed;
}

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
        "Options:\n"
        "  --output FILE      write the results to FILE, replaced only when every\n"
        "                     number got its row; an unfinished run writes\n"
        "                     FILE.partial (default: standard output)\n"
        "  --format FORMAT    csv (default), jsonl or text (aligned columns; written\n"
        "                     when the run ends, since the widths need every row)\n"
        "  --key-file FILE    take the API key from the first line of FILE, which\n"
        "                     only its owner may read (chmod 600 FILE)\n"
        "  --pause MIN[-MAX]  seconds between an answer and the next request, drawn\n"
        "                     at random (default 3-6; 0 for none)\n"
        "  --parallel N       up to N requests at once, 1 to 16 (default 1)\n"
        "  --rate N           at most N requests a second across all of them;\n"
        "                     fractions allowed (default: no limit)\n"
        "  --max-failures N   stop sending after N numbers in a row could not\n"
        "                     connect: the service looks unreachable (default 20;\n"
        "                     0 never stops)\n"
        "  --resume           go on from the runs that did not finish: the numbers\n"
        "                     they have an answer for are not sent again\n"
        "  --reuse DAYS       send no number that has an answer younger than DAYS\n"
        "                     days in the lookup history; its row comes from there\n"
        "  --region CC        read numbers without a country code as numbers of CC\n"
        "                     (default: the system's region, else US)\n"
        "  --skip-invalid     send no request for numbers that cannot be valid\n"
        "                     phone numbers (they would still be charged for)\n"
        "  --dry-run          send nothing; say how many numbers would be sent, how\n"
        "                     many cannot be valid or are duplicates, and how long\n"
        "                     the pauses would take\n"
        "  --quiet            no progress and no closing summary on standard error\n"
        "  --summary FILE     write the run's figures to FILE as one JSON object:\n"
        "                     rows, paid, reused, resumed, not_sent, by_type,\n"
        "                     by_status, top_providers\n"
        "  --history          write the answers the lookup history keeps, in csv or\n"
        "                     jsonl (--format), to standard output; nothing is sent\n"
        "  --since DATE       with --history: only answers from DATE on (2026-01-31,\n"
        "                     or a UTC time such as 2026-01-31T14:00:00Z)\n"
        "  --forget NUMBER... remove every answer the lookup history keeps for each\n"
        "                     NUMBER, in whatever spelling it was looked up\n"
        "  --help             this text\n"
        "  --version          the program's version\n"
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
