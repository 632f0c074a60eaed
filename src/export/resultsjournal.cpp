#include "resultsjournal.h"

#include "errorreport.h"
#include "jsontext.h"

#include <QDir>
#include <QFileInfo>
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

// Lines are written here rather than through QJsonDocument, which would sort
// the keys and costs several times as much to read back.
QByteArray appendLine(const ResultRecord& record)
{
    QString line = QStringLiteral("{\"op\":\"append\",\"number\":");
    appendJsonString(line, record.number);
    line += QStringLiteral(",\"cells\":[");
    for (qsizetype c = 0; c < record.cells.size(); ++c) {
        if (c > 0)
            line += u',';
        appendJsonString(line, record.cells.at(c));
    }
    line += QStringLiteral("],\"answer\":");
    appendJsonString(line, record.answer);
    line += QStringLiteral("}\n");
    return line.toUtf8();
}

ResultRecord recordFrom(FlatJsonObject& object)
{
    ResultRecord record;
    record.number = std::move(object[QStringLiteral("number")].text);
    record.cells = std::move(object[QStringLiteral("cells")].list);
    record.answer = std::move(object[QStringLiteral("answer")].text);
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
        const QString line = QString::fromUtf8(text.sliced(start, end - start));
        start = end + 1;
        std::optional<FlatJsonObject> object = readFlatJsonObject(line);
        if (!object)
            continue;
        const QString op = object->value(QStringLiteral("op")).text;
        if (op == u"append") {
            rows.append(recordFrom(*object));
        } else if (op == u"remove") {
            const FlatJsonValue index = object->value(QStringLiteral("index"));
            if (index.kind == FlatJsonValue::Kind::Number && index.number >= 0 &&
                index.number < rows.size())
                rows.removeAt(index.number);
        } else if (op == u"clear") {
            rows.clear();
        }
    }
    return rows;
}

void ResultsJournal::append(const ResultRecord& record)
{
    write(appendLine(record));
}

void ResultsJournal::remove(qsizetype index)
{
    write(QByteArray("{\"op\":\"remove\",\"index\":") + QByteArray::number(index) + "}\n");
}

void ResultsJournal::clear()
{
    write(QByteArrayLiteral("{\"op\":\"clear\"}\n"));
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
