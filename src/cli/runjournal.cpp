#include "cli/runjournal.h"

#include "export/journalformat.h"

#include "export/jsontext.h"
#include "shell/errorreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmore::cli {

namespace {

constexpr int kSyncIntervalMs = 2000;
constexpr qsizetype kReadChunk = 64 * 1024;

QString systemError(int error = errno)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

RunJournal::RunJournal(QString path, QObject* parent) : QObject(parent), m_path(std::move(path))
{
    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(kSyncIntervalMs);
    // Nothing up the stack of a timer can take a Failure: it goes out as a signal.
    connect(&m_syncTimer, &QTimer::timeout, this, [this] {
        try {
            sync();
        } catch (const Failure& failure) {
            emit failed(failure);
        }
    });
}

RunJournal::~RunJournal()
{
    if (m_fd >= 0) {
        // Whoever needed to hear of a failed sync has called sync() already.
        try {
            sync();
        } catch (const Failure&) {
        }
        ::close(m_fd);
    }
}

Failure RunJournal::writeFailure(const QString& why)
{
    m_failed = true;
    return Failure(QStringLiteral("The run's journal %1 cannot be written: %2")
                       .arg(QDir::toNativeSeparators(m_path), why));
}

void RunJournal::open()
{
    const auto failure = [&](const QString& why) {
        return Failure(QStringLiteral("The run's journal %1 cannot be used: %2")
                           .arg(QDir::toNativeSeparators(m_path), why));
    };
    const QFileInfo info(m_path);
    if (info.isDir())
        throw failure(QStringLiteral("it is a folder."));
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        if (!QDir().mkpath(folder))
            throw failure(QStringLiteral("its folder cannot be created."));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
    m_lock = std::make_unique<QLockFile>(m_path + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        const bool held = m_lock->error() == QLockFile::LockFailedError;
        m_lock.reset();
        throw failure(held ? QStringLiteral("another run is using it.")
                           : QStringLiteral("its lock file cannot be made."));
    }
    m_fd = ::open(QFile::encodeName(m_path).constData(),
                  O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        throw failure(systemError() + u'.');
    struct stat st = {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw failure(QStringLiteral("it is not a plain file."));
    // A run killed in the middle of a write leaves a line without its LF;
    // the next line must not be glued to it.
    qint64 end = st.st_size;
    while (end > 0) {
        char c = 0;
        if (::pread(m_fd, &c, 1, end - 1) != 1)
            throw failure(systemError() + u'.');
        if (c == '\n')
            break;
        --end;
    }
    if (end != st.st_size && ::ftruncate(m_fd, end) != 0)
        throw failure(systemError() + u'.');
    m_size = end;
}

void RunJournal::scan(const std::function<void(qint64, ResultRecord&&)>& row) const
{
    QByteArray pending;
    qint64 lineStart = 0;
    qint64 offset = 0;
    QByteArray chunk(kReadChunk, Qt::Uninitialized);
    while (offset < m_size) {
        const ssize_t got = ::pread(m_fd, chunk.data(), size_t(chunk.size()), offset);
        if (got <= 0)
            break;
        qsizetype from = 0;
        for (qsizetype i = 0; i < got; ++i) {
            if (chunk[i] != '\n')
                continue;
            pending.append(chunk.constData() + from, i - from);
            if (std::optional<ResultRecord> record = parseLine(pending))
                row(lineStart, std::move(*record));
            pending.clear();
            from = i + 1;
            lineStart = offset + from;
        }
        pending.append(chunk.constData() + from, got - from);
        offset += got;
    }
}

qint64 RunJournal::append(const ResultRecord& record)
{
    if (!m_appendError.isEmpty())
        throw writeFailure(m_appendError);
    const QByteArray line = journalAppendLine(std::nullopt, record);
    const qint64 at = m_size;
    const ssize_t written = ::write(m_fd, line.constData(), size_t(line.size()));
    if (written != line.size()) {
        const QString why = written < 0 ? systemError() : QStringLiteral("disk full");
        // A fragment is cut off again, so the journal holds whole lines only.
        if (written > 0 && ::ftruncate(m_fd, at) != 0) {
            // The next line would be glued to the fragment and its offset
            // would point at the fragment: nothing more goes in. The next
            // open cuts the fragment off.
            m_appendError =
                why + QStringLiteral(" (its last line cannot be cut off: ") + systemError() + u')';
            throw writeFailure(m_appendError);
        }
        throw writeFailure(why);
    }
    m_size += written;
    m_dirty = true;
    if (!m_syncTimer.isActive())
        m_syncTimer.start();
    return at;
}

std::optional<ResultRecord> RunJournal::readAt(qint64 offset) const
{
    QByteArray line;
    QByteArray chunk(kReadChunk, Qt::Uninitialized);
    for (qint64 at = offset; at < m_size;) {
        const ssize_t got = ::pread(m_fd, chunk.data(), size_t(chunk.size()), at);
        if (got <= 0)
            return std::nullopt;
        const qsizetype end = QByteArrayView(chunk.constData(), got).indexOf('\n');
        if (end >= 0) {
            line.append(chunk.constData(), end);
            return parseLine(line);
        }
        line.append(chunk.constData(), got);
        at += got;
    }
    return std::nullopt;
}

void RunJournal::sync()
{
    m_syncTimer.stop();
    if (m_fd < 0 || !m_dirty)
        return;
    QElapsedTimer clock;
    clock.start();
    const int synced = ::fdatasync(m_fd);
    const int error = errno;
    m_syncNs += clock.nsecsElapsed();
    ++m_syncs;
    m_dirty = false;
    // Linux reports a failed writeback once: a later sync would pass.
    if (synced != 0)
        throw writeFailure(systemError(error));
}

void RunJournal::discard()
{
    m_syncTimer.stop();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    // After a failure the file is all there is of the answers; it stays.
    if (!m_failed)
        QFile::remove(m_path);
    m_lock.reset();
}

std::optional<ResultRecord> RunJournal::parseLine(const QByteArray& line)
{
    std::optional<FlatJsonObject> object = readFlatJsonObject(QString::fromUtf8(line));
    if (!object || object->value(QStringLiteral("op")).text != u"append")
        return std::nullopt;
    ResultRecord record;
    record.number = std::move((*object)[QStringLiteral("number")].text);
    record.cells = std::move((*object)[QStringLiteral("cells")].list);
    record.answer = std::move((*object)[QStringLiteral("answer")].text);
    restoreRowStatus(record);
    return record;
}

} // namespace quillmore::cli
