#include "export/jsonlinesexport.h"

#include "export/jsontext.h"
#include "shell/safefile.h"

#include <QBuffer>

namespace quillmore {

namespace {

constexpr qsizetype kChunkBytes = 64 * 1024;

void appendNumberClass(QString& out, const NumberClass& cls)
{
    out += QStringLiteral(",\"e164\":");
    if (cls.e164.isEmpty())
        out += QStringLiteral("null");
    else
        appendJsonString(out, cls.e164);
    out += QStringLiteral(",\"valid\":");
    switch (cls.verdict) {
    case NumberClass::Verdict::NoDigits:
        out += QStringLiteral("null");
        break;
    case NumberClass::Verdict::CannotBeValid:
        out += QStringLiteral("false");
        break;
    case NumberClass::Verdict::Valid:
        out += QStringLiteral("true");
        break;
    }
}

} // namespace

QString reusedFromText(const QDateTime& received)
{
    // Seconds are what a reader compares by; the milliseconds the history
    // keeps would only make the text harder to match.
    return received.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

// Kept verbatim rather than re-serialised, so the service's key order and
// long numbers stay as they were. Raw line breaks in valid JSON can only be
// white space between tokens; they become spaces to keep the record on one line.
void appendAnswer(QString& out, const QString& answer)
{
    if (answer.isEmpty()) {
        out += QStringLiteral("null");
        return;
    }
    if (!isJsonContainer(answer)) {
        appendJsonString(out, answer);
        return;
    }
    // Only JSON white space can stand around it now.
    QString json = answer.trimmed();
    json.replace(u'\r', u' ');
    json.replace(u'\n', u' ');
    out += json;
}

QByteArray jsonLine(const QStringList& captions, const ResultRecord& record,
                    const PhoneNumbers& numbers)
{
    QString line;
    line += QStringLiteral("{\"number\":");
    appendJsonString(line, record.number);
    appendNumberClass(line, numbers.classify(record.number));
    line += QStringLiteral(",\"row\":{");
    for (qsizetype c = 0; c < captions.size(); ++c) {
        if (c > 0)
            line += u',';
        appendJsonString(line, captions.at(c));
        line += u':';
        appendJsonString(line, c < record.cells.size() ? record.cells.at(c) : QString());
    }
    line += QStringLiteral("},\"answer\":");
    appendAnswer(line, record.answer);
    if (record.reusedFrom.isValid()) {
        line += QStringLiteral(",\"reused_from\":");
        appendJsonString(line, reusedFromText(record.reusedFrom));
    }
    line += QStringLiteral("}\n");
    return line.toUtf8();
}

void writeResultsJsonLines(const QStringList& captions, const QList<ResultRecord>& records,
                           const PhoneNumbers& numbers, QIODevice& device)
{
    QByteArray chunk;
    for (const ResultRecord& record : records) {
        chunk += jsonLine(captions, record, numbers);
        if (chunk.size() >= kChunkBytes) {
            writeAllOrThrow(device, chunk);
            chunk.clear();
        }
    }
    writeAllOrThrow(device, chunk);
}

QByteArray resultsJsonLinesBytes(const QStringList& captions, const QList<ResultRecord>& records,
                                 const PhoneNumbers& numbers)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writeResultsJsonLines(captions, records, numbers, buffer);
    return bytes;
}

void saveResultsAsJsonLines(const QStringList& captions, const QList<ResultRecord>& records,
                            const PhoneNumbers& numbers, const QString& fileName)
{
    saveWholeFile(fileName, [&](QIODevice& device) {
        writeResultsJsonLines(captions, records, numbers, device);
    });
}

} // namespace quillmore
