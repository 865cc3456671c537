#include "catalogue/DiscStore.h"
#include "catalogue/Statement.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "tests/maintenance/MaintenanceFixture.h"

#include <QTimer>
#include <QtTest>
#include <sqlite3.h>

namespace
{
const QString kRoot = QStringLiteral("e:\\");

QString noLabel()
{
    return {};
}

bool inTransaction(Connection& connection)
{
    return connection.inTransaction();
}
} // namespace

class CataloguerTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void positionRoundsHalvesToEven_data();
    void positionRoundsHalvesToEven();
    void writesTheDiscAndOneRowPerFile();
    void idsAreSharedByCdsAndDvds();
    void fileIdsFollowTheHighestId_data();
    void fileIdsFollowTheHighestId();
    void searchIndexIsTheOneBuiltFromTheRows();
    void progressIsReportedOnlyWhenItChanges();
    void discWithoutFilesStillGetsItsRow();
    void otherConnectionsSeeNothingBeforeTheCommit();
    void stopRemovesEverythingAndFreesTheId();
    void errorInTheMiddleRemovesTheDisc();
    void failedDiscRowLeavesNothingToRemove();
    void removeCommittedTakesTheDiscAway();
    void triggersWorkAgainAfterEveryRun_data();
    void triggersWorkAgainAfterEveryRun();
};

void CataloguerTest::positionRoundsHalvesToEven_data()
{
    QTest::addColumn<qint64>("added");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("position");
    QTest::newRow("1 of 3") << qint64(1) << qint64(3) << 33;
    QTest::newRow("2 of 3") << qint64(2) << qint64(3) << 67;
    QTest::newRow("3 of 3") << qint64(3) << qint64(3) << 100;
    QTest::newRow("12.5 goes down") << qint64(1) << qint64(8) << 12;
    QTest::newRow("37.5 goes up") << qint64(3) << qint64(8) << 38;
    QTest::newRow("0.5 goes down") << qint64(1) << qint64(200) << 0;
    QTest::newRow("1.5 goes up") << qint64(3) << qint64(200) << 2;
    QTest::newRow("7.5 exactly, not float") << qint64(3) << qint64(40) << 8;
    QTest::newRow("more than counted") << qint64(5) << qint64(3) << 100;
    QTest::newRow("nothing counted") << qint64(1) << qint64(0) << 100;
    QTest::newRow("huge disc") << qint64(1999999) << qint64(2000000) << 100;
}

void CataloguerTest::positionRoundsHalvesToEven()
{
    QFETCH(qint64, added);
    QFETCH(qint64, total);
    QFETCH(int, position);
    QCOMPARE(DiscCataloguer::position(added, total), position);
}

void CataloguerTest::writesTheDiscAndOneRowPerFile()
{
    FakeHost host;
    FakeDrive drive;
    drive.addFile(QStringLiteral("Read Me.TXT"), "hello");
    drive.addFile(QStringLiteral("docs/old/a.tar.gz"), "123");
    drive.addFile(QStringLiteral("docs/noext"));
    drive.addFile(QStringLiteral(".config/skipped.txt"));
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    QCOMPARE(run.countFiles(kRoot), 3);
    bool rowWrittenAfterHook = false;
    const bool completed = run.catalogue(
        QStringLiteral("D"), kRoot, [] { return QStringLiteral("VOL 1"); },
        [&] { rowWrittenAfterHook = host.catalogue.count(QStringLiteral("cd")) == 0; });
    QVERIFY(completed);
    QVERIFY(rowWrittenAfterHook);
    QCOMPARE(run.NewDiscId, 1);
    QCOMPARE(run.FilesAdded, 3);
    QCOMPARE(run.newDiscLabel(), QStringLiteral("D0001"));
    QVERIFY(!inTransaction(host.connection()));

    TestCatalogue& cat = host.catalogue;
    QCOMPARE(cat.scalar(QStringLiteral("select etichetta || '|' || tipo from cd where id = 1")).toString(),
             QStringLiteral("VOL 1|D"));
    LocalDateTime stamp;
    QVERIFY(LocalDateTime::fromText(cat.scalar(QStringLiteral("select data from cd")).toString(), stamp));
    QVERIFY(qAbs(stamp.toQDateTime().secsTo(QDateTime::currentDateTime())) < 60);
    QCOMPARE(cat.scalar(QStringLiteral(
                            "select group_concat(path || nome || '|' || estensione || '|' || dimensione, ';')"
                            " from (select * from files where id_cd = 1 order by path, nome)"))
                 .toString(),
             QStringLiteral("\\Read Me.TXT|.TXT|5;\\docs\\noext||0;\\docs\\old\\a.tar.gz|.gz|3"));
    QCOMPARE(cat.scalar(QStringLiteral("select min(id) || '-' || max(id) from files")).toString(),
             QStringLiteral("1-3"));
    // The disc's search index comes with the run.
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from search_index where id_cd = 1")).toInt(), 1);
}

