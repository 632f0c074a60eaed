#include "cli/historycommands.h"

#include "cli/clisession.h"
#include "cli/stderrdialogs.h"
#include "export/csvexport.h"
#include "export/jsonlinesexport.h"
#include "export/jsontext.h"
#include "history/historysettings.h"
#include "history/historystore.h"
#include "history/journalforget.h"
#include "history/journalimport.h"
#include "numbers/phonenumbers.h"
#include "shell/counttext.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "shell/safefile.h"
#include "shell/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace quillmore::cli {

namespace {

const QStringList kHistoryColumns =
    QStringList{
        QStringLiteral("Received (UTC)"), QStringLiteral("Program"),     QStringLiteral("Run"),
        QStringLiteral("Number Typed"),   QStringLiteral("Number Sent"), QStringLiteral("E.164"),
        QStringLiteral("HTTP Status"),    QStringLiteral("Failure")} +
    kResultCaptions;

QString timeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

PhoneNumbers phoneOf(const CliOptions& options)
{
    return PhoneNumbers(options.region.isEmpty() ? systemNumberRegion() : options.region);
}

// Opens the history as a run does: old answers pruned and the journals of
// earlier versions taken in, so that what is written or forgotten is all
// there is.
bool openHistory(HistoryStore& store, const PhoneNumbers& phone)
{
    try {
        store.open(historyDays(SettingsStore()));
        if (!store.openNotice().isEmpty())
            writeError(store.openNotice());
        importJournals(store, QFileInfo(store.fileName()).absolutePath(), phone);
    } catch (const Failure& failure) {
        writeError(failure.description());
    }
    return store.canRead();
}

} // namespace

QByteArray historyCsvHeader()
{
    return csvHeaderBytes(kHistoryColumns);
}

QByteArray historyCsvRow(const StoredAnswer& a)
{
    QStringList cells = {timeText(a.received),
                         a.program,
                         QString::number(a.session),
                         a.typed,
                         a.sent,
                         a.e164,
                         a.httpStatus == 0 ? QString() : QString::number(a.httpStatus),
                         a.failure ? QStringLiteral("yes") : QStringLiteral("no")};
    for (qsizetype c = 0; c < kResultCaptions.size(); ++c)
        cells << a.cells.value(c);
    return csvRowBytes(cells, kHistoryColumns.size());
}

QByteArray historyJsonLine(const StoredAnswer& a)
{
    QString line;
    const auto member = [&line](const char* name, const QString& value, bool nullWhenEmpty) {
        line += line.isEmpty() ? u'{' : u',';
        appendJsonString(line, QString::fromLatin1(name));
        line += u':';
        if (nullWhenEmpty && value.isEmpty())
            line += QStringLiteral("null");
        else
            appendJsonString(line, value);
    };
    member("received", timeText(a.received), false);
    member("program", a.program, false);
    line += QStringLiteral(",\"run\":") + QString::number(a.session);
    member("typed", a.typed, false);
    member("sent", a.sent, false);
    member("e164", a.e164, true);
    line += QStringLiteral(",\"http_status\":") +
            (a.httpStatus == 0 ? QStringLiteral("null") : QString::number(a.httpStatus));
    line += QStringLiteral(",\"failure\":") +
            (a.failure ? QStringLiteral("true") : QStringLiteral("false"));
    line += QStringLiteral(",\"row\":{");
    for (qsizetype c = 0; c < kResultCaptions.size(); ++c) {
        if (c > 0)
            line += u',';
        appendJsonString(line, kResultCaptions.at(c));
        line += u':';
        appendJsonString(line, a.cells.value(c));
    }
    line += QStringLiteral("},\"answer\":");
    appendAnswer(line, a.answer);
    line += QStringLiteral("}\n");
    return line.toUtf8();
}

int writeHistory(const CliOptions& options)
{
    const PhoneNumbers phone = phoneOf(options);
    HistoryStore store;
    if (!openHistory(store, phone))
        return kExitUsage;
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly)) {
        writeError(QStringLiteral("Cannot write to standard output."));
        return kExitUsage;
    }
    const bool csv = options.format == OutputFormat::Csv;
    // Many rows to one write(2): a million answers are far too many calls one by one.
    constexpr qsizetype kChunkBytes = 64 * 1024;
    QByteArray chunk = csv ? historyCsvHeader() : QByteArray();
    try {
        HistoryRows rows = store.rowsSince(
            options.since.isValid() ? options.since : QDateTime::fromMSecsSinceEpoch(0, Qt::UTC));
        while (rows.next()) {
            chunk += csv ? historyCsvRow(rows.row()) : historyJsonLine(rows.row());
            if (chunk.size() >= kChunkBytes) {
                writeAllOrThrow(out, chunk);
                chunk.clear();
            }
        }
        writeAllOrThrow(out, chunk);
        if (!out.flush())
            throw Failure(out.errorString());
        if (rows.failed()) {
            writeError(QStringLiteral("The lookup history %1 could not be read to its end.")
                           .arg(QDir::toNativeSeparators(store.fileName())));
            return kExitUsage;
        }
    } catch (const Failure& failure) {
        writeError(QStringLiteral("Cannot write the history: ") + failure.description());
        return kExitUsage;
    }
    return 0;
}

int forgetNumbers(const CliOptions& options)
{
    const PhoneNumbers phone = phoneOf(options);
    // Every number is judged before anything goes: a slip in the list
    // removes nothing at all.
    QList<QStringList> keys;
    for (const QString& number : options.files) {
        const QString digits = digitsOnly(number);
        if (digits.isEmpty()) {
            writeError(QStringLiteral("--forget: \"%1\" holds no number; nothing was removed.")
                           .arg(number));
            return kExitUsage;
        }
        const NumberClass cls = phone.classify(number);
        QStringList numberKeys = {digits};
        if (cls.verdict == NumberClass::Verdict::Valid && cls.e164 != digits)
            numberKeys.prepend(cls.e164);
        keys.append(numberKeys);
    }
    HistoryStore store;
    if (!openHistory(store, phone) || !store.canWrite())
        return kExitUsage;
    QFile out;
    out.open(stdout, QIODevice::WriteOnly);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        int removed = 0;
        try {
            for (const QString& key : keys.at(i))
                removed += store.forget(key);
        } catch (const Failure& failure) {
            writeError(failure.description());
            return kExitUsage;
        }
        if (!store.canWrite())
            return kExitUsage;
        out.write(countText("%n answer(s) of %1 removed from the lookup history.", removed)
                      .arg(options.files.at(i))
                      .toUtf8() +
                  '\n');
    }
    out.flush();
    // The journals of earlier versions, kept beside the history after it
    // took them in, hold the same answers: they go from there too.
    QSet<QString> allKeys;
    for (const QStringList& numberKeys : std::as_const(keys))
        for (const QString& key : numberKeys)
            allKeys.insert(key);
    const JournalForget journals =
        forgetInJournals(QFileInfo(store.fileName()).absolutePath(), allKeys, phone);
    for (const QString& failure : journals.failures)
        writeError(failure);
    return journals.failures.isEmpty() ? 0 : kExitUsage;
}

} // namespace quillmore::cli
