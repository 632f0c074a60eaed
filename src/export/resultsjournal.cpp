#include "export/resultsjournal.h"

#include "export/journalformat.h"
#include "shell/errorreport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quillmore {

namespace {

const QString kRestoredSuffix = QStringLiteral(".restored");
// The files of the layout that kept one previous session, oldest first.
const QString kLegacyNames[] = {QStringLiteral("results.journal.previous"),
                                QStringLiteral("results.journal")};
// Creating the new file gives up after this many names taken meanwhile.
constexpr int kCreateAttempts = 100;

constexpr auto kOwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr auto kOwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

Failure journalFailure(const QString& path, const QString& reason)
{
    return Failure(QStringLiteral("The results journal %1 cannot be written: %2")
                       .arg(QDir::toNativeSeparators(path), reason));
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString prepareFolder(const QString& folder)
{
    if (folder.isEmpty())
        throw Failure(QStringLiteral("There is no data folder for the results journal."));
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        throw journalFailure(folder, QStringLiteral("a file stands where its folder belongs"));
    if (!QDir().mkpath(folder))
        throw journalFailure(folder, QStringLiteral("the folder cannot be created"));
    if (!QFile::setPermissions(folder, kOwnerOnlyFolder))
        throw journalFailure(folder, QStringLiteral("the folder cannot be made private"));
    return QDir(folder).absolutePath();
}

QString sessionFileName(const QString& dir, qint64 number)
{
    return dir + QStringLiteral("/results-%1.journal").arg(number);
}

void renameFile(const QString& from, const QString& to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw journalFailure(from, systemError());
}

struct SessionFile
{
    qint64 number = 0;
    QString path;
    bool restored = false;
};

QList<SessionFile> sessionFiles(const QString& dir)
{
    static const QRegularExpression name(
        QStringLiteral("^results-([0-9]{1,18})\\.journal(\\.restored)?$"));
    QList<SessionFile> files;
    const QStringList names = QDir(dir).entryList({QStringLiteral("results-*")},
                                                  QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& entry : names) {
        const QRegularExpressionMatch match = name.match(entry);
        if (match.hasMatch())
            files.append(
                {match.captured(1).toLongLong(), dir + u'/' + entry, match.hasCaptured(2)});
    }
    std::sort(files.begin(), files.end(),
              [](const SessionFile& a, const SessionFile& b) { return a.number < b.number; });
    return files;
}

// A file that cannot be read may still hold rows: it is not one to throw away.
bool holdsNoRows(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.size() == 0 || !journalMayHoldRows(file.readAll());
}

// Takes in the files of the earlier layout as the latest sessions. Returns the
// number the next session gets.
qint64 adoptLegacyFiles(const QString& dir, qint64 next)
{
    for (const QString& legacy : kLegacyNames) {
        const QString path = dir + u'/' + legacy;
        if (QFileInfo(path).isFile())
            renameFile(path, sessionFileName(dir, next++));
    }
    return next;
}

// Removes what is no longer kept (see the class comment) and returns the
// files of the sessions kept, oldest first.
QStringList tidy(const QList<SessionFile>& files, const QDateTime& now)
{
    const QDateTime oldest = now.addDays(-ResultsJournal::kKeepDays);
    QStringList kept;
    for (const SessionFile& file : files) {
        if (file.restored || QFileInfo(file.path).lastModified() < oldest || holdsNoRows(file.path))
            QFile::remove(file.path);
        else
            kept.append(file.path);
    }
    while (kept.size() > ResultsJournal::kKeepSessions)
        QFile::remove(kept.takeFirst());
    return kept;
}

} // namespace

ResultsJournal::ResultsJournal(const QString& folder, const QDateTime& now)
{
    const QString dir = prepareFolder(folder.isEmpty() ? defaultFolder() : folder);
    QList<SessionFile> files = sessionFiles(dir);
    const qint64 highest = files.isEmpty() ? 0 : files.constLast().number;
    if (adoptLegacyFiles(dir, highest + 1) != highest + 1)
        files = sessionFiles(dir);
    m_unrestored = tidy(files, now);

    qint64 number = files.isEmpty() ? 1 : files.constLast().number + 1;
    for (int attempt = 0;; ++attempt, ++number) {
        m_file.setFileName(sessionFileName(dir, number));
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                        kOwnerOnlyFile))
            break;
        // A name taken meanwhile is passed by; any other failure is final.
        if (!QFileInfo::exists(m_file.fileName()) || attempt + 1 >= kCreateAttempts)
            throw journalFailure(m_file.fileName(), m_file.errorString());
    }
}

QString ResultsJournal::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

ResultsJournal::Session ResultsJournal::takeLatestSession()
{
    if (m_unrestored.isEmpty())
        throw Failure(QStringLiteral("No earlier results are left to restore."));
    Session session{m_unrestored.takeLast(), {}};
    QFile file(session.fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The results journal %1 cannot be read: %2")
                          .arg(QDir::toNativeSeparators(session.fileName), file.errorString()));
    session.rows = replayJournal(file.readAll());
    return session;
}

void ResultsJournal::markRestored(const Session& session)
{
    renameFile(session.fileName, session.fileName + kRestoredSuffix);
}

void ResultsJournal::append(quint64 id, const ResultRecord& record)
{
    write(journalAppendLine(id, record));
}

void ResultsJournal::remove(quint64 id)
{
    write(journalRemoveLine(id));
}

void ResultsJournal::clear()
{
    write(journalClearLine());
}

void ResultsJournal::write(QByteArray line)
{
    if (m_lineOpen)
        line.prepend('\n');
    // A write the disk takes only in part comes back short and without a
    // reason; the rest, written again, fails with it.
    for (qsizetype done = 0; done < line.size();) {
        const qint64 written = m_file.write(line.constData() + done, line.size() - done);
        if (written <= 0) {
            // A fragment without its LF; the next line must not be glued to it.
            m_lineOpen = m_lineOpen || done > 0;
            throw journalFailure(m_file.fileName(), m_file.errorString());
        }
        done += written;
    }
    m_lineOpen = false;
}

} // namespace quillmore