void CataloguerTest::idsAreSharedByCdsAndDvds()
{
    FakeHost host;
    FakeDrive drive;
    drive.addFile(QStringLiteral("a.txt"));
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QCOMPARE(run.newDiscLabel(), QStringLiteral("C0001"));
    QVERIFY(run.catalogue(QStringLiteral("D"), kRoot, noLabel));
    QCOMPARE(run.newDiscLabel(), QStringLiteral("D0002"));
    for (int i = 3; i <= 10; ++i)
        QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QVERIFY(run.catalogue(QStringLiteral("D"), kRoot, noLabel));
    QCOMPARE(run.newDiscLabel(), QStringLiteral("D0011"));
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 11);
}

void CataloguerTest::fileIdsFollowTheHighestId_data()
{
    QTest::addColumn<QList<qint64>>("existing");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty catalogue") << QList<qint64>{} << QStringLiteral("1,2,3");
    QTest::newRow("after a gap") << QList<qint64>{4, 5000} << QStringLiteral("5001,5002,5003");
    // Ids through zero: the run counts on from the first id whatever its sign.
    QTest::newRow("negative ids") << QList<qint64>{-2} << QStringLiteral("-1,0,1");
}

void CataloguerTest::fileIdsFollowTheHighestId()
{
    QFETCH(QList<qint64>, existing);
    QFETCH(QString, expected);
    FakeHost host;
    const qint64 other = host.catalogue.addDisc(QStringLiteral("C"));
    for (qint64 id : existing) {
        Statement insert(host.connection(), "insert into files (id, id_cd, nome, path, dimensione, data) "
                                            "values (?1, ?2, 'x', '\\', 0, '2020-01-01 00:00:00')");
        insert.bind(1, id);
        insert.bind(2, other);
        insert.step();
    }
    FakeDrive drive;
    drive.addFile(QStringLiteral("a/1"));
    drive.addFile(QStringLiteral("b/2"));
    drive.addFile(QStringLiteral("3"));
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QCOMPARE(host.catalogue
                 .scalar(QStringLiteral("select group_concat(id) from (select id from files where id_cd = %1 "
                                        "order by id)")
                             .arg(run.NewDiscId))
                 .toString(),
             expected);
}

// The run builds the disc's index from the rows as it writes them; it must be byte for byte the
// one built from the stored rows, in the catalogue's order of folders and names.
void CataloguerTest::searchIndexIsTheOneBuiltFromTheRows()
{
    FakeHost host;
    FakeDrive drive;
    // Letters that fold, the characters between Z and a ("\" among them, the path separator),
    // prefixes, texts beyond ASCII, folders NOCASE holds equal, and a folder visited again
    // after its subfolders.
    const char* const names[] = {"a/x.TXT", "a/X.txt",   "A/x.txt", "A/Y",   "a/_u",       "a/[v",
                                 "a/~w",    "a/ab",      "a/aB",    "a/abc", "a/AB.c",     "a/b/z",
                                 "a/b/Z.d", "a_b/k",     "ab/k",    "a b/k", "Ä/é.TXT",    "é/e",
                                 "E/è",     "z/.hidden", "z/a.b.c", "[/q",   "`/q",        "^/Q",
                                 "root",    "Root",      "ROOT.",   "a/zz",  "a/b/c/d/e/f"};
    for (const char* name : names)
        drive.addFile(QString::fromUtf8(name), "12");
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    // The directory, its count, the pieces and the postings, each without its check (which
    // covers the index's generation, new with each build).
    const QString body =
        QStringLiteral("select entries || '/' || hex(substr(body, 1, 16)) || '/' || (select "
                       "group_concat(hex(substr(body, 1, length(body) - 4)), '/') from "
                       "(select body from search_index_piece where id_cd = %1 order by piece)) "
                       "|| '/' || (select group_concat(trigram || ':' || hex(substr(pieces, 1, "
                       "length(pieces) - 4)), '/') from (select trigram, pieces from "
                       "search_trigram where id_cd = %1 order by trigram)) "
                       "from search_index where id_cd = %1")
            .arg(run.NewDiscId);
    const QString fed = host.catalogue.scalar(body).toString();
    QVERIFY(fed.startsWith(QStringLiteral("%1/").arg(std::size(names))));
    QVERIFY(SearchIndex::indexDisc(host.connection(), run.NewDiscId));
    QCOMPARE(fed, host.catalogue.scalar(body).toString());
}

