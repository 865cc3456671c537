#include "catalogue/Connection.h"
#include "catalogue/DiscStore.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "common/TessaroError.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"
#include "tests/support/ConnectionProbe.h"
#include "tests/support/SearchRows.h"
#include "tests/support/TestCatalogue.h"

#include <QtTest>
#include <sqlite3.h>

// Catalogues changed by other tools or written to hurt: a disc the search index cannot hold,
// rows replaced behind the index's back, triggers that are not the program's own, index rows
// with absurd counts. Searches stay exact and the program never runs someone else's code.
class HostileCatalogueTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void discTheIndexCannotHoldIsStillFound_data();
    void discTheIndexCannotHoldIsStillFound();
    void rowsChangedByAnotherToolAreNeverAnsweredFromTheOldIndex_data();
    void rowsChangedByAnotherToolAreNeverAnsweredFromTheOldIndex();
    void foreignTriggersNeverRunFromTheProgram_data();
    void foreignTriggersNeverRunFromTheProgram();
    void viewsInPlaceOfTheTablesAreRefused_data();
    void viewsInPlaceOfTheTablesAreRefused();
    void absurdIndexCountsAreRefused_data();
    void absurdIndexCountsAreRefused();
};

namespace
{
using SearchRows::plainRows;
using SearchRows::resultRows;
using SearchRows::row;

SearchStatement byPattern(const QString& pattern)
{
    SearchCriteria c;
    c.byFile = true;
    c.pattern = pattern;
    return SearchStatement(c);
}

// Runs SQL on a connection of another tool: SQLite's defaults, none of the program's settings.
void otherTool(const QString& path, const QByteArray& sql)
{
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error);
    const QString text = QString::fromUtf8(error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(text));
}

// Discs 1 and 5, each with three files and its search index.
void fillTwoDiscs(TestCatalogue& cat)
{
    for (qint64 disc : {1, 5}) {
        cat.addDisc(QStringLiteral("C"), QStringLiteral("DISC%1").arg(disc), disc);
        cat.addFile(disc, QStringLiteral("\\docs\\"), QStringLiteral("report%1.doc").arg(disc), disc);
        cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("readme%1.txt").arg(disc), disc);
        cat.addFile(disc, QStringLiteral("\\photos\\"), QStringLiteral("cat%1.jpg").arg(disc), disc);
        QVERIFY(SearchIndex::indexDisc(cat.connection, disc));
    }
}

QString contents(Connection& connection)
{
    Query q(connection);
    q.openWith(QStringLiteral(
        "select (select group_concat(id || etichetta || tipo || data, '/') from cd) || '#' || "
        "(select group_concat(id || id_cd || nome || path || estensione || dimensione || data, '/') "
        "from files)"));
    return q.value(0).toString();
}
} // namespace

// A disc the packed index cannot hold is searched with the plain statement, found whole, and
// never breaks the search of the other discs.
void HostileCatalogueTest::discTheIndexCannotHoldIsStillFound_data()
{
    QTest::addColumn<QString>("rows");    // the files of disc 3, as a select of files' columns
    QTest::addColumn<int>("lengthLimit"); // the connection's largest text or blob, 0: SQLite's
    QTest::addColumn<QString>("lookFor"); // a pattern that finds one file of disc 3
    QTest::addColumn<int>("files");
    // A mail backup: every file has an extension of its own.
    QTest::newRow("70,000 distinct extensions")
        << "select 1000 + i, 3, 'm' || i || '.x' || i, '\\mail\\', '.x' || i, i, '2020-01-01 00:00:00' "
           "from n where i <= 70000"
        << 0 << "*m69999.x69999" << 70000;
    QTest::newRow("file ids spread wider than 32 bits")
        << "select case i when 1 then 1000 else 1000 + 8589934592 * i end, 3, 'far' || i || '.txt', "
           "'\\', '.txt', i, '2020-01-01 00:00:00' from n where i <= 3"
        << 0 << "*far3.txt" << 3;
    QTest::newRow("index larger than the longest blob the connection takes")
        << "select 1000 + i, 3, 'long name of file number ' || i || '.' || hex(zeroblob(200)) || '.txt', "
           "'\\folder ' || (i / 10) || '\\', '.txt', i, '2020-01-01 00:00:00' from n where i <= 1000"
        << 20000 << "*number 777.0*" << 1000;
}

