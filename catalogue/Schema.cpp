#include "catalogue/Schema.h"

#include "catalogue/Connection.h"
#include "catalogue/DiscRecord.h"
#include "catalogue/FileHashes.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "catalogue/Verifications.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "common/TessaroError.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <vector>

namespace
{
// Text columns ignore letter case in =, distinct and order by; dates are local-time text
// "YYYY-MM-DD HH:MM:SS"; sizes are 64-bit so that files of 2 GiB and more keep their size.
const char* const kTables = R"sql(
create table cd (
    id integer primary key,
    etichetta text collate nocase not null default '',
    tipo text collate nocase not null,
    data text not null
);
create table files (
    id integer primary key,
    id_cd integer not null,
    nome text collate nocase not null,
    path text collate nocase not null,
    estensione text collate nocase not null default '',
    dimensione integer not null,
    data text not null
);
)sql";

struct SchemaObject {
    const char* type;
    const char* name;
    const char* sql;
};

// Everything beside the two tables, in the order it is created. A disc's search index is
// built in one go after its run (SearchIndex::indexDisc). Triggers drop an index when its
// disc's rows are inserted, deleted or changed, or its disc row comes or goes. The insert
// trigger is what catches a row replaced in place (`insert or replace`): REPLACE deletes the
// old row without firing delete triggers. The program inserts files with `insert or fail`,
// which keeps SQLite from journaling each single-row insert of a run for the trigger's sake.
const SchemaObject kObjects[] = {
    {"index", "files_disc_path_name", "create index files_disc_path_name on files (id_cd, path, nome)"},
    {"index", "files_extension", "create index files_extension on files (estensione)"},
    {"table", "search_index",
     "create table search_index (id_cd integer primary key, generation integer not null, "
     "entries integer not null, body blob not null)"},
    // The pieces of the discs' indexes whose directory in search_index says so; a piece counts
    // only with its index's generation, so pieces left behind by a dropped index are never read.
    {"table", "search_index_piece",
     "create table search_index_piece (id_cd integer not null, piece integer not null, "
     "generation integer not null, body blob not null, primary key (id_cd, piece))"},
    // Postings of the pieces: for each three-byte stretch of a disc's folders and names, the
    // pieces holding it (see IndexBody), by stretch first, so that a search reads a few runs.
    {"table", "search_trigram",
     "create table search_trigram (trigram integer not null, id_cd integer not null, "
     "pieces blob not null, primary key (trigram, id_cd)) without rowid"},
    // The highest file id when the program last wrote with every row accounted for (see
    // SearchIndex).
    {"table", "search_stamp", "create table search_stamp (highest_file integer not null)"},
    {"trigger", "search_index_files_delete",
     "create trigger search_index_files_delete after delete on files begin "
     "delete from search_index where id_cd = old.id_cd; end"},
    {"trigger", "search_index_files_update",
     "create trigger search_index_files_update after update on files begin "
     "delete from search_index where id_cd in (old.id_cd, new.id_cd); end"},
    {"trigger", "search_index_cd_insert",
     "create trigger search_index_cd_insert after insert on cd begin "
     "delete from search_index where id_cd = new.id; end"},
    {"trigger", "search_index_cd_delete",
     "create trigger search_index_cd_delete after delete on cd begin "
     "delete from search_index where id_cd = old.id; end"},
    {"trigger", "search_index_cd_update",
     "create trigger search_index_cd_update after update of id on cd begin "
     "delete from search_index where id_cd in (old.id, new.id); end"},
    {"trigger", "search_index_files_insert",
     "create trigger search_index_files_insert after insert on files begin "
     "delete from search_index where id_cd = new.id_cd; end"},
    // A row that replaces another (`insert or replace`, `update or replace` of the id) deletes
    // it without any delete trigger, and the stamp sees no new id: the index of the disc the
    // replaced row was on goes before it.
    {"trigger", "search_index_files_replace",
     "create trigger search_index_files_replace before insert on files begin "
     "delete from search_index where id_cd = (select id_cd from files where id = new.id); end"},
    {"trigger", "search_index_files_renumber",
     "create trigger search_index_files_renumber before update of id on files begin "
     "delete from search_index where id_cd = (select id_cd from files where id = new.id); end"},
    // A posting taken away or changed would hide pieces from searches: the index goes with it.
    {"trigger", "search_trigram_delete",
     "create trigger search_trigram_delete after delete on search_trigram begin "
     "delete from search_index where id_cd = old.id_cd; end"},
    {"trigger", "search_trigram_update",
     "create trigger search_trigram_update after update on search_trigram begin "
     "delete from search_index where id_cd in (old.id_cd, new.id_cd); end"},
};

