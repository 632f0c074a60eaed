#include "history/historystore.h"

#include "history/historyschema.h"
#include "history/historysql.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QVariant>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmore {

using namespace history;

const QString HistoryStore::kFileName = QStringLiteral("history.sqlite");

namespace {

// A new session, started and last changed at `time`; gives its id.
qint64 insertSession(QSqlDatabase& db, const QString& program, const QString& runKey,
                     const QDateTime& time)
{
    QSqlQuery insert =
        prepare(db, QStringLiteral("INSERT INTO sessions (program, run_key, started_ms,"
                                   " last_change_ms) VALUES (?, ?, ?, ?)"));
    insert.addBindValue(text(program));
    insert.addBindValue(text(runKey));
    insert.addBindValue(toMs(time));
    insert.addBindValue(toMs(time));
    exec(insert);
    return insert.lastInsertId().toLongLong();
}

const QString kCompanions[] = {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")};

QString nextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("quillmore-history-%1").arg(++counter);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The folder owner-only, and the file created owner-only before SQLite sees
// it: SQLite gives its -wal and -shm files the database file's permissions.
void prepareFile(const QString& folder, const QString& path)
{
    const QFileInfo folderInfo(folder);
    if (folderInfo.exists() && !folderInfo.isDir())
        throw SqlFault{QStringLiteral("a file stands where its folder belongs."), false};
    if (!QDir().mkpath(folder))
        throw SqlFault{QStringLiteral("its folder cannot be created."), false};
    if (!QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner))
        throw SqlFault{QStringLiteral("its folder cannot be made private."), false};
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::lstat(name.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            throw SqlFault{QStringLiteral("it is not a plain file."), false};
        if ((st.st_mode & 0777) != 0600 && ::chmod(name.constData(), 0600) != 0)
            throw SqlFault{systemError() + u'.', false};
        return;
    }
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST)
        throw SqlFault{systemError() + u'.', false};
    if (fd >= 0)
        ::close(fd);
}

} // namespace

HistoryStore::HistoryStore(const QString& folder, QObject* parent)
    : QObject(parent), m_folder(folder.isEmpty() ? defaultFolder() : folder),
      m_path(QDir(m_folder).absoluteFilePath(kFileName)), m_connection(nextConnectionName())
{
    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(kSyncIntervalMs);
    connect(&m_syncTimer, &QTimer::timeout, this, &HistoryStore::sync);
}

HistoryStore::~HistoryStore()
{
    sync();
    disconnectDatabase();
}

QString HistoryStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void HistoryStore::open(int keepDays, const QDateTime& now)
{
    m_openNotice.clear();
    try {
        try {
            openFile(keepDays, now);
        } catch (const SqlFault& fault) {
            if (!fault.damaged)
                throw;
            disconnectDatabase();
            setAside(now);
            openFile(keepDays, now);
        }
    } catch (const SqlFault& fault) {
        disconnectDatabase();
        m_readable = m_writable = false;
        m_told = true;
        throw failureOf(fault);
    }
}

void HistoryStore::openFile(int keepDays, const QDateTime& now)
{
    prepareFile(m_folder, m_path);
    connectDatabase();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // A file that is no database shows itself at the first statement.
    exec(db, QStringLiteral("PRAGMA busy_timeout = %1").arg(m_busyTimeoutMs));
    const QString mode = scalar(db, QStringLiteral("PRAGMA journal_mode = WAL")).toString();
    if (mode.compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0)
        throw SqlFault{QStringLiteral("its journal cannot be switched to WAL mode."), false};
    exec(db, QStringLiteral("PRAGMA synchronous = NORMAL"));
    // Forgotten answers are overwritten, not merely unlinked from the file.
    exec(db, QStringLiteral("PRAGMA secure_delete = ON"));
    // Reuse's lists of keys never need a temporary file on a full disk.
    exec(db, QStringLiteral("PRAGMA temp_store = MEMORY"));
    // A bounded page cache, and no mapping of the file: every page of a
    // mapped history that a long run touches would count against the
    // program's memory, which must not grow with the answers.
    exec(db, QStringLiteral("PRAGMA cache_size = -8192"));
    exec(db, QStringLiteral("PRAGMA mmap_size = 0"));
    migrate(db);
    m_readable = m_writable = true;
    m_told = false;
    if (keepDays > 0)
        prune(keepDays, now);
}

void HistoryStore::connectDatabase()
{
    disconnectDatabase();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.isValid())
        throw SqlFault{QStringLiteral("the SQLite driver of Qt SQL is not installed."), false};
    db.setDatabaseName(m_path);
    if (!db.open())
        throw faultOf(db.lastError());
}

