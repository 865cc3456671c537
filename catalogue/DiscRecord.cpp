#include "catalogue/DiscRecord.h"

#include "catalogue/Connection.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "common/LocalDateTime.h"
#include "common/TessaroError.h"

#include <QByteArrayList>

namespace
{
void bindDisc(Statement& statement, const DiscStore::DiscRow& disc)
{
    statement.bind(1, disc.id);
    statement.bindText(2, disc.type.toUtf8());
    if (disc.date.isNull())
        statement.bindNull(3);
    else
        statement.bindText(3, disc.date.toString().toUtf8());
}

std::optional<qint64> optionalInteger(const Statement& statement, int column)
{
    if (statement.type(column) == Statement::Type::Null)
        return std::nullopt;
    return statement.integer(column);
}

QString text(const Statement& statement, int column)
{
    const std::string_view bytes = statement.text(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// The type letter compared exactly, without the cd column's case folding, as in every check
// that a remembered disc is still the same.
constexpr char kSameDisc[] = "id_cd = ?1 and tipo = ?2 collate binary and data is ?3";

// Every column of the table in its current form.
const char* const kColumns[] = {"id_cd",       "tipo",       "data",    "location", "notes",
                                "total_space", "free_space", "folders", "files",    "bytes",
                                "fs_id",       "source",     "uuid",    "updated",  "generation"};

bool hasColumn(Connection& connection, const char* name)
{
    Statement column(connection, "select 1 from pragma_table_info('disc_record') where name = ?1");
    column.bindText(1, name);
    return column.step();
}
} // namespace

namespace DiscRecords
{
// Each record gets a random version 4 UUID from the table itself, whoever writes it: an older
// program that knows nothing of the column gives a disc one all the same.
const char* const kCreateTable =
    "create table disc_record (id_cd integer primary key, tipo text not null, data text, "
    "location text not null default '', notes text not null default '', total_space integer, "
    "free_space integer, folders integer not null default 0, files integer not null default 0, "
    "bytes integer not null default 0, fs_id text not null default '', source text not null default '', "
    "uuid text not null unique default (lower(printf('%s-%s-4%s-%s%s-%s', hex(randomblob(4)), "
    "hex(randomblob(2)), substr(hex(randomblob(2)), 2), substr('89ab', 1 + (random() & 3), 1), "
    "substr(hex(randomblob(2)), 2), hex(randomblob(6))))), updated text, "
    "generation integer not null default 1)";

bool present(Connection& connection)
{
    Statement lookup(connection, "select 1 from sqlite_master where type = 'table' and name = 'disc_record'");
    return lookup.step();
}

bool hasSource(Connection& connection)
{
    return hasColumn(connection, "source");
}

bool hasIdentity(Connection& connection)
{
    return hasColumn(connection, "uuid") && hasColumn(connection, "updated") &&
           hasColumn(connection, "generation");
}

QStringList upgradeTable(Connection& connection)
{
    QStringList added;
    if (!present(connection))
        return added;
    // Columns with a default taken from a function cannot be added to a table: the table is made
    // anew in its current form and the rows copied, each given its UUID by the new table.
    QByteArrayList kept;
    for (const char* column : kColumns) {
        if (hasColumn(connection, column))
            kept.append(column);
        else
            added.append(QStringLiteral("disc_record.") + QLatin1String(column));
    }
    if (added.isEmpty())
        return added;
    const QByteArray columns = kept.join(", ");
    connection.exec("alter table disc_record rename to disc_record_earlier");
    connection.exec(kCreateTable);
    connection.exec("insert into disc_record (" + columns + ") select " + columns +
                    " from disc_record_earlier");
    connection.exec("drop table disc_record_earlier");
    return added;
}

std::optional<DiscRecord> find(Connection& connection, const DiscStore::DiscRow& disc)
{
    if (!present(connection))
        return std::nullopt;
    Statement read(connection,
                   QByteArray("select location, notes, total_space, free_space, folders, files, "
                              "bytes, fs_id, ") +
                       (hasSource(connection) ? "source" : "''") +
                       (hasIdentity(connection) ? ", uuid, updated, generation" : ", '', null, 1") +
                       " from disc_record where " + kSameDisc);
    bindDisc(read, disc);
    if (!read.step())
        return std::nullopt;
    DiscRecord record;
    record.location = text(read, 0);
    record.notes = text(read, 1);
    record.totalSpace = optionalInteger(read, 2);
    record.freeSpace = optionalInteger(read, 3);
    record.folders = read.integer(4);
    record.files = read.integer(5);
    record.bytes = read.integer(6);
    record.fileSystemId = text(read, 7);
    record.source = text(read, 8);
    record.uuid = text(read, 9);
    record.updated = text(read, 10);
    record.generation = read.integer(11);
    return record;
}

std::map<qint64, QString> locations(Connection& connection)
{
    std::map<qint64, QString> found;
    if (!present(connection))
        return found;
    Statement read(connection,
                   "select r.id_cd, r.location from disc_record r join cd on cd.id = r.id_cd and "
                   "cd.tipo = r.tipo collate binary and cd.data is r.data where r.location <> ''");
    while (read.step())
        found.emplace(read.integer(0), text(read, 1));
    return found;
}

std::map<qint64, QString> uuids(Connection& connection)
{
    std::map<qint64, QString> found;
    if (!present(connection) || !hasIdentity(connection))
        return found;
    Statement read(connection, "select r.id_cd, r.uuid from disc_record r join cd on cd.id = r.id_cd and "
                               "cd.tipo = r.tipo collate binary and cd.data is r.data");
    while (read.step())
        found.emplace(read.integer(0), text(read, 1));
    return found;
}

std::optional<DiscStore::DiscRow> lookalike(Connection& connection, const QString& volumeLabel,
                                            const DiscMedium& medium, qint64 files, qint64 folders)
{
    if (!present(connection))
        return std::nullopt;
    // Folders without a label often hold as many files as each other: their paths tell them apart.
    Statement read(connection,
                   QByteArray("select cd.id, cd.tipo, cd.data, cd.etichetta from disc_record r join cd on "
                              "cd.id = r.id_cd and cd.tipo = r.tipo collate binary and cd.data is r.data "
                              "where cd.etichetta = ?1 collate binary and r.fs_id = ?2 and r.files = ?3 and "
                              "r.folders = ?4") +
                       (hasSource(connection) ? " and (?5 = '' or r.source in ('', ?5))" : "") +
                       " order by cd.id desc limit 1");
    read.bindText(1, volumeLabel.toUtf8());
    read.bindText(2, medium.fileSystemId.toUtf8());
    read.bind(3, files);
    read.bind(4, folders);
    if (read.parameterCount() >= 5)
        read.bindText(5, medium.source.toUtf8());
    if (!read.step())
        return std::nullopt;
    return DiscStore::DiscRow{read.integer(0), text(read, 1), text(read, 2), text(read, 3)};
}

void writeCatalogued(Connection& connection, const DiscStore::DiscRow& disc, qint64 folders,
                     const RunTotals& totals, const DiscMedium& medium)
{
    if (!present(connection))
        return;
    // A record left by a disc once under this id (removed by an older program) is replaced.
    // The run's own counts spare a pass over its rows.
    const bool withSource = hasSource(connection);
    QByteArray sql =
        "insert or replace into disc_record (id_cd, tipo, data, total_space, free_space, folders, "
        "files, bytes, fs_id";
    sql += withSource ? ", source) " : ") ";
    const QByteArray source = withSource ? QByteArray(", ?10") : QByteArray();
    if (totals.bytes)
        sql += QByteArray("values (?1, ?2, ?3, ?4, ?5, ?6, ?8, ?9, ?7") + source + ")";
    else
        sql += QByteArray("select ?1, ?2, ?3, ?4, ?5, ?6, count(*), coalesce(sum(dimensione), 0), ?7") +
               source + " from files where id_cd = ?1";
    Statement write(connection, sql);
    bindDisc(write, disc);
    if (totals.bytes) {
        write.bind(8, totals.files);
        write.bind(9, *totals.bytes);
    }
    for (const auto& [index, value] : {std::pair{4, medium.totalSpace}, std::pair{5, medium.freeSpace}}) {
        if (value)
            write.bind(index, *value);
        else
            write.bindNull(index);
    }
    write.bind(6, folders);
    write.bindText(7, medium.fileSystemId.toUtf8());
    if (withSource)
        write.bindText(10, medium.source.toUtf8());
    write.step();
}

void requireSameDisc(Connection& connection, const DiscStore::DiscRow& disc, std::optional<qint64> generation)
{
    {
        Statement same(connection,
                       "select 1 from cd where id = ?1 and tipo = ?2 collate binary and data is ?3");
        bindDisc(same, disc);
        if (!same.step())
            throw TessaroError(DiscStore::noLongerThere(disc.label()));
    }
    if (!generation)
        return;
    const std::optional<DiscRecord> record = find(connection, disc);
    if (!record || record->generation != *generation)
        throw TessaroError(QStringLiteral("Disc %1 was changed by another run meanwhile; update it again")
                               .arg(disc.label()));
}

void writeUpdated(Connection& connection, const DiscStore::DiscRow& disc, qint64 generation, qint64 folders,
                  const RunTotals& totals, const DiscMedium& medium)
{
    requireSameDisc(connection, disc, generation);
    Statement write(
        connection,
        QByteArray("update disc_record set folders = ?4, files = ?5, bytes = ") +
            (totals.bytes ? "?6" : "(select coalesce(sum(dimensione), 0) from files where id_cd = ?1)") +
            ", total_space = ?7, free_space = ?8, fs_id = ?9, source = ?10, updated = ?11, "
            "generation = generation + 1 where " +
            kSameDisc);
    bindDisc(write, disc);
    write.bind(4, folders);
    write.bind(5, totals.files);
    if (totals.bytes)
        write.bind(6, *totals.bytes);
    for (const auto& [index, value] : {std::pair{7, medium.totalSpace}, std::pair{8, medium.freeSpace}}) {
        if (value)
            write.bind(index, *value);
        else
            write.bindNull(index);
    }
    write.bindText(9, medium.fileSystemId.toUtf8());
    write.bindText(10, medium.source.toUtf8());
    write.bindText(11, LocalDateTime::now().toText().toUtf8());
    write.step();
}

void setTexts(Connection& connection, const DiscStore::DiscRow& disc, const std::optional<QString>& location,
              const std::optional<QString>& notes)
{
    Transaction transaction(connection);
    requireSameDisc(connection, disc);
    if (!present(connection))
        throw TessaroError(
            QStringLiteral("The catalogue has no disc records; run tessaro-cli upgrade-catalogue"));
    if (!find(connection, disc)) {
        // A disc catalogued before the table existed, or by an older program: its totals from its rows.
        Statement make(connection,
                       "insert or replace into disc_record (id_cd, tipo, data, folders, files, bytes) "
                       "select ?1, ?2, ?3, count(distinct path), count(*), "
                       "coalesce(sum(dimensione), 0) from files where id_cd = ?1");
        bindDisc(make, disc);
        make.step();
    }
    if (location) {
        Statement set(connection, QByteArray("update disc_record set location = ?4 where ") + kSameDisc);
        bindDisc(set, disc);
        set.bindText(4, location->toUtf8());
        set.step();
    }
    if (notes) {
        Statement set(connection, QByteArray("update disc_record set notes = ?4 where ") + kSameDisc);
        bindDisc(set, disc);
        set.bindText(4, notes->toUtf8());
        set.step();
    }
    transaction.commit();
}

void remove(Connection& connection, qint64 discId)
{
    if (!present(connection))
        return;
    Statement drop(connection, "delete from disc_record where id_cd = ?1");
    drop.bind(1, discId);
    drop.step();
}

int fillMissing(Connection& connection)
{
    // Records of discs no longer there, or of an earlier disc under a reused id, go first.
    connection.exec(
        "delete from disc_record where not exists (select 1 from cd where cd.id = disc_record.id_cd "
        "and cd.tipo = disc_record.tipo collate binary and cd.data is disc_record.data)");
    Statement fill(
        connection,
        "insert into disc_record (id_cd, tipo, data, folders, files, bytes) select cd.id, cd.tipo, "
        "cd.data, (select count(distinct path) from files where id_cd = cd.id), (select count(*) "
        "from files where id_cd = cd.id), (select coalesce(sum(dimensione), 0) from files where "
        "id_cd = cd.id) from cd where not exists (select 1 from disc_record where id_cd = cd.id)");
    fill.step();
    Statement changes(connection, "select changes()");
    changes.step();
    return int(changes.integer(0));
}
} // namespace DiscRecords