void HostileCatalogueTest::discTheIndexCannotHoldIsStillFound()
{
    QFETCH(QString, rows);
    QFETCH(int, lengthLimit);
    QFETCH(QString, lookFor);
    QFETCH(int, files);
    TestCatalogue cat;
    fillTwoDiscs(cat);
    cat.addDisc(QStringLiteral("D"), QStringLiteral("HOSTILE"), 3);
    cat.connection.exec(
        QByteArray("insert into files (id, id_cd, nome, path, estensione, dimensione, data) "
                   "with recursive n(i) as (select 1 union all select i + 1 from n where i < 70000) ")
            .append(rows.toUtf8())
            .constData());
    if (lengthLimit > 0)
        sqlite3_limit(ConnectionProbe::handle(cat.connection), SQLITE_LIMIT_LENGTH, lengthLimit);
    QVERIFY(!SearchIndex::indexDisc(cat.connection, 3));
    QCOMPARE(SearchIndex::indexMissing(cat.connection), 0);
    QCOMPARE(cat.count(QStringLiteral("search_index")), 2);

    ResultSet result(cat.connection);
    for (const SearchStatement& statement :
         {SearchStatement(SearchCriteria()), byPattern(lookFor), byPattern(QStringLiteral("*report*"))}) {
        result.open(statement);
        QCOMPARE(resultRows(result), plainRows(cat.connection, statement));
    }
    result.open(SearchStatement(SearchCriteria()));
    QCOMPARE(result.rowCount(), files + 6);
    result.open(byPattern(lookFor));
    QCOMPARE(result.rowCount(), 1);
    QCOMPARE(result.rows().cdid(0), QStringLiteral("D0003"));
}

// Whatever statement another tool changes the rows with, a search shows the rows as they are.
void HostileCatalogueTest::rowsChangedByAnotherToolAreNeverAnsweredFromTheOldIndex_data()
{
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<bool>("olderCatalogue"); // made before inserts dropped the index
    const QByteArray replace = "insert or replace into files (id, id_cd, nome, path, estensione, "
                               "dimensione, data) values (1, 1, 'renamed.doc', '\\docs\\', '.doc', 1, "
                               "'2020-01-01 00:00:00')";
    QTest::newRow("insert or replace") << replace << false;
    QTest::newRow("replace into") << QByteArray(replace).replace("insert or replace", "replace") << false;
    QTest::newRow("insert or replace, catalogue from before the insert trigger") << replace << true;
    QTest::newRow("update or replace onto a row of the other disc")
        << QByteArray("update or replace files set id = 4, nome = 'renamed.doc' where id = 1") << false;
    QTest::newRow("upsert")
        << QByteArray("insert into files (id, id_cd, nome, path, estensione, dimensione, data) values "
                      "(1, 1, 'x', '\\', '', 0, '') on conflict (id) do update set nome = 'renamed.doc'")
        << false;
}