void HistoryStore::disconnectDatabase()
{
    // Its statements go before their connection.
    m_inserts.reset();
    if (m_walFd >= 0) {
        ::close(m_walFd);
        m_walFd = -1;
    }
    m_readable = m_writable = false;
    if (!QSqlDatabase::contains(m_connection))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

// The damaged file and its companions keep their contents for whoever wants
// to recover them; the store starts a new file beside them.
void HistoryStore::setAside(const QDateTime& now)
{
    const QString suffix =
        QStringLiteral(".damaged-") + now.toUTC().toString(QStringLiteral("yyyyMMddTHHmmssZ"));
    for (const QString& companion : kCompanions) {
        const QString from = m_path + companion;
        if (!QFileInfo::exists(from))
            continue;
        if (::rename(QFile::encodeName(from).constData(),
                     QFile::encodeName(m_path + suffix + companion).constData()) != 0)
            throw SqlFault{QStringLiteral("it is damaged and cannot be set aside: ") +
                               systemError() + u'.',
                           false};
    }
    m_openNotice =
        QStringLiteral("The lookup history %1 was damaged; it was set aside as %2 "
                       "and a new one was started.")
            .arg(QDir::toNativeSeparators(m_path), QDir::toNativeSeparators(m_path + suffix));
}

Failure HistoryStore::failureOf(const SqlFault& fault) const
{
    return Failure(QStringLiteral("The lookup history %1 cannot be used: %2")
                       .arg(QDir::toNativeSeparators(m_path), fault.text));
}

bool HistoryStore::guard(bool writes, const std::function<void()>& work)
{
    if (writes ? !m_writable : !m_readable)
        return false;
    try {
        work();
        return true;
    } catch (const SqlFault& fault) {
        m_writable = false;
        if (!writes)
            m_readable = false;
        if (std::exchange(m_told, true))
            return false;
        throw failureOf(fault);
    }
}

void HistoryStore::wrote()
{
    m_dirty = true;
    if (!m_syncTimer.isActive())
        m_syncTimer.start();
}

void HistoryStore::sync()
{
    m_syncTimer.stop();
    if (!m_dirty)
        return;
    m_dirty = false;
    // Another descriptor of the WAL, never closed while the connection is
    // open: closing one would not touch SQLite's locks, which live on the
    // database and -shm files.
    if (m_walFd < 0)
        m_walFd = ::open(QFile::encodeName(m_path + QStringLiteral("-wal")).constData(),
                         O_RDONLY | O_CLOEXEC);
    if (m_walFd >= 0)
        ::fdatasync(m_walFd);
}

qint64 HistoryStore::startSession(const QString& program, const QString& runKey,
                                  const QDateTime& now)
{
    qint64 id = 0;
    guard(true, [&] {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        WriteTransaction transaction(db);
        const qint64 started = insertSession(db, program, runKey, now);
        transaction.commit();
        id = started;
        wrote();
    });
    return id;
}

// The statements every answer runs, compiled once a connection.
struct HistoryStore::Inserts
{
    explicit Inserts(const QSqlDatabase& db)
        : answer(
              prepare(db, QStringLiteral("INSERT INTO answers (session_id, program,"
                                         " received_ms, number_typed, number_sent, e164,"
                                         " match_key, answer, http_status, cells, row_status,"
                                         " failure) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"))),
          list(prepare(db, QStringLiteral("INSERT INTO list_rows (session_id, answer_id)"
                                          " VALUES (?, ?)"))),
          touch(prepare(db, QStringLiteral("UPDATE sessions SET last_change_ms ="
                                           " max(last_change_ms, ?) WHERE id = ?")))
    {
    }

    // One answer into the answers and, when `listed`, its session's list,
    // inside the caller's transaction. Gives its id.
    qint64 insert(const StoredAnswer& a, bool listed = true)
    {
        const QDateTime received =
            a.received.isValid() ? a.received : QDateTime::currentDateTimeUtc();
        const QVariant values[] = {a.session,          text(a.program),   toMs(received),
                                   text(a.typed),      text(a.sent),      text(a.e164),
                                   text(a.key()),      text(a.answer),    a.httpStatus,
                                   cellsText(a.cells), text(a.rowStatus), a.failure ? 1 : 0};
        for (int i = 0; i < int(std::size(values)); ++i)
            answer.bindValue(i, values[i]);
        exec(answer);
        const qint64 id = answer.lastInsertId().toLongLong();
        if (listed) {
            list.bindValue(0, a.session);
            list.bindValue(1, id);
            exec(list);
        }
        touch.bindValue(0, toMs(received));
        touch.bindValue(1, a.session);
        exec(touch);
        return id;
    }

    QSqlQuery answer;
    QSqlQuery list;
    QSqlQuery touch;
};

HistoryStore::Inserts& HistoryStore::inserts()
{
    if (!m_inserts)
        m_inserts = std::make_unique<Inserts>(QSqlDatabase::database(m_connection, false));
    return *m_inserts;
}

qint64 HistoryStore::store(const StoredAnswer& a)
{
    qint64 id = 0;
    guard(true, [&] {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        WriteTransaction transaction(db);
        const qint64 stored = inserts().insert(a);
        transaction.commit();
        id = stored;
        wrote();
    });
    return id;
}

qint64 HistoryStore::storeRefusal(StoredAnswer a)
{
    // Whatever the caller says: a refusal is never reused nor resumed.
    a.failure = true;
    qint64 id = 0;
    guard(true, [&] {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        WriteTransaction transaction(db);
        const qint64 stored = inserts().insert(a, false);
        transaction.commit();
        id = stored;
        wrote();
    });
    return id;
}

bool HistoryStore::importSession(const QString& source, const QString& program,
                                 const QString& runKey, const QDateTime& time,
                                 const QList<StoredAnswer>& rows)
{
    bool imported = false;
    guard(true, [&] {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        WriteTransaction transaction(db);
        QSqlQuery seen = prepare(db, QStringLiteral("SELECT 1 FROM imported_files WHERE path = ?"));
        seen.addBindValue(source);
        exec(seen);
        if (seen.next())
            return;
        const qint64 id = insertSession(db, program, runKey, time);
        for (StoredAnswer row : rows) {
            row.session = id;
            row.program = program;
            row.received = time;
            inserts().insert(row);
        }
        QSqlQuery done = prepare(
            db, QStringLiteral("INSERT INTO imported_files (path, imported_ms) VALUES (?, ?)"));
        done.addBindValue(source);
        done.addBindValue(toMs(QDateTime::currentDateTimeUtc()));
        exec(done);
        transaction.commit();
        imported = true;
        wrote();
    });
    return imported;
}

} // namespace quillmore
