#pragma once

#include <functional>

class Connection;

// Begins a transaction and rolls it back on destruction unless it was committed.
// SQLite may already have ended it by itself (a full disk, an I/O error): the guard
// checks before rolling back and never throws from its destructor.
class Transaction
{
  public:
    enum class Kind { Deferred, Immediate };

    explicit Transaction(Connection& connection, Kind kind = Kind::Immediate);
    // A write transaction that waits for another connection's write lock as long as it is
    // held and `whileLocked` returns true. It is called every few tens of milliseconds of the
    // wait, outside SQLite, so it may pump events; when it returns false the wait ends with
    // the error "database is locked".
    Transaction(Connection& connection, const std::function<bool()>& whileLocked);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    void rollback() noexcept;
    bool active() const;

  private:
    void begin(Kind kind);

    Connection& connection_;
    bool open_ = false;
};
