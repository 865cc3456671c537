#pragma once

#include "catalogue/Connection.h"

#include <sqlite3.h>

// The connection's SQLite handle, for tests that tune or inspect it with SQLite's own calls.
struct ConnectionProbe {
    static sqlite3* handle(const Connection& connection) { return connection.db_; }
};
