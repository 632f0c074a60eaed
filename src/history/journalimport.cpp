#include "history/journalimport.h"

#include "export/journalformat.h"
#include "history/answerrecord.h"
#include "history/historystore.h"
#include "lookup/answer.h"
#include "numbers/phonenumbers.h"
#include "shell/fileutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace quillmore {

namespace {

const QString kImportedSuffix = QStringLiteral(".imported");
constexpr int kStatusColumn = 5;

struct JournalFile
{
    QString path;
    QString program;
    QString runKey;
};

// The desktop's sessions, oldest first, as the results journal numbered them.
QList<JournalFile> desktopJournals(const QDir& dir)
{
    static const QRegularExpression numbered(QStringLiteral("^results-([0-9]{1,18})\\.journal$"));
    QList<std::pair<qint64, QString>> sessions;
    const QStringList names =
        dir.entryList({QStringLiteral("results-*.journal")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = numbered.match(name);
        if (match.hasMatch())
            sessions.append({match.captured(1).toLongLong(), name});
    }
    std::sort(sessions.begin(), sessions.end());
    QList<JournalFile> files;
    for (const auto& session : std::as_const(sessions))
        files.append({dir.filePath(session.second), kDesktopProgram, {}});
    // The layout before numbered sessions; its files were the latest ones.
    for (const QString& legacy :
         {QStringLiteral("results.journal.previous"), QStringLiteral("results.journal")})
        if (QFileInfo(dir.filePath(legacy)).isFile())
            files.append({dir.filePath(legacy), kDesktopProgram, {}});
    return files;
}

QList<JournalFile> cliJournals(const QDir& dir)
{
    const QDir runs(dir.filePath(QStringLiteral("runs")));
    QList<JournalFile> files;
    const QFileInfoList infos =
        runs.entryInfoList({QStringLiteral("*.journal")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& info : infos)
        files.append({info.absoluteFilePath(), kCliProgram, info.completeBaseName()});
    return files;
}

bool isServiceErrorStatus(const QString& status)
{
    // The wording comes from the one place that writes it.
    static const QRegularExpression pattern(
        QStringLiteral("^") +
        QRegularExpression::escape(serviceErrorStatus(999))
            .replace(QStringLiteral("999"), QStringLiteral("[0-9]+")) +
        QStringLiteral("$"));
    return pattern.match(status).hasMatch();
}

} // namespace

StoredAnswer importedAnswer(const ResultRecord& record, const PhoneNumbers& numbers)
{
    StoredAnswer a = storedAnswerOf(record, numbers);
    // A journal kept no HTTP status: its row stands as the journal kept it,
    // named by its Status cell.
    a.httpStatus = 0;
    a.rowStatus = record.cells.value(kStatusColumn);
    a.failure = record.answer.isEmpty() || record.answer == kCouldNotConnect ||
                record.answer == kEmptyFile ||
                classifyAnswer(record.answer) != AnswerClass::Answer ||
                isServiceErrorStatus(a.rowStatus);
    return a;
}

JournalImport importJournals(HistoryStore& store, const QString& dataFolder,
                             const PhoneNumbers& numbers, bool runs)
{
    JournalImport result;
    const QDir dir(dataFolder);
    if (!QFileInfo(dataFolder).isDir())
        return result;
    const QList<JournalFile> files =
        runs ? desktopJournals(dir) + cliJournals(dir) : desktopJournals(dir);
    for (const JournalFile& journal : files) {
        // A command-line run still going holds its journal's lock; its rows
        // are taken in at a start after it ends.
        std::unique_ptr<QLockFile> lock;
        if (journal.program == kCliProgram) {
            lock = std::make_unique<QLockFile>(journal.path + QStringLiteral(".lock"));
            lock->setStaleLockTime(0);
            if (!lock->tryLock(0)) {
                result.leftOver.append(journal.path);
                continue;
            }
        }
        QFile file(journal.path);
        if (!file.open(QIODevice::ReadOnly)) {
            result.leftOver.append(journal.path);
            continue;
        }
        const QList<ResultRecord> records = replayJournal(file.readAll());
        const QDateTime time = QFileInfo(file).lastModified().toUTC();
        file.close();
        QList<StoredAnswer> rows;
        rows.reserve(records.size());
        for (const ResultRecord& record : records)
            rows.append(importedAnswer(record, numbers));
        const bool taken = store.importSession(QFileInfo(journal.path).absoluteFilePath(),
                                               journal.program, journal.runKey, time, rows);
        if (!taken && !store.canWrite()) {
            result.leftOver.append(journal.path);
            break;
        }
        if (taken) {
            ++result.files;
            result.rows += int(rows.size());
        }
        // Taken in now or at a start killed before this point.
        if (std::rename(QFile::encodeName(journal.path).constData(),
                        QFile::encodeName(journal.path + kImportedSuffix).constData()) != 0)
            result.leftOver.append(journal.path);
    }
    return result;
}

} // namespace quillmore
