#include "catalogue/Verifications.h"

#include "catalogue/Connection.h"
#include "catalogue/Statement.h"
#include "common/TessaroError.h"

namespace
{
QString text(const Statement& statement, int column)
{
    const std::string_view bytes = statement.text(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

constexpr char kColumns[] =
    "v.verified, v.files, v.ok, v.changed, v.unreadable, v.missing, v.new, v.bytes, v.seconds, v.source";

Verification read(const Statement& row, int first)
{
    Verification v;
    v.verified = text(row, first);
    v.files = row.integer(first + 1);
    v.ok = row.integer(first + 2);
    v.changed = row.integer(first + 3);
    v.unreadable = row.integer(first + 4);
    v.missing = row.integer(first + 5);
    v.added = row.integer(first + 6);
    v.bytes = row.integer(first + 7);
    v.seconds = row.real(first + 8);
    v.source = text(row, first + 9);
    return v;
}

void bindDisc(Statement& statement, const DiscStore::DiscRow& disc)
{
    statement.bind(1, disc.id);
    statement.bindText(2, disc.type.toUtf8());
    if (disc.date.isNull())
        statement.bindNull(3);
    else
        statement.bindText(3, disc.date.toString().toUtf8());
}
} // namespace

QString Verification::problems() const
{
    QStringList found;
    for (const auto& [count, word] : {std::pair{changed, "changed"}, std::pair{unreadable, "unreadable"},
                                      std::pair{missing, "missing"}, std::pair{added, "new"}}) {
        if (count > 0)
            found.append(QStringLiteral("%1 %2").arg(count).arg(QLatin1String(word)));
    }
    return found.isEmpty() ? QStringLiteral("no problems") : found.join(QStringLiteral(", "));
}

QString Verification::summary() const
{
    const double rate = seconds > 0 ? double(bytes) / 1e6 / seconds : 0.0;
    return QStringLiteral("%1 files verified: %2 ok, %3 changed, %4 unreadable, %5 missing, %6 new; %7 MB/s")
        .arg(files)
        .arg(ok)
        .arg(changed)
        .arg(unreadable)
        .arg(missing)
        .arg(added)
        .arg(QString::number(rate, 'f', 1));
}

namespace Verifications
{
const char* const kCreateTable =
    "create table verification (id integer primary key, id_cd integer not null, tipo text not null, "
    "data text, verified text not null, files integer not null, ok integer not null, changed integer not "
    "null, unreadable integer not null, missing integer not null, new integer not null, bytes integer not "
    "null, seconds real not null, source text not null default '')";
const char* const kCreateIndex = "create index verification_disc on verification (id_cd)";

bool present(Connection& connection)
{
    Statement lookup(connection,
                     "select 1 from sqlite_master where type = 'table' and name = 'verification'");
    return lookup.step();
}

void add(Connection& connection, const DiscStore::DiscRow& disc, const Verification& v)
{
    if (!present(connection))
        throw TessaroError(
            QStringLiteral("The catalogue cannot keep verifications; run tessaro-cli upgrade-catalogue"));
    // One insert that finds its disc row or writes nothing: the check and the write cannot part.
    Statement write(connection,
                    "insert into verification (id_cd, tipo, data, verified, files, ok, changed, unreadable, "
                    "missing, new, bytes, seconds, source) select ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, "
                    "?11, ?12, ?13 from cd where id = ?1 and tipo = ?2 collate binary and data is ?3");
    bindDisc(write, disc);
    write.bindText(4, v.verified.toUtf8());
    const qint64 counts[] = {v.files, v.ok, v.changed, v.unreadable, v.missing, v.added, v.bytes};
    for (int i = 0; i < 7; ++i)
        write.bind(5 + i, counts[i]);
    write.bindReal(12, v.seconds);
    write.bindText(13, v.source.toUtf8());
    write.step();
    Statement changes(connection, "select changes()");
    changes.step();
    if (changes.integer(0) != 1)
        throw TessaroError(DiscStore::noLongerThere(disc.label()));
}

std::optional<Verification> last(Connection& connection, const DiscStore::DiscRow& disc)
{
    if (!present(connection))
        return std::nullopt;
    Statement row(connection, QByteArray("select ") + kColumns +
                                  " from verification v where v.id_cd = ?1 and v.tipo = ?2 collate binary "
                                  "and v.data is ?3 order by v.id desc limit 1");
    bindDisc(row, disc);
    if (!row.step())
        return std::nullopt;
    return read(row, 0);
}

std::map<qint64, Verification> lastOfEach(Connection& connection)
{
    std::map<qint64, Verification> found;
    if (!present(connection))
        return found;
    Statement row(connection, QByteArray("select v.id_cd, ") + kColumns +
                                  " from verification v join cd on cd.id = v.id_cd and cd.tipo = v.tipo "
                                  "collate binary and cd.data is v.data order by v.id");
    while (row.step())
        found[row.integer(0)] = read(row, 1);
    return found;
}

void removeDisc(Connection& connection, qint64 discId)
{
    if (!present(connection))
        return;
    Statement drop(connection, "delete from verification where id_cd = ?1");
    drop.bind(1, discId);
    drop.step();
}
} // namespace Verifications