void HostileCatalogueTest::rowsChangedByAnotherToolAreNeverAnsweredFromTheOldIndex()
{
    QFETCH(QByteArray, change);
    QFETCH(bool, olderCatalogue);
    TestCatalogue cat;
    fillTwoDiscs(cat);
    if (olderCatalogue)
        cat.connection.exec("drop trigger search_index_files_insert");
    ResultSet result(cat.connection);
    const SearchStatement all{SearchCriteria()};
    result.open(all); // the indexes are in memory now
    QCOMPARE(result.rowCount(), 6);

    otherTool(cat.path(), change);
    result.open(all);
    QCOMPARE(resultRows(result), plainRows(cat.connection, all));
    QVERIFY(resultRows(result).join(QLatin1Char('\n')).contains(QLatin1String("renamed.doc")));
    result.open(byPattern(QStringLiteral("*report1*")));
    QCOMPARE(result.rowCount(), 0);

    if (olderCatalogue) {
        // Bringing the catalogue up to date adds the trigger and builds the index again.
        const Schema::Upgrade upgrade = Schema::upgradeCatalogue(cat.connection);
        QCOMPARE(upgrade.added, QStringList{QStringLiteral("search_index_files_insert")});
        otherTool(cat.path(), QByteArray(change).replace("renamed.doc", "again.doc"));
        result.open(all);
        QCOMPARE(resultRows(result), plainRows(cat.connection, all));
        QVERIFY(resultRows(result).join(QLatin1Char('\n')).contains(QLatin1String("again.doc")));
    }
}

// Triggers someone else put in the catalogue never run from the program's statements: the
// catalogue is searched exactly, and changing it is refused with a message naming them.
void HostileCatalogueTest::foreignTriggersNeverRunFromTheProgram_data()
{
    QTest::addColumn<QByteArray>("trigger");
    QTest::addColumn<QString>("action");
    const QByteArray wipe = "create trigger wipe after insert on files begin "
                            "delete from files where id_cd <> new.id_cd; "
                            "delete from cd where id <> new.id_cd; end";
    const QByteArray loop =
        "create trigger wipe after insert on cd begin insert into files "
        "(id, id_cd, nome, path, dimensione, data) with recursive n(i) as "
        "(select 1 union all select i + 1 from n) select 100 + i, new.id, 'x', '\\', 0, '' "
        "from n; end";
    // Puts every dropped index back, so that the program would trust a stale one.
    const QByteArray forge = "create trigger wipe before delete on search_index begin "
                             "insert into files (id, id_cd, nome, path, dimensione, data) values "
                             "(old.id_cd * 1000, old.id_cd, 'x', '\\', 0, ''); end";
    QTest::newRow("deletes other discs, on cataloguing") << wipe << "catalogue";
    QTest::newRow("deletes other discs, on removal")
        << QByteArray(wipe).replace("after insert", "after delete").replace("new.", "old.") << "remove";
    QTest::newRow("runs the program's insert into an endless loop") << loop << "catalogue";
    QTest::newRow("keeps a stale index, on upgrade") << forge << "upgrade";
    QTest::newRow("one of the program's names, other statements")
        << QByteArray(wipe).replace("trigger wipe after insert",
                                    "trigger search_index_cd_insert after insert")
        << "catalogue";
}

