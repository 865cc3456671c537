#include "catalogue/Connection.h"

#include "catalogue/Schema.h"
#include "catalogue/Statement.h"
#include "catalogue/searchindex/NameFunction.h"
#include "common/TessaroError.h"

#include <QFileInfo>
#include <QUrl>
#include <memory>
#include <sqlite3.h>

Connection::Connection() = default;

Connection::~Connection()
{
    disconnect();
}

void Connection::connect(const QString& path, Access access)
{
    disconnect();
    if (access == Access::Create) {
        open(path, false, nullptr, true);
        return;
    }
    const QFileInfo info(path);
    if (!info.isFile())
        throw TessaroError(QStringLiteral("Catalogue file not found: %1").arg(path));
    // WAL needs its -shm and -wal files beside the catalogue: a catalogue whose folder
    // or file cannot be written is opened read-only.
    const bool writable = info.isWritable() && QFileInfo(info.absolutePath()).isWritable();
    try {
        // Another program's database, or an empty file, must come out as it went in: its
        // tables are looked at through a read-only connection, which never switches a file to
        // WAL nor writes on closing, before the catalogue is opened for writing.
        open(path, true, nullptr);
        checkTables();
        if (writable && access == Access::ReadWrite) {
            disconnect();
            open(path, false, nullptr);
            checkTables();
        }
    } catch (const TessaroError&) {
        disconnect();
        if (writable)
            throw;
        openWithoutSharedMemory(path);
    }
    try {
        checkViews();
        checkTriggers();
    } catch (...) {
        disconnect();
        throw;
    }
}

// SQLite cannot make the shared-memory file that indexes the log in a folder it may not write.
// Without a log the catalogue is read as immutable. Committed changes may still sit in the
// log, though, and skipping it would show an older or empty catalogue: the log is then read
// into private memory instead (exclusive locking mode keeps the index of the log on the heap;
// the "unix-none" file system takes no locks, which a read-only descriptor could not hold).
void Connection::openWithoutSharedMemory(const QString& path)
{
    const QFileInfo log(path + QStringLiteral("-wal"));
    const bool logged = log.exists() && log.size() > 0;
    try {
        if (logged) {
            if (!sqlite3_vfs_find("unix-none"))
                throw TessaroError(QString());
            open(path, true, "vfs=unix-none");
            exec("PRAGMA locking_mode=EXCLUSIVE");
        } else {
            open(path, true, "immutable=1");
        }
        checkTables();
    } catch (const TessaroError& error) {
        disconnect();
        if (!logged)
            throw;
        throw TessaroError(QStringLiteral("The latest changes to the catalogue are in %1, which cannot be "
                                          "read without write access to its folder")
                               .arg(log.absoluteFilePath()));
    }
}

void Connection::open(const QString& path, bool readOnly, const char* how, bool create)
{
    QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded();
    if (readOnly)
        uri += "?mode=ro";
    if (how)
        uri.append('&').append(how);
    // One thread uses a connection at a time: no mutex around each of SQLite's calls.
    const int flags = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX |
                      (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      (create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(uri.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close_v2(db);
        throw TessaroError(text);
    }
    db_ = db;
    readOnly_ = readOnly;
    path_ = path;
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, DefaultBusyTimeoutMs);
    // The file is data, not code: no writing to the schema by hand, and no function in a
    // trigger, view or generated column that could do harm.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_set_authorizer(db_, &Connection::authorize, this);
    if (!NameFunction::install(db_))
        raise();
    if (!readOnly) {
        // A committed disc must survive a power cut; WAL lets another instance read meanwhile.
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=FULL");
    }
}

void Connection::checkTables()
{
    exec("select id, etichetta, tipo, data from cd limit 0");
    exec("select id, id_cd, nome, path, estensione, dimensione, data from files limit 0");
}

void Connection::checkViews()
{
    // A view in place of one of the program's tables could run its statements without end.
    Statement views(*this,
                    "select name from sqlite_master where type = 'view' and "
                    "lower(name) in ('cd', 'files', 'search_index', 'search_index_piece', 'disc_record') "
                    "order by name");
    if (views.step())
        throw TessaroError(QStringLiteral("%1 in the catalogue is a view, not a table")
                               .arg(QString::fromUtf8(views.text(0).data())));
}

void Connection::checkTriggers()
{
    foreignTriggers_ = Schema::triggers(*this).foreign;
}

void Connection::checkWritable()
{
    checkTriggers();
    if (!foreignTriggers_.isEmpty())
        throw TessaroError(refusal());
}

void Connection::setTriggersEnabled(bool enabled)
{
    if (!db_)
        raise();
    // SQLite leaves a trigger's work out of a statement when it prepares it, and changing the
    // setting has every prepared statement prepared again.
    if (sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, enabled ? 1 : 0, nullptr) != SQLITE_OK)
        raise();
}

QString Connection::refusal() const
{
    return QStringLiteral("The catalogue holds triggers that Tessaro did not make (%1); it can be searched "
                          "but not changed until they are removed")
        .arg(foreignTriggers_.join(QStringLiteral(", ")));
}

