#include "catalogue/Transaction.h"

#include "catalogue/Connection.h"
#include "catalogue/Statement.h"
#include "common/TessaroError.h"

namespace
{
constexpr int kLockPollMs = 50;

void run(Connection& connection, const char* sql)
{
    Statement(connection, sql).step();
}
} // namespace

Transaction::Transaction(Connection& connection, Kind kind) : connection_(connection)
{
    begin(kind);
}

Transaction::Transaction(Connection& connection, const std::function<bool()>& whileLocked)
    : connection_(connection)
{
    // Short waits inside SQLite, the caller's work between them.
    connection_.setBusyTimeout(kLockPollMs);
    try {
        for (;;) {
            try {
                begin(Kind::Immediate);
                break;
            } catch (const TessaroError&) {
                if (!connection_.lockedOut() || !whileLocked())
                    throw;
            }
        }
    } catch (...) {
        connection_.setBusyTimeout(Connection::DefaultBusyTimeoutMs);
        throw;
    }
    connection_.setBusyTimeout(Connection::DefaultBusyTimeoutMs);
}

void Transaction::begin(Kind kind)
{
    run(connection_, kind == Kind::Immediate ? "BEGIN IMMEDIATE" : "BEGIN");
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
    return open_ && connection_.inTransaction();
}

void Transaction::commit()
{
    if (!active()) {
        open_ = false;
        connection_.raise();
    }
    run(connection_, "COMMIT");
    open_ = false;
}

void Transaction::rollback() noexcept
{
    if (active()) {
        try {
            run(connection_, "ROLLBACK");
        } catch (...) {
            // Called from destructors: a failure here has nowhere to go.
        }
    }
    open_ = false;
}