void HostileCatalogueTest::foreignTriggersNeverRunFromTheProgram()
{
    QFETCH(QByteArray, trigger);
    QFETCH(QString, action);
    TestCatalogue cat;
    fillTwoDiscs(cat);
    const QString name = QString::fromUtf8(trigger.split(' ').at(2));
    if (name.startsWith(QLatin1String("search_index")))
        otherTool(cat.path(), "drop trigger " + name.toUtf8());
    otherTool(cat.path(), trigger);
    cat.work->close();
    cat.connection.disconnect();
    cat.connection.connect(cat.path());
    const QString before = contents(cat.connection);

    // Searching reads rows only: it works, and exactly.
    ResultSet result(cat.connection);
    const SearchStatement all{SearchCriteria()};
    result.open(all);
    QCOMPARE(result.rowCount(), 6);
    QCOMPARE(resultRows(result), plainRows(cat.connection, all));

    Query work(cat.connection);
    try {
        if (action == QLatin1String("catalogue")) {
            cat.addDisc(QStringLiteral("C"), QStringLiteral("NEW"), 9);
            cat.addFile(9, QStringLiteral("\\"), QStringLiteral("new.txt"));
        } else if (action == QLatin1String("remove")) {
            DiscStore::removeDisc(work, 5);
        } else {
            Schema::upgradeCatalogue(cat.connection);
        }
        QFAIL("the catalogue was changed");
    } catch (const TessaroError& error) {
        QCOMPARE(error.message(),
                 QStringLiteral("The catalogue holds triggers that Tessaro did not make (%1); it can be "
                                "searched but not changed until they are removed")
                     .arg(name));
    }
    QCOMPARE(contents(cat.connection), before);
    result.open(all);
    QCOMPARE(resultRows(result), plainRows(cat.connection, all));

    // The catalogue is data: SQLite's defensive settings hold on the program's connection.
    int defensive = -1;
    int trusted = -1;
    sqlite3_db_config(ConnectionProbe::handle(cat.connection), SQLITE_DBCONFIG_DEFENSIVE, -1, &defensive);
    sqlite3_db_config(ConnectionProbe::handle(cat.connection), SQLITE_DBCONFIG_TRUSTED_SCHEMA, -1, &trusted);
    QCOMPARE(defensive, 1);
    QCOMPARE(trusted, 0);

    // Once the trigger is gone, the next write transaction can change the catalogue again.
    otherTool(cat.path(), "drop trigger " + name.toUtf8());
    Transaction transaction(cat.connection);
    cat.addDisc(QStringLiteral("C"), QStringLiteral("NEW"), 9);
    cat.addFile(9, QStringLiteral("\\"), QStringLiteral("new.txt"));
    transaction.commit();
    QCOMPARE(cat.count(QStringLiteral("cd")), 3);
}

// The program reads its tables only: a view in their place (here one that never ends) is
// refused when connecting.
void HostileCatalogueTest::viewsInPlaceOfTheTablesAreRefused_data()
{
    QTest::addColumn<QByteArray>("replace");
    QTest::addColumn<QString>("view");
    QTest::newRow("files")
        << QByteArray("drop table files; create view files as with recursive n(i) as (select 1 union all "
                      "select i + 1 from n) select i as id, 1 as id_cd, 'x' as nome, '\\' as path, '' as "
                      "estensione, 0 as dimensione, '' as data from n")
        << "files";
    QTest::newRow("cd, in other letters")
        << QByteArray("drop table cd; create view CD as select 1 as id, '' as etichetta, 'C' as tipo, "
                      "'' as data")
        << "CD";
}

void HostileCatalogueTest::viewsInPlaceOfTheTablesAreRefused()
{
    QFETCH(QByteArray, replace);
    QFETCH(QString, view);
    TestCatalogue cat;
    cat.work->close();
    cat.connection.disconnect();
    otherTool(cat.path(), replace);
    try {
        cat.connection.connect(cat.path());
        QFAIL("connected");
    } catch (const TessaroError& error) {
        QCOMPARE(error.message(), QStringLiteral("%1 in the catalogue is a view, not a table").arg(view));
    }
    QVERIFY(!cat.connection.connected());
}

// Index rows with counts no disc can have are malformed: the disc is searched without them.
void HostileCatalogueTest::absurdIndexCountsAreRefused_data()
{
    QTest::addColumn<QByteArray>("entries");
    QTest::newRow("largest integer") << QByteArray("9223372036854775807");
    QTest::newRow("smallest integer") << QByteArray("-9223372036854775807 - 1");
    QTest::newRow("negative") << QByteArray("-3");
    QTest::newRow("beyond 32 bits, same low bits") << QByteArray("4294967296 + 3");
}

void HostileCatalogueTest::absurdIndexCountsAreRefused()
{
    QFETCH(QByteArray, entries);
    TestCatalogue cat;
    fillTwoDiscs(cat);
    otherTool(cat.path(), "update search_index set entries = " + entries + ", generation = random()");
    ResultSet result(cat.connection);
    const SearchStatement all{SearchCriteria()};
    result.open(all);
    QCOMPARE(resultRows(result), plainRows(cat.connection, all));
    QCOMPARE(result.rowCount(), 6);
}

QTEST_GUILESS_MAIN(HostileCatalogueTest)
#include "hostilecatalogue_test.moc"