void CataloguerTest::progressIsReportedOnlyWhenItChanges()
{
    FakeHost host;
    FakeDrive drive;
    for (const char* name : {"a", "b", "c"})
        drive.addFile(QLatin1String(name));
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    QList<int> positions;
    QStringList phases;
    DiscCataloguer::Events events;
    events.runStarted = [&] { phases.append(QStringLiteral("started")); };
    events.progress = [&](int p) { positions.append(p); };
    events.runEnded = [&](bool stopped) {
        phases.append(stopped ? QStringLiteral("stopped") : QStringLiteral("ended"));
    };
    run.setEvents(events);
    run.countFiles(kRoot);
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QCOMPARE(positions, (QList<int>{33, 67, 100}));
    QCOMPARE(phases, (QStringList{QStringLiteral("started"), QStringLiteral("ended")}));

    // 300 files move the bar through every position once.
    drive.addFiles(297);
    positions.clear();
    run.countFiles(kRoot);
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    // 1 of 300 rounds to 0, a change from nothing shown yet; then every position once.
    QList<int> everyPosition;
    for (int p = 0; p <= 100; ++p)
        everyPosition.append(p);
    QCOMPARE(positions, everyPosition);
}

void CataloguerTest::discWithoutFilesStillGetsItsRow()
{
    FakeHost host;
    FakeDrive drive;
    QDir(drive.disc.path()).mkpath(QStringLiteral("empty/folders"));
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    QCOMPARE(run.countFiles(kRoot), 0);
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QCOMPARE(run.FilesAdded, 0);
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 1);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 0);
}

void CataloguerTest::otherConnectionsSeeNothingBeforeTheCommit()
{
    FakeHost host;
    FakeDrive drive;
    drive.addFiles(5);
    Connection other;
    other.connect(host.catalogue.path());
    Query otherQuery(other);
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    QList<qint64> seen;
    DiscCataloguer::Events events;
    events.progress = [&](int) {
        otherQuery.openWith(
            QStringLiteral("select (select count(*) from cd) + (select count(*) from files)"));
        seen.append(otherQuery.value(0).toLongLong());
        otherQuery.close();
    };
    run.setEvents(events);
    run.countFiles(kRoot);
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QCOMPARE(seen, (QList<qint64>{0, 0, 0, 0, 0}));
    otherQuery.openWith(QStringLiteral("select count(*) from files"));
    QCOMPARE(otherQuery.value(0).toLongLong(), 5);
}

void CataloguerTest::stopRemovesEverythingAndFreesTheId()
{
    FakeHost host;
    FakeDrive drive;
    drive.addFiles(50);
    const qint64 earlier = host.catalogue.addDisc(QStringLiteral("C"));
    host.catalogue.addFile(earlier, QStringLiteral("\\"), QStringLiteral("keep.txt"));
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    run.searcher().OnPump = [] { QCoreApplication::processEvents(); };
    bool stoppedSeen = false;
    DiscCataloguer::Events events;
    // The stop comes from the walk's event pump, as a click on the Stop button does.
    events.progress = [&](int position) {
        if (position >= 10 && !run.searcher().Stopped)
            QTimer::singleShot(0, [&] { run.stop(); });
    };
    events.runEnded = [&](bool stopped) { stoppedSeen = stopped; };
    run.setEvents(events);
    run.countFiles(kRoot);
    QVERIFY(!run.catalogue(QStringLiteral("D"), kRoot, noLabel));
    QVERIFY(stoppedSeen);
    QVERIFY(run.FilesAdded >= 5 && run.FilesAdded < 50);
    QCOMPARE(run.NewDiscId, 0);
    QVERIFY(!run.running());
    QVERIFY(!inTransaction(host.connection()));
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 1);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 1);
    QCOMPARE(host.catalogue.count(QStringLiteral("search_index")), 0);

    run.setEvents({});
    QVERIFY(run.catalogue(QStringLiteral("D"), kRoot, noLabel));
    QCOMPARE(run.NewDiscId, 2);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 51);
}

