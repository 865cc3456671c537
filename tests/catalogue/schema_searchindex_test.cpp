#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/DiscIndex.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "common/TessaroError.h"
#include "tests/support/ConnectionProbe.h"
#include "tests/support/TestCatalogue.h"

#include <QtTest>
#include <random>
#include <sqlite3.h>

namespace
{
// A catalogue as the first versions wrote it: the two tables and their two indexes.
void writeOldCatalogue(const QString& path, bool extensionIndex)
{
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    QByteArray sql =
        "create table cd (id integer primary key, etichetta text collate nocase not null default '', "
        "tipo text collate nocase not null, data text not null);"
        "create table files (id integer primary key, id_cd integer not null, nome text collate nocase "
        "not null, path text collate nocase not null, estensione text collate nocase not null default "
        "'', dimensione integer not null, data text not null);"
        "create index files_disc_path_name on files (id_cd, path, nome);"
        "insert into cd values (1, 'A', 'C', '2024-01-01 10:00:00'), (2, 'B', 'D', '2024-01-02 "
        "10:00:00'), (3, 'EMPTY', 'C', '2024-01-03 10:00:00');"
        "insert into files values (1, 1, 'x.txt', '\\', '.txt', 1, '2020-01-01 00:00:00'),"
        "(2, 2, 'y.JPG', '\\p\\', '.JPG', 2, '2020-01-02 00:00:00'),"
        "(3, 2, 'z', '\\p\\', '', 3, 'odd date');";
    if (extensionIndex)
        sql += "create index files_extension on files (estensione);";
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error);
    sqlite3_free(error);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

QString dump(Connection& connection)
{
    Query q(connection);
    q.openWith(QStringLiteral(
        "select (select group_concat(id || etichetta || tipo || data, '/') from cd) || '#' || "
        "(select group_concat(id || id_cd || nome || path || estensione || dimensione || data, "
        "'/') from files)"));
    return q.value(0).toString();
}

QStringList objects(Connection& connection)
{
    QStringList names;
    Query q(connection);
    for (q.openWith(
             QStringLiteral("select name from sqlite_master where name not like 'sqlite_%' order by name"));
         !q.eof(); q.next())
        names << q.value(0).toString();
    return names;
}
} // namespace

class SchemaSearchIndexTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void newCatalogueHasTheSearchIndex();
    void upgradeAddsWhatIsMissingAndKeepsTheRows();
    void failedUpgradeChangesNothing();
    void indexReadsBackWhatItWasBuiltFrom();
    void discWithUnsearchableTextStaysOnThePlainStatement();
    void damagedBytesNeverReadOutOfBounds();
};

void SchemaSearchIndexTest::newCatalogueHasTheSearchIndex()
{
    TestCatalogue cat;
    QCOMPARE(objects(cat.connection), QStringList({"cd",
                                                   "disc_record",
                                                   "file_hash",
                                                   "file_hash_disc",
                                                   "files",
                                                   "files_disc_path_name",
                                                   "files_extension",
                                                   "search_index",
                                                   "search_index_cd_delete",
                                                   "search_index_cd_insert",
                                                   "search_index_cd_update",
                                                   "search_index_files_delete",
                                                   "search_index_files_insert",
                                                   "search_index_files_renumber",
                                                   "search_index_files_replace",
                                                   "search_index_files_update",
                                                   "search_index_piece",
                                                   "search_stamp",
                                                   "search_trigram",
                                                   "search_trigram_delete",
                                                   "search_trigram_update",
                                                   "verification",
                                                   "verification_disc"}));
    QVERIFY(SearchIndex::present(cat.connection));
    const Schema::Upgrade nothing = Schema::upgradeCatalogue(cat.connection);
    QVERIFY(nothing.added.isEmpty());
    QCOMPARE(nothing.discsIndexed, 0);
}

