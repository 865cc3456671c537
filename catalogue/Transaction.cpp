#include "catalogue/Transaction.h"

#include "catalogue/Connection.h"

#include <sqlite3.h>

Transaction::Transaction(Connection& connection, Kind kind) : connection_(connection)
{
    connection_.exec(kind == Kind::Immediate ? "BEGIN IMMEDIATE" : "BEGIN");
    open_ = true;
    if (kind == Kind::Immediate) {
        // Holding the write lock, nobody can add a trigger until this transaction ends.
        try {
            connection_.checkWritable();
        } catch (...) {
            rollback();
            throw;
        }
    }
}

Transaction::~Transaction()
{
    rollback();
}

bool Transaction::active() const
{
    return open_ && connection_.connected() && sqlite3_get_autocommit(connection_.handle()) == 0;
}

void Transaction::commit()
{
    if (!active()) {
        open_ = false;
        connection_.raise();
    }
    connection_.exec("COMMIT");
    open_ = false;
}

void Transaction::rollback() noexcept
{
    if (active())
        sqlite3_exec(connection_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    open_ = false;
}