void CataloguerTest::errorInTheMiddleRemovesTheDisc()
{
    FakeHost host;
    FakeDrive drive;
    drive.addFiles(20);
    drive.addFile(QStringLiteral("many/poison.bin"));
    host.catalogue.connection.exec(
        "create temp trigger poison before insert on files when new.nome = 'poison.bin' "
        "begin select raise(abort, 'disk I/O error'); end");
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    run.countFiles(kRoot);
    QString message;
    try {
        run.catalogue(QStringLiteral("C"), kRoot, noLabel);
    } catch (const TessaroError& error) {
        message = error.message();
    }
    QCOMPARE(message, QStringLiteral("disk I/O error"));
    QCOMPARE(run.NewDiscId, 0);
    QVERIFY(!run.running());
    QVERIFY(!inTransaction(host.connection()));
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 0);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 0);

    host.catalogue.connection.exec("drop trigger poison");
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QCOMPARE(run.NewDiscId, 1);
}

void CataloguerTest::failedDiscRowLeavesNothingToRemove()
{
    FakeHost host;
    FakeDrive drive;
    drive.addFile(QStringLiteral("a.txt"));
    host.catalogue.connection.exec("create temp trigger refuse before insert on cd begin select raise(abort, "
                                   "'database or disk is full'); end");
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    QVERIFY_THROWS_EXCEPTION(TessaroError, run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QVERIFY(!run.running());
    QVERIFY(!inTransaction(host.connection()));
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 0);
}

void CataloguerTest::removeCommittedTakesTheDiscAway()
{
    FakeHost host;
    FakeDrive drive;
    drive.addFiles(4);
    const qint64 other = host.catalogue.addDisc(QStringLiteral("C"));
    host.catalogue.addFile(other, QStringLiteral("\\"), QStringLiteral("keep.txt"));
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 5);
    run.removeCommitted();
    QCOMPARE(run.NewDiscId, 0);
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 1);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 1);
    QVERIFY(!inTransaction(host.connection()));
}

// A run writes its file rows without the catalogue's triggers; however it ends, the session's
// next change of a disc's rows must drop that disc's search index again.
void CataloguerTest::triggersWorkAgainAfterEveryRun_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("completed") << QStringLiteral("completed");
    QTest::newRow("stopped in the walk") << QStringLiteral("stopped");
    QTest::newRow("failed in the walk") << QStringLiteral("failed");
}

void CataloguerTest::triggersWorkAgainAfterEveryRun()
{
    QFETCH(QString, ending);
    FakeHost host;
    FakeDrive drive;
    drive.addFiles(30);
    drive.addFile(QStringLiteral("many/poison.bin"));
    const qint64 earlier = host.catalogue.addDisc(QStringLiteral("C"));
    host.catalogue.addFile(earlier, QStringLiteral("\\"), QStringLiteral("keep.txt"));
    QVERIFY(SearchIndex::indexDisc(host.connection(), earlier));
    if (ending == QLatin1String("failed"))
        host.catalogue.connection.exec("create temp trigger poison before insert on files when new.nome = "
                                       "'poison.bin' begin select raise(abort, 'disk I/O error'); end");
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    run.searcher().OnPump = [] { QCoreApplication::processEvents(); };
    DiscCataloguer::Events events;
    events.progress = [&](int position) {
        if (ending == QLatin1String("stopped") && position >= 10 && !run.searcher().Stopped)
            QTimer::singleShot(0, [&] { run.stop(); });
    };
    run.setEvents(events);
    run.countFiles(kRoot);
    bool completed = false;
    try {
        completed = run.catalogue(QStringLiteral("C"), kRoot, noLabel);
    } catch (const TessaroError&) {
    }
    QCOMPARE(completed, ending == QLatin1String("completed"));
    if (ending == QLatin1String("failed"))
        host.catalogue.connection.exec("drop trigger poison");
    QCOMPARE(host.catalogue.count(QStringLiteral("search_index")), completed ? 2 : 1);

    host.catalogue.connection.exec("update files set dimensione = dimensione + 1");
    QCOMPARE(host.catalogue.count(QStringLiteral("search_index")), 0);
}

QTEST_MAIN(CataloguerTest)
#include "cataloguer_test.moc"
