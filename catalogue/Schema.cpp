#include "catalogue/Schema.h"

#include "common/TessaroError.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <sqlite3.h>

namespace {
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
create index files_disc_path_name on files (id_cd, path, nome);
create index files_extension on files (estensione);
)sql";

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

void run(sqlite3* db, const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
        sqlite3_free(message);
        throw TessaroError(text);
    }
}
} // namespace

namespace Schema {
void createCatalogue(const QString& path)
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw TessaroError(QStringLiteral("The catalogue %1 already exists").arg(path));
    sqlite3* raw = nullptr;
    const QByteArray name = QFile::encodeName(path);
    const int rc = sqlite3_open_v2(name.constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<sqlite3, CloseDb> db(raw);
    if (rc != SQLITE_OK)
        throw TessaroError(raw ? QString::fromUtf8(sqlite3_errmsg(raw)) : QStringLiteral("out of memory"));
    try {
        run(db.get(), "PRAGMA journal_mode=WAL");
        run(db.get(), "BEGIN IMMEDIATE");
        run(db.get(), kTables);
        run(db.get(), "COMMIT");
    } catch (...) {
        db.reset();
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        throw;
    }
}
} // namespace Schema