// Tables of facts beside the rows (content hashes, verifications), each with its index.
const char* const kSideTables[] = {FileHashes::kCreateTable, FileHashes::kCreateIndex,
                                   Verifications::kCreateTable, Verifications::kCreateIndex};

// A table's or trigger's statement as SQLite keeps it: the leading keywords in capitals.
QString storedSql(const char* sql)
{
    const QString text = QString::fromLatin1(sql);
    for (const char* create : {"create trigger", "create table"}) {
        if (text.startsWith(QLatin1String(create)))
            return QString::fromLatin1(create).toUpper() + text.mid(qsizetype(std::strlen(create)));
    }
    return text;
}
} // namespace

namespace Schema
{
void createCatalogue(const QString& path)
{
    // An empty file is no database yet and may become the catalogue; anything else is kept.
    const QFileInfo existing(path);
    const bool empty = existing.isFile() && !existing.isSymLink() && existing.size() == 0;
    if (!empty && (existing.exists() || existing.isSymLink()))
        throw TessaroError(QStringLiteral("The catalogue %1 already exists").arg(path));
    Connection connection;
    try {
        connection.connect(path, Connection::Access::Create);
        Transaction transaction(connection);
        connection.exec(kTables);
        for (const auto& object : kObjects)
            connection.exec(object.sql);
        connection.exec(DiscRecords::kCreateTable);
        connection.exec("insert into search_stamp (highest_file) values (0)");
        for (const char* sql : kSideTables)
            connection.exec(sql);
        transaction.commit();
    } catch (...) {
        connection.disconnect();
        // Only what this call made goes: an empty file given is left empty.
        if (empty)
            QFile::resize(path, 0);
        else
            QFile::remove(path);
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        throw;
    }
}

Triggers triggers(Connection& connection)
{
    Triggers found;
    int own = 0;
    Statement list(connection, "select name, sql from sqlite_master where type = 'trigger' order by name");
    while (list.step()) {
        const QString name = QString::fromUtf8(list.text(0).data());
        const QString sql = QString::fromUtf8(list.text(1).data());
        bool mine = false;
        for (const auto& object : kObjects) {
            if (std::strcmp(object.type, "trigger") == 0 && name == QLatin1String(object.name) &&
                sql == storedSql(object.sql))
                mine = true;
        }
        if (mine)
            ++own;
        else
            found.foreign.append(name);
    }
    int expected = 0;
    for (const auto& object : kObjects)
        expected += std::strcmp(object.type, "trigger") == 0;
    found.allOwn = own == expected;
    return found;
}

bool ownTable(Connection& connection, const char* name)
{
    Statement table(connection, "select sql from sqlite_master where type = 'table' and name = ?1");
    table.bindText(1, name);
    if (!table.step())
        return false;
    const QString sql = QString::fromUtf8(table.text(0).data(), qsizetype(table.text(0).size()));
    for (const auto& object : kObjects) {
        if (std::strcmp(object.type, "table") == 0 && std::strcmp(object.name, name) == 0)
            return sql == storedSql(object.sql);
    }
    return false;
}

Upgrade upgradeCatalogue(Connection& connection, bool reindex)
{
    Upgrade upgrade;
    Transaction transaction(connection);
    std::vector<const SchemaObject*> missing;
    {
        Statement lookup(connection, "select 1 from sqlite_master where type = ?1 and name = ?2");
        for (const auto& object : kObjects) {
            lookup.bindText(1, object.type);
            lookup.bindText(2, object.name);
            if (!lookup.step())
                missing.push_back(&object);
            lookup.reset();
        }
    }
    for (const SchemaObject* object : missing) {
        connection.exec(object->sql);
        upgrade.added.append(QString::fromLatin1(object->name));
    }
    if (!DiscRecords::present(connection)) {
        connection.exec(DiscRecords::kCreateTable);
        upgrade.added.append(QString::fromLatin1(DiscRecords::kTable));
    } else if (DiscRecords::addSource(connection)) {
        upgrade.added.append(QStringLiteral("disc_record.source"));
    }
    if (!FileHashes::present(connection)) {
        connection.exec(FileHashes::kCreateTable);
        connection.exec(FileHashes::kCreateIndex);
        upgrade.added.append(QString::fromLatin1(FileHashes::kTable));
    }
    FileHashes::dropOrphans(connection);
    if (!Verifications::present(connection)) {
        connection.exec(Verifications::kCreateTable);
        connection.exec(Verifications::kCreateIndex);
        upgrade.added.append(QString::fromLatin1(Verifications::kTable));
    }
    upgrade.discsRecorded = DiscRecords::fillMissing(connection);
    upgrade.discsIndexed = SearchIndex::indexMissing(connection, reindex);
    transaction.commit();
    return upgrade;
}
} // namespace Schema
