#pragma once

class Connection;

// Begins a transaction and rolls it back on destruction unless it was committed.
// SQLite may already have ended it by itself (a full disk, an I/O error): the guard
// checks before rolling back and never throws from its destructor.
class Transaction
{
  public:
    enum class Kind { Deferred, Immediate };

    explicit Transaction(Connection& connection, Kind kind = Kind::Immediate);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    void rollback() noexcept;
    bool active() const;

  private:
    Connection& connection_;
    bool open_ = false;
};