// While the catalogue holds foreign triggers, statements that change it are not even prepared.
int Connection::authorize(void* self, int action, const char*, const char*, const char*, const char*)
{
    if (static_cast<const Connection*>(self)->foreignTriggers_.isEmpty())
        return SQLITE_OK;
    switch (action) {
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_VIEW:
    case SQLITE_CREATE_VTABLE:
    case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_TRIGGER:
    case SQLITE_DROP_VIEW:
    case SQLITE_DROP_VTABLE:
    case SQLITE_ALTER_TABLE:
    case SQLITE_REINDEX:
    case SQLITE_ANALYZE:
        return SQLITE_DENY;
    default:
        return SQLITE_OK;
    }
}

void Connection::disconnect() noexcept
{
    if (!db_)
        return;
    finalizeAll();
    sqlite3_close_v2(db_);
    db_ = nullptr;
    readOnly_ = false;
    foreignTriggers_.clear();
}

void Connection::finalizeAll() noexcept
{
    cachedByText_.clear();
    for (Cached& entry : cache_)
        sqlite3_finalize(entry.stmt);
    cache_.clear();
}

QString Connection::errorText() const
{
    if (!db_)
        return QStringLiteral("Not connected to the catalogue");
    if (!foreignTriggers_.isEmpty() && sqlite3_errcode(db_) == SQLITE_AUTH)
        return refusal();
    return QString::fromUtf8(sqlite3_errmsg(db_));
}

void Connection::raise() const
{
    throw TessaroError(errorText());
}

void Connection::exec(const char* sql)
{
    if (!db_)
        raise();
    struct Finalize {
        void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
    };
    for (const char* rest = sql; rest && *rest;) {
        sqlite3_stmt* prepared = nullptr;
        const int rc = sqlite3_prepare_v2(db_, rest, -1, &prepared, &rest);
        const std::unique_ptr<sqlite3_stmt, Finalize> stmt(prepared);
        if (rc != SQLITE_OK)
            raise();
        if (!stmt)
            continue; // white space or a comment
        // A value spliced into the text could be read as SQL: values are bound, by a Statement.
        if (sqlite3_bind_parameter_count(stmt.get()) > 0)
            throw TessaroError(QStringLiteral("A statement with parameters runs as a Statement: %1")
                                   .arg(QString::fromUtf8(sqlite3_sql(stmt.get()))));
        int step = SQLITE_ROW;
        while (step == SQLITE_ROW)
            step = sqlite3_step(stmt.get());
        if (step != SQLITE_DONE)
            raise();
    }
}

void Connection::setBusyTimeout(int milliseconds)
{
    if (db_)
        sqlite3_busy_timeout(db_, milliseconds);
}

bool Connection::lockedOut() const
{
    if (!db_)
        return false;
    // Not a snapshot gone stale: waiting would not end that.
    const int code = sqlite3_extended_errcode(db_);
    return (code & 0xff) == SQLITE_BUSY && code != SQLITE_BUSY_SNAPSHOT;
}

bool Connection::inTransaction() const
{
    return db_ && sqlite3_get_autocommit(db_) == 0;
}

qint64 Connection::lengthLimit() const
{
    return db_ ? sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, -1) : 0;
}

qint64 Connection::totalChanges() const
{
    return db_ ? sqlite3_total_changes64(db_) : 0;
}

sqlite3_stmt* Connection::acquire(QByteArrayView sql)
{
    if (!db_)
        raise();
    const auto found = cachedByText_.find(std::string_view(sql.data(), size_t(sql.size())));
    if (found != cachedByText_.end() && !found->second->inUse) {
        cache_.splice(cache_.begin(), cache_, found->second);
        found->second->inUse = true;
        return found->second->stmt;
    }
    sqlite3_stmt* stmt = prepareOne(sql);
    // A text already lent out is prepared afresh and finalized when handed back.
    if (found == cachedByText_.end()) {
        cache_.push_front(Cached{std::string(sql.data(), size_t(sql.size())), stmt, true});
        cachedByText_.emplace(cache_.front().sql, cache_.begin());
        trimCache();
    }
    return stmt;
}

// Prepares the one statement of the text; text after it (besides white space, a semicolon and
// comments) would never run, so it is refused rather than left out.
sqlite3_stmt* Connection::prepareOne(QByteArrayView sql)
{
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, &tail) !=
        SQLITE_OK) {
        sqlite3_finalize(stmt);
        raise();
    }
    if (!stmt)
        throw TessaroError(QStringLiteral("Empty statement"));
    const int rest = int(sql.data() + sql.size() - tail);
    if (rest > 0) {
        sqlite3_stmt* second = nullptr;
        const int rc = sqlite3_prepare_v2(db_, tail, rest, &second, nullptr);
        sqlite3_finalize(second);
        if (rc != SQLITE_OK || second) {
            sqlite3_finalize(stmt);
            throw TessaroError(QStringLiteral("A statement's text holds a second statement: %1")
                                   .arg(QString::fromUtf8(sql.data(), sql.size())));
        }
    }
    return stmt;
}

void Connection::release(sqlite3_stmt* stmt) noexcept
{
    if (!stmt)
        return;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (Cached& entry : cache_) {
        if (entry.stmt == stmt) {
            entry.inUse = false;
            trimCache();
            return;
        }
    }
    sqlite3_finalize(stmt);
}

// Finalizes the least recently used statements beyond the limit that no Statement is using;
// those in use stay until they are handed back.
void Connection::trimCache() noexcept
{
    auto it = cache_.end();
    while (cache_.size() > StatementCacheLimit && it != cache_.begin()) {
        --it;
        if (it->inUse)
            continue;
        cachedByText_.erase(it->sql);
        sqlite3_finalize(it->stmt);
        it = cache_.erase(it);
    }
}
