#pragma once

#include "catalogue/Transaction.h"

#include <optional>
#include <string>

class Connection;

// A piece of work on the catalogue that is kept or undone as a whole, wherever it runs: outside
// a transaction it begins one (a Transaction of `kind`), inside one it marks a savepoint there.
// commit() keeps the work (the outermost guard commits the transaction); a guard that goes
// without commit(), by an exception or an early return, undoes the work done since it began and
// nothing before it. Guards end in the reverse order of their beginning, as scopes do.
class Savepoint
{
  public:
    explicit Savepoint(Connection& connection, Transaction::Kind kind = Transaction::Kind::Immediate);
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

    void commit();
    void rollback() noexcept;
    // Whether this guard began the transaction.
    bool outermost() const { return transaction_.has_value(); }

  private:
    Connection& connection_;
    std::optional<Transaction> transaction_;
    std::string name_; // of the savepoint, when inside a transaction
    bool open_ = false;
};
