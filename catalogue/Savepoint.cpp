#include "catalogue/Savepoint.h"

#include "catalogue/Connection.h"

#include <atomic>
#include <cstdint>

namespace
{
// Each savepoint has a name of its own, so that one ended out of order fails rather than ending
// another.
std::atomic<std::uint64_t> savepoints{0};
} // namespace

Savepoint::Savepoint(Connection& connection, Transaction::Kind kind) : connection_(connection)
{
    if (!connection_.inTransaction()) {
        transaction_.emplace(connection_, kind);
        return;
    }
    name_ = "tessaro_savepoint_" + std::to_string(++savepoints);
    connection_.exec(("SAVEPOINT " + name_).c_str());
    open_ = true;
}

Savepoint::~Savepoint()
{
    rollback();
}

void Savepoint::commit()
{
    if (transaction_) {
        transaction_->commit();
        return;
    }
    // SQLite may have ended the whole transaction by itself (a full disk, an I/O error).
    if (!open_ || !connection_.inTransaction()) {
        open_ = false;
        connection_.raise();
    }
    connection_.exec(("RELEASE " + name_).c_str());
    open_ = false;
}

void Savepoint::rollback() noexcept
{
    if (transaction_) {
        transaction_->rollback();
        return;
    }
    if (!open_)
        return;
    open_ = false;
    if (!connection_.inTransaction())
        return;
    try {
        // Back to where the guard began, and the savepoint itself gone.
        connection_.exec(("ROLLBACK TO " + name_ + "; RELEASE " + name_).c_str());
    } catch (...) {
        // Called from destructors: a failure here has nowhere to go.
    }
}
