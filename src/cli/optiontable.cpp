#include "cli/optiontable.h"

#include "cli/clioptions.h"

namespace quillmore::cli {

const QList<OptionEntry>& optionTable()
{
    static const QList<OptionEntry> table = {
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
    for (const OptionEntry& entry : optionTable()) {
        if (entry.hidden)
            continue;
        QStringList calls;
        for (const QString& name : entry.names)
            calls << optionCall(name);
        QString head = QStringLiteral("  ") + calls.join(QStringLiteral(", "));
        if (!entry.valueName.isEmpty())
            head += u' ' + entry.valueName;
        const QStringList lines = wrapped(entry.help, kWidth - kIndent);
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

} // namespace quillmore::cli