void SchemaSearchIndexTest::upgradeAddsWhatIsMissingAndKeepsTheRows()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.mdb"));
    writeOldCatalogue(path, false);
    Connection connection;
    connection.connect(path);
    QVERIFY(!SearchIndex::present(connection));
    const QString rows = dump(connection);

    const Schema::Upgrade upgrade = Schema::upgradeCatalogue(connection);
    QCOMPARE(upgrade.added,
             QStringList({"files_extension", "search_index", "search_index_piece", "search_trigram",
                          "search_stamp", "search_index_files_delete", "search_index_files_update",
                          "search_index_cd_insert", "search_index_cd_delete", "search_index_cd_update",
                          "search_index_files_insert", "search_index_files_replace",
                          "search_index_files_renumber", "search_trigram_delete", "search_trigram_update",
                          "disc_record", "file_hash", "verification"}));
    QCOMPARE(upgrade.discsIndexed, 3);
    QCOMPARE(dump(connection), rows);
    Query q(connection);
    q.openWith(QStringLiteral("select group_concat(id_cd || ':' || entries, ' ') from search_index"));
    QCOMPARE(q.value(0).toString(), QStringLiteral("1:1 2:2 3:0"));
    q.close();

    const Schema::Upgrade again = Schema::upgradeCatalogue(connection);
    QVERIFY(again.added.isEmpty());
    QCOMPARE(again.discsIndexed, 0);

    // A disc whose rows change loses its index; the next upgrade builds it again.
    connection.exec("delete from files where id = 3");
    QCOMPARE(Schema::upgradeCatalogue(connection).discsIndexed, 1);
    Query count(connection);
    count.openWith(QStringLiteral("select count(*) from files"));
    QCOMPARE(count.value(0).toInt(), 2);
}

void SchemaSearchIndexTest::failedUpgradeChangesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.mdb"));
    writeOldCatalogue(path, false);
    Connection connection;
    connection.connect(path);
    connection.exec("create view search_index as select 1 as id_cd"); // in the way of the table
    const QStringList before = objects(connection);
    QVERIFY_THROWS_EXCEPTION(TessaroError, Schema::upgradeCatalogue(connection));
    QCOMPARE(objects(connection), before); // not even the extension index stayed
    Transaction check(connection);         // and no transaction was left open
    check.commit();
}

void SchemaSearchIndexTest::indexReadsBackWhatItWasBuiltFrom()
{
    DiscIndex::Builder builder;
    QVERIFY(builder.add(10, "\\", "a.txt", ".txt", 1, "2020-01-02 03:04:05"));
    QVERIFY(builder.add(12, "\\p\\", "B.JPG", ".JPG", 5000000000LL, "odd"));
    QVERIFY(builder.add(11, "\\p\\", "c", "", -1, "2020-01-02 03:04:05"));
    QVERIFY(builder.add(7, "\\q", "\xc3\xa9.Txt", ".Txt", 0, ""));
    const auto index = DiscIndex::fromBytes(builder.finish());
    QVERIFY(index);
    QCOMPARE(index->count(), 4u);
    QCOMPARE(index->runCount(), 3u);
    QCOMPARE(index->fileId(0), 10);
    QCOMPARE(index->fileId(3), 7);
    QCOMPARE(index->path(2), std::string_view("\\p\\"));
    QCOMPARE(index->name(1), std::string_view("B.JPG"));
    QCOMPARE(index->extension(1), std::string_view(".JPG"));
    QCOMPARE(index->extension(2), std::string_view(""));
    QCOMPARE(index->size(1), 5000000000LL);
    QCOMPARE(index->size(2), -1);
    QCOMPARE(index->dateText(0), std::string("2020-01-02 03:04:05"));
    QCOMPARE(index->packedDate(0), 20200102030405LL);
    QCOMPARE(index->dateText(1), std::string("odd"));
    QCOMPARE(index->packedDate(1), -1);
    QCOMPARE(index->dateText(3), std::string(""));
    static const char kFolded[] = "a.txt\0b.jpg\0c\0\xc3\xa9.txt";
    QCOMPARE(index->foldedNames(), std::string_view(kFolded, sizeof kFolded));
    QCOMPARE(index->entryAtNameOffset(7), 1u);
    QCOMPARE(index->runAtPathOffset(3), 1u);
    QCOMPARE(DiscIndex::unpackDate(20200102030405LL), std::string("2020-01-02 03:04:05"));
    QCOMPARE(DiscIndex::packDate("2020-01-02T03:04:05"), -1);

    DiscIndex::Builder empty;
    const auto none = DiscIndex::fromBytes(empty.finish());
    QVERIFY(none);
    QCOMPARE(none->count(), 0u);
}

