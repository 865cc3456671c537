#pragma once

struct sqlite3;

// The SQL function tessaro_name_match(form, text, path, name) that answers a NamePattern in a
// statement (NamePattern::Terms::code() and the text): 1 or 0, NULL when a value is NULL. It may
// be used only by the program's own statements, never by the catalogue's schema.
namespace NameFunction
{
// Registers the function on the connection; false when SQLite refused.
bool install(sqlite3* db);
} // namespace NameFunction
