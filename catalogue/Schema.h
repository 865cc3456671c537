#pragma once

#include <QString>
#include <QStringList>

class Connection;

// The catalogue's tables and indexes. The program itself only reads and writes rows;
// the command line creates catalogues and brings older ones up to date.
namespace Schema
{
// Creates a new catalogue file with empty tables; refuses when the file exists.
void createCatalogue(const QString& path);

struct Triggers {
    QStringList foreign; // triggers that are not the program's own, by name
    bool allOwn = false; // every one of the program's triggers is there, unchanged
};
// The catalogue's triggers measured against the program's own.
Triggers triggers(Connection& connection);

// Whether the catalogue has the program's table of that name, exactly as the program makes it.
bool ownTable(Connection& connection, const char* name);

struct Upgrade {
    QStringList added; // names of the indexes, tables and triggers that were missing
    int discsIndexed = 0;
    int discsRecorded = 0; // discs given a record with the totals counted from their files
};
// Brings a connected catalogue up to date in one transaction: adds the indexes, the search
// table and its triggers and the disc records table that it lacks (or the record columns it
// lacks: each disc then gets a UUID of its own), builds the search index of every disc that has
// none and gives every disc without a record one with its totals. The rows of `cd` and `files`
// are left as they are. With `reindex` every disc's search index is built again from its rows.
Upgrade upgradeCatalogue(Connection& connection, bool reindex = false);
} // namespace Schema