void SchemaSearchIndexTest::discWithUnsearchableTextStaysOnThePlainStatement()
{
    for (const char* name : {"bad \xff name", "nul\0name", "\xef\xbf\xbe"}) {
        DiscIndex::Builder builder;
        QVERIFY(!builder.add(1, "\\", std::string_view(name, std::strlen(name) + (name[3] == 0 ? 5 : 0)), "",
                             0, ""));
        QVERIFY(builder.finish().isEmpty());
    }
    TestCatalogue cat;
    cat.addDisc(QStringLiteral("C"), {}, 1);
    cat.addFile(1, QStringLiteral("\\"), QStringLiteral("good.txt"));
    QVERIFY(SearchIndex::indexDisc(cat.connection, 1));
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(ConnectionProbe::handle(cat.connection),
                       "insert into files values (2, 1, ?1, '\\', '', 0, '2020-01-01 00:00:00')", -1, &insert,
                       nullptr);
    sqlite3_bind_text(insert, 1, "bad \xff", 5, SQLITE_STATIC);
    QCOMPARE(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_finalize(insert);
    QVERIFY(!SearchIndex::indexDisc(cat.connection, 1));
    QCOMPARE(cat.count(QStringLiteral("search_index")), 0);
    cat.work->execWith(QStringLiteral("update files set dimensione = 'big' where id = 2"));
    QCOMPARE(SearchIndex::indexMissing(cat.connection), 0);
}

// The stored bytes are read without parsing, so a damaged index must be refused whole.
void SchemaSearchIndexTest::damagedBytesNeverReadOutOfBounds()
{
    DiscIndex::Builder builder;
    for (int i = 0; i < 50; ++i) {
        const std::string path = "\\dir" + std::to_string(i / 7) + "\\";
        const std::string name = "file" + std::to_string(i) + (i % 3 ? ".txt" : ".JPG");
        QVERIFY(builder.add(100 + i, path, name, i % 3 ? ".txt" : ".JPG", i,
                            i % 5 ? "2020-01-01 00:00:00" : "x"));
    }
    const QByteArray good = builder.finish();
    std::mt19937 random(3);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = good;
        const int kind = round % 3;
        if (kind == 0)
            bytes.truncate(std::uniform_int_distribution<int>(0, int(good.size()) - 1)(random));
        for (int flips = 0; kind > 0 && flips < 1 + round % 4; ++flips) {
            const int at = std::uniform_int_distribution<int>(0, int(bytes.size()) - 1)(random);
            bytes[at] = char(kind == 1 ? std::uniform_int_distribution<int>(0, 255)(random) : 0xff);
        }
        const auto index = DiscIndex::fromBytes(bytes);
        if (!index)
            continue;
        ++accepted;
        for (quint32 i = 0; i < index->count(); ++i) {
            QVERIFY(index->runOf(i) < index->runCount());
            QVERIFY(index->extensionIndex(i) < index->extensionCount());
            (void)index->path(i).size();
            (void)index->name(i).size();
            (void)index->extension(i).size();
            (void)index->dateText(i).size();
            QVERIFY(index->entryAtNameOffset(index->nameOffset(i)) <= i);
        }
        QCOMPARE(index->foldedNames().size() + index->foldedPaths().size() > 0, index->count() > 0);
    }
    QVERIFY(accepted > 0); // flips inside names and dates leave a readable index
}

QTEST_GUILESS_MAIN(SchemaSearchIndexTest)
#include "schema_searchindex_test.moc"
