#include "history/journalforget.h"

#include "export/journalformat.h"
#include "export/jsontext.h"
#include "numbers/phonenumbers.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "shell/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillmore {

namespace {

struct Lines
{
    QList<QByteArray> kept;
    int forgotten = 0; // appends of the forgotten numbers
    // A removal by position: the positions of later rows move when a row is
    // taken out, so such a file is written as the rows it rebuilds.
    bool byPosition = false;
};

QList<QFileInfo> journalsIn(const QString& dataFolder)
{
    const QDir dir(dataFolder);
    const QDir runs(dir.filePath(QStringLiteral("runs")));
    // Hidden too: the importer renames whatever it took in.
    const QDir::Filters filters = QDir::Files | QDir::Hidden | QDir::System;
    return dir.entryInfoList({QStringLiteral("*.imported"), QStringLiteral("*.journal.restored")},
                             filters, QDir::Name) +
           runs.entryInfoList({QStringLiteral("*.imported")}, filters, QDir::Name);
}

// The key the history gave this row when it was taken in.
QString keyOf(const QString& number, const PhoneNumbers& numbers)
{
    const QString e164 = numbers.classify(number).e164;
    return e164.isEmpty() ? digitsOnly(number) : e164;
}

Lines sortLines(const QByteArray& text, const QSet<QString>& keys, const PhoneNumbers& numbers)
{
    Lines lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QByteArray line = text.sliced(start, end - start);
        start = end + 1;
        const std::optional<FlatJsonObject> object = readFlatJsonObject(QString::fromUtf8(line));
        // The reader passes over a line it cannot read, so leaving it out of
        // a file written anew changes nothing it rebuilds; and a torn line
        // may hold a forgotten number.
        if (!object)
            continue;
        const FlatJsonValue op = object->value(QStringLiteral("op"));
        const FlatJsonValue number = object->value(QStringLiteral("number"));
        if (op.text == u"append" && number.kind == FlatJsonValue::Kind::Text &&
            keys.contains(keyOf(number.text, numbers))) {
            ++lines.forgotten;
            continue;
        }
        if (op.text == u"remove" && object->contains(QStringLiteral("index")))
            lines.byPosition = true;
        lines.kept.append(line + '\n');
    }
    return lines;
}

int countRows(const QList<ResultRecord>& rows, const QSet<QString>& keys,
              const PhoneNumbers& numbers)
{
    int n = 0;
    for (const ResultRecord& row : rows)
        n += keys.contains(keyOf(row.number, numbers)) ? 1 : 0;
    return n;
}

} // namespace

JournalForget forgetInJournals(const QString& dataFolder, const QSet<QString>& keys,
                               const PhoneNumbers& numbers)
{
    JournalForget result;
    if (keys.isEmpty())
        return result;
    for (const QFileInfo& info : journalsIn(dataFolder)) {
        const QString path = info.absoluteFilePath();
        const QString shown = QDir::toNativeSeparators(path);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            result.failures.append(
                QStringLiteral("The forgotten numbers may still be in %1: it cannot be read (%2).")
                    .arg(shown, file.errorString()));
            continue;
        }
        const QByteArray text = file.readAll();
        file.close();
        const Lines lines = sortLines(text, keys, numbers);
        if (lines.forgotten == 0)
            continue;
        const QList<ResultRecord> before = replayJournal(text);
        QByteArray rewritten;
        if (lines.byPosition) {
            for (const ResultRecord& row : before)
                if (!keys.contains(keyOf(row.number, numbers)))
                    rewritten += journalAppendLine(std::nullopt, row);
        } else {
            rewritten = lines.kept.join();
        }
        try {
            saveWholeFile(path, [&](QIODevice& device) { writeAllOrThrow(device, rewritten); });
        } catch (const Failure& failure) {
            result.failures.append(QStringLiteral("The forgotten numbers are still in %1: %2")
                                       .arg(shown, failure.description()));
            continue;
        }
        ++result.files;
        result.rows += countRows(before, keys, numbers);
    }
    return result;
}

} // namespace quillmore
