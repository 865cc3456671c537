#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

class Statement;
struct sqlite3;
struct sqlite3_stmt;

// The connection to the catalogue file. Only Schema::createCatalogue has it make a file: a
// missing file, a file that is not a SQLite database, or one without the catalogue's tables
// otherwise fails to connect, and is looked at read-only before anything could change it.
class Connection
{
  public:
    // ReadOnly never writes to the file (no switch to WAL, no checkpoint); ReadWrite opens a
    // catalogue whose file and folder may be written for writing. Create makes a database of a
    // missing or empty file and opens it for writing without looking for tables
    // (Schema::createCatalogue, which makes them).
    enum class Access { ReadWrite, ReadOnly, Create };

    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void connect(const QString& path, Access access = Access::ReadWrite);
    bool connected() const { return db_ != nullptr; }
    void disconnect() noexcept;

    // True when connected read-only, or the file or its folder cannot be written: searching
    // works, writes fail.
    bool readOnly() const { return readOnly_; }
    const QString& path() const { return path_; }

    // Whether a transaction is open on the connection.
    bool inTransaction() const;
    // The longest text or blob, in bytes, that the connection stores or reads.
    qint64 lengthLimit() const;
    // Rows changed by this connection since it was opened.
    qint64 totalChanges() const;
    // Triggers in the catalogue that the program did not make, as found when connecting or at
    // the start of the last write transaction. While there are any, the connection refuses
    // every change: the program's statements would run them.
    const QStringList& foreignTriggers() const { return foreignTriggers_; }
    // Looks at the triggers again and raises the program error when changes are refused.
    // Run inside a write transaction, the answer holds until it ends.
    void checkWritable();

    // Whether the catalogue's triggers run in the statements prepared from now on; on after
    // connecting. Statements prepared before are prepared again at their next run.
    void setTriggersEnabled(bool enabled);

    // How long a statement waits for another connection's lock before it fails with "database
    // is locked"; DefaultBusyTimeoutMs after connecting.
    static constexpr int DefaultBusyTimeoutMs = 5000;
    void setBusyTimeout(int milliseconds);
    // Whether the last failure was another connection holding the lock.
    bool lockedOut() const;

    // SQLite's text for the last failure on this connection.
    QString errorText() const;
    [[noreturn]] void raise() const;
    // Runs statements without values (schema, pragmas, savepoints), one after another; rows
    // they return are dropped. Text with a parameter is refused before it runs: statements with
    // values run as a Statement. Raises the program error on failure.
    void exec(const char* sql);

    // The most prepared statements the connection keeps for reuse; the least recently used
    // goes first, never one that a Statement is using.
    static constexpr size_t StatementCacheLimit = 48;

  private:
    friend class Statement;
    friend class BlobReader;
    friend struct ConnectionProbe; // SQLite's own calls in the tests

    // Prepared statements are kept by their text, so running the same text again
    // costs no new preparation. A statement already lent out is prepared afresh.
    sqlite3_stmt* acquire(QByteArrayView sql);
    void release(sqlite3_stmt* stmt) noexcept;
    sqlite3_stmt* prepareOne(QByteArrayView sql);
    void trimCache() noexcept;

    struct Cached {
        std::string sql;
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
    };
    void openWithoutSharedMemory(const QString& path);
    void open(const QString& path, bool readOnly, const char* how, bool create = false);
    void checkTables();
    void checkViews();
    void checkTriggers();
    QString refusal() const;
    static int authorize(void* self, int action, const char*, const char*, const char*, const char*);
    void finalizeAll() noexcept;

    sqlite3* db_ = nullptr;
    bool readOnly_ = false;
    QString path_;
    QStringList foreignTriggers_;
    std::list<Cached> cache_; // the most recently used first
    std::unordered_map<std::string_view, std::list<Cached>::iterator> cachedByText_;
};
