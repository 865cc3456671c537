#include "catalogue/FileHashes.h"

#include "catalogue/Connection.h"
#include "catalogue/Statement.h"

namespace FileHashes
{
const char* const kCreateTable =
    "create table file_hash (id_file integer primary key, id_cd integer not null, "
    "dimensione integer not null, hash blob not null)";
const char* const kCreateIndex = "create index file_hash_disc on file_hash (id_cd)";

bool present(Connection& connection)
{
    Statement lookup(connection, "select 1 from sqlite_master where type = 'table' and name = 'file_hash'");
    return lookup.step();
}

void dropOrphans(Connection& connection)
{
    if (!present(connection))
        return;
    connection.exec(
        "delete from file_hash where not exists (select 1 from files f where f.id = "
        "file_hash.id_file and f.id_cd = file_hash.id_cd and f.dimensione = file_hash.dimensione)");
}

void removeDisc(Connection& connection, qint64 discId)
{
    if (!present(connection))
        return;
    Statement drop(connection, "delete from file_hash where id_cd = ?1");
    drop.bind(1, discId);
    drop.step();
}
} // namespace FileHashes
