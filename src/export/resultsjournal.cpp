#include "resultsjournal.h"

#include "errorreport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quillmore {

namespace {

const QString kJournalName = QStringLiteral("results.journal");
const QString kPreviousSuffix = QStringLiteral(".previous");

constexpr auto kOwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr auto kOwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

Failure journalFailure(const QString& path, const QString& reason)
{
    return Failure(QStringLiteral("The results journal %1 cannot be written: %2")
                       .arg(QDir::toNativeSeparators(path), reason));
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

// The current journal becomes the previous one in a single rename, which
// replaces an older previous journal; a missing current journal means the
// last session left nothing, so neither is any older one kept.
void keepAsPrevious(const QString& current, const QString& previous)
{
    if (!QFileInfo::exists(current)) {
        QFile::remove(previous);
        return;
    }
    if (std::rename(QFile::encodeName(current).constData(),
                    QFile::encodeName(previous).constData()) != 0)
        throw journalFailure(current, QString::fromLocal8Bit(std::strerror(errno)));
}

QByteArray lineFor(const QJsonObject& object)
{
    QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    line += '\n';
    return line;
}

ResultRecord recordFrom(const QJsonObject& object)
{
    ResultRecord record;
    record.number = object.value(QLatin1String("number")).toString();
    const QJsonArray cells = object.value(QLatin1String("cells")).toArray();
    record.cells.reserve(cells.size());
    for (const QJsonValue& cell : cells)
        record.cells << cell.toString();
    record.answer = object.value(QLatin1String("answer")).toString();
    return record;
}

} // namespace

ResultsJournal::ResultsJournal(const QString& folder)
{
    const QString dir = prepareFolder(folder.isEmpty() ? defaultFolder() : folder);
    const QString current = dir + u'/' + kJournalName;
    m_previousFileName = current + kPreviousSuffix;
    keepAsPrevious(current, m_previousFileName);
    m_file.setFileName(current);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                     kOwnerOnlyFile))
        throw journalFailure(current, m_file.errorString());
}

QString ResultsJournal::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QList<ResultRecord> ResultsJournal::previousSession() const
{
    QFile file(m_previousFileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return replayJournal(file.readAll());
}

QList<ResultRecord> ResultsJournal::replayJournal(const QByteArray& text)
{
    QList<ResultRecord> rows;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QJsonDocument line = QJsonDocument::fromJson(text.sliced(start, end - start));
        start = end + 1;
        if (!line.isObject())
            continue;
        const QJsonObject object = line.object();
        const QString op = object.value(QLatin1String("op")).toString();
        if (op == QLatin1String("append")) {
            rows.append(recordFrom(object));
        } else if (op == QLatin1String("remove")) {
            const qint64 index = object.value(QLatin1String("index")).toInteger(-1);
            if (index >= 0 && index < rows.size())
                rows.removeAt(index);
        } else if (op == QLatin1String("clear")) {
            rows.clear();
        }
    }
    return rows;
}

void ResultsJournal::append(const ResultRecord& record)
{
    QJsonObject object;
    object.insert(QLatin1String("op"), QLatin1String("append"));
    object.insert(QLatin1String("number"), record.number);
    object.insert(QLatin1String("cells"), QJsonArray::fromStringList(record.cells));
    object.insert(QLatin1String("answer"), record.answer);
    write(lineFor(object));
}

void ResultsJournal::remove(qsizetype index)
{
    QJsonObject object;
    object.insert(QLatin1String("op"), QLatin1String("remove"));
    object.insert(QLatin1String("index"), qint64(index));
    write(lineFor(object));
}

void ResultsJournal::clear()
{
    write(lineFor(QJsonObject{{QLatin1String("op"), QLatin1String("clear")}}));
}

void ResultsJournal::replay(const QList<ResultRecord>& records)
{
    for (const ResultRecord& record : records)
        append(record);
}

void ResultsJournal::write(QByteArray line)
{
    if (m_lineOpen)
        line.prepend('\n');
    const qint64 written = m_file.write(line);
    // A short write leaves a fragment without its LF; the next line must not
    // be glued to it.
    m_lineOpen = written != line.size();
    if (written != line.size())
        throw journalFailure(m_file.fileName(), m_file.errorString());
}

} // namespace quillmore
