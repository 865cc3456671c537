#include "catalogue/Connection.h"

#include "common/TessaroError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>

namespace
{
constexpr int kBusyTimeoutMs = 5000;
}

Connection::Connection() = default;

Connection::~Connection()
{
    disconnect();
}

QString Connection::defaultPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("archive.mdb"));
}

void Connection::connect(const QString& path)
{
    disconnect();
    const QFileInfo info(path);
    if (!info.isFile())
        throw TessaroError(QStringLiteral("Catalogue file not found: %1").arg(path));
    // WAL needs its -shm and -wal files beside the catalogue: a catalogue whose folder
    // or file cannot be written is opened read-only, and immutable when even that fails.
    const bool writable = info.isWritable() && QFileInfo(info.absolutePath()).isWritable();
    try {
        open(path, !writable, false);
        checkTables();
    } catch (const TessaroError&) {
        disconnect();
        if (writable)
            throw;
        open(path, true, true);
        try {
            checkTables();
        } catch (...) {
            disconnect();
            throw;
        }
    }
}

void Connection::open(const QString& path, bool readOnly, bool immutable)
{
    QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded();
    if (readOnly)
        uri += immutable ? "?immutable=1" : "?mode=ro";
    const int flags = SQLITE_OPEN_URI | (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
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
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
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

void Connection::disconnect() noexcept
{
    if (!db_)
        return;
    finalizeAll();
    sqlite3_close_v2(db_);
    db_ = nullptr;
    readOnly_ = false;
}

void Connection::finalizeAll() noexcept
{
    for (auto& entry : cache_)
        sqlite3_finalize(entry.second.stmt);
    cache_.clear();
}

QString Connection::errorText() const
{
    if (!db_)
        return QStringLiteral("Not connected to the catalogue");
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
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = message ? QString::fromUtf8(message) : errorText();
        sqlite3_free(message);
        throw TessaroError(text);
    }
}

sqlite3_stmt* Connection::acquire(const QByteArray& sql)
{
    if (!db_)
        raise();
    const std::string key(sql.constData(), size_t(sql.size()));
    auto it = cache_.find(key);
    if (it != cache_.end() && !it->second.inUse) {
        it->second.inUse = true;
        return it->second.stmt;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        raise();
    }
    if (!stmt)
        throw TessaroError(QStringLiteral("Empty statement"));
    if (it == cache_.end())
        cache_.emplace(key, Cached{stmt, true});
    return stmt;
}

void Connection::release(sqlite3_stmt* stmt) noexcept
{
    if (!stmt)
        return;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (auto& entry : cache_) {
        if (entry.second.stmt == stmt) {
            entry.second.inUse = false;
            return;
        }
    }
    sqlite3_finalize(stmt);
}
