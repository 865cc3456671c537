#include "tests/maintenance/ImageFixture.h"
#include "tests/support/CliRun.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <sqlite3.h>

// tessaro-cli update against the disc a fresh add of the changed folder gives, refused media,
// kills while it writes, and the disc UUIDs that upgrade-catalogue gives and updates keep.
class UpdateCliTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void updateEqualsAFreshAdd_data();
    void updateEqualsAFreshAdd();
    void refusalsChangeNothing_data();
    void refusalsChangeNothing();
    void killedUpdatesLeaveTheOldOrTheNewDisc();
    void upgradeGivesEveryDiscItsOwnUuid();

  private:
    QString strace_;
    QTemporaryDir dir_;
};

namespace
{
const QString kDate = QStringLiteral("2021-03-04 05:06:07");

QStringList at(const QString& catalogue, const QStringList& args)
{
    return QStringList{QStringLiteral("--catalogue"), catalogue} + args;
}

void writeFile(const QString& path, const QByteArray& bytes, const QString& date = kDate)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::fromString(date, QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                             QFileDevice::FileModificationTime));
}

// Twenty files in three folders and a tar archive of two members, which are listed.
void writeDisc(const QString& root)
{
    for (int i = 0; i < 12; ++i)
        writeFile(QStringLiteral("%1/f%2.txt").arg(root).arg(i), QByteArray(10 + i, char('a' + i)));
    for (int i = 0; i < 4; ++i)
        writeFile(QStringLiteral("%1/docs/d%2.pdf").arg(root).arg(i), QByteArray(100 + i, 'd'));
    for (int i = 0; i < 3; ++i)
        writeFile(QStringLiteral("%1/old/o%2").arg(root).arg(i), QByteArray(5, 'o'));
    writeFile(root + QStringLiteral("/pack/one.txt"), "one");
    writeFile(root + QStringLiteral("/pack/two.txt"), "two");
    QCOMPARE(ImageFixture::run(QStringLiteral("tar"),
                               {QStringLiteral("-cf"), QStringLiteral("../pack.tar"),
                                QStringLiteral("one.txt"), QStringLiteral("two.txt")},
                               root + QStringLiteral("/pack")),
             QString());
    QVERIFY(QDir(root + QStringLiteral("/pack")).removeRecursively());
    QFile tar(root + QStringLiteral("/pack.tar"));
    QVERIFY(tar.open(QIODevice::ReadWrite));
    QVERIFY(tar.setFileTime(QDateTime::fromString(kDate, QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                            QFileDevice::FileModificationTime));
}

// Rows of one statement, each row's columns as SQLite gives them, joined.
QStringList rows(const QString& catalogue, const QString& sql)
{
    QStringList out;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(catalogue).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
        out << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
        QStringList columns;
        for (int c = 0; c < sqlite3_column_count(statement); ++c) {
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, c));
            const QByteArray value(bytes, sqlite3_column_bytes(statement, c));
            columns << (sqlite3_column_type(statement, c) == SQLITE_BLOB ? QString::fromLatin1(value.toHex())
                                                                         : QString::fromUtf8(value));
        }
        out << columns.join(QLatin1Char('|'));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return out;
}

void exec(const QString& catalogue, const QString& sql)
{
    const QStringList result = rows(catalogue, sql);
    QVERIFY2(result.isEmpty() || !result.first().startsWith(QLatin1String("error")),
             qPrintable(result.join(',')));
}

// Every table, every row: what "nothing was written" means.
QStringList everything(const QString& catalogue)
{
    QStringList all;
    for (const QString& table :
         rows(catalogue, QStringLiteral("select name from sqlite_master where type = 'table' order by name")))
        all << table << rows(catalogue, QStringLiteral("select * from \"%1\" order by 1, 2").arg(table));
    all << rows(catalogue, QStringLiteral("select type, name, sql from sqlite_master order by name"));
    return all;
}

// A disc as a fresh add would give it: its files with their hashes, in folder and name order,
// and its record's totals.
QStringList disc(const QString& catalogue, int id)
{
    return rows(catalogue,
                QStringLiteral("select f.path, f.nome, f.estensione, f.dimensione, f.data, h.hash from "
                               "files f left join file_hash h on h.id_file = f.id where f.id_cd = %1 "
                               "order by f.path, f.nome")
                    .arg(id)) +
           rows(catalogue, QStringLiteral("select folders, files, bytes, fs_id, total_space, free_space from "
                                          "disc_record where id_cd = %1")
                               .arg(id));
}

// The disc as searches see it, through its index, the label left out.
QStringList searched(const QString& catalogue, const QString& label)
{
    QStringList lines =
        QString::fromUtf8(CliRun::of(at(catalogue, {QStringLiteral("search"), QStringLiteral("--disc"), label,
                                                    QStringLiteral("-q")}))
                              .out)
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.section(QLatin1Char('\t'), 1);
    lines.sort();
    return lines;
}

QString copyOf(const QString& catalogue, const QString& to)
{
    QFile::remove(to);
    QFile::remove(to + QStringLiteral("-wal"));
    QFile::remove(to + QStringLiteral("-shm"));
    if (!QFile::copy(catalogue, to))
        return {};
    return to;
}
} // namespace

void UpdateCliTest::initTestCase()
{
    strace_ = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace_.isEmpty())
        QFAIL("needs strace (tools/install-deps --test)");
    QVERIFY(dir_.isValid());
}

void UpdateCliTest::updateEqualsAFreshAdd_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("counts");
    const QStringList kinds = {"file added",      "file removed",      "file grown",
                               "file touched",    "folder added",      "folder removed",
                               "renamed by case", "archive rewritten", "nothing"};
    const QStringList counts = {
        "1 added, 0 removed, 0 changed, 22 unchanged", "0 added, 1 removed, 0 changed, 21 unchanged",
        "0 added, 0 removed, 1 changed, 21 unchanged", "0 added, 0 removed, 1 changed, 21 unchanged",
        "2 added, 0 removed, 0 changed, 22 unchanged", "0 added, 3 removed, 0 changed, 19 unchanged",
        "1 added, 1 removed, 0 changed, 21 unchanged", "1 added, 1 removed, 2 changed, 19 unchanged",
        "0 added, 0 removed, 0 changed, 22 unchanged"};
    for (int i = 0; i < kinds.size(); ++i)
        QTest::newRow(qPrintable(kinds[i])) << kinds[i] << counts[i];
}

// Updated from its changed folder, a disc holds what a fresh add of that folder gives: the same
// rows, hashes and totals, the same search results; it keeps its label, UUID, location and notes,
// and a disc beside it is untouched.
void UpdateCliTest::updateEqualsAFreshAdd()
{
    QFETCH(QString, change);
    QFETCH(QString, counts);
    const QString base = dir_.filePath(change).replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString root = base + QStringLiteral("/disc");
    const QString other = base + QStringLiteral("/other");
    const QString catalogue = base + QStringLiteral("/archive.mdb");
    writeDisc(root);
    writeFile(other + QStringLiteral("/x.txt"), "x");
    QCOMPARE(CliRun::of(at(catalogue, {"create-catalogue"})).status, 0);
    for (const QString& folder : {root, other})
        QCOMPARE(CliRun::of(at(catalogue, {"add", "--root", folder, "--hash", "--archives", "-q"})).status,
                 0);
    QCOMPARE(CliRun::of(at(catalogue, {"info", "C0001", "--location", "Box 7", "--notes", "kept"})).status,
             0);
    const QString uuid =
        rows(catalogue, QStringLiteral("select uuid from disc_record where id_cd = 1")).value(0);
    const QStringList otherBefore = disc(catalogue, 2);

    if (change == QLatin1String("file added")) {
        writeFile(root + QStringLiteral("/docs/new.pdf"), "new");
    } else if (change == QLatin1String("file removed")) {
        QVERIFY(QFile::remove(root + QStringLiteral("/f3.txt")));
    } else if (change == QLatin1String("file grown")) {
        writeFile(root + QStringLiteral("/f4.txt"), QByteArray(50, 'g'));
    } else if (change == QLatin1String("file touched")) {
        writeFile(root + QStringLiteral("/f5.txt"), QByteArray(15, 'f'),
                  QStringLiteral("2022-01-01 00:00:00"));
    } else if (change == QLatin1String("folder added")) {
        writeFile(root + QStringLiteral("/new/a.txt"), "a");
        writeFile(root + QStringLiteral("/new/deeper/b.txt"), "b");
    } else if (change == QLatin1String("folder removed")) {
        QVERIFY(QDir(root + QStringLiteral("/old")).removeRecursively());
    } else if (change == QLatin1String("renamed by case")) {
        QVERIFY(QFile::rename(root + QStringLiteral("/f6.txt"), root + QStringLiteral("/F6.txt")));
    } else if (change == QLatin1String("archive rewritten")) {
        // The members change; the archive itself changes size and date too.
        writeFile(base + QStringLiteral("/pack/one.txt"), "one, longer");
        writeFile(base + QStringLiteral("/pack/three.txt"), "three");
        QCOMPARE(ImageFixture::run(QStringLiteral("tar"),
                                   {QStringLiteral("-cf"), root + QStringLiteral("/pack.tar"),
                                    QStringLiteral("one.txt"), QStringLiteral("three.txt")},
                                   base + QStringLiteral("/pack")),
                 QString());
    }
    const QStringList before = everything(catalogue);
    // Without --archives: the disc holds members, so the update lists archives all the same.
    const CliRun run = CliRun::of(at(catalogue, {"update", "C0001", "--root", root, "--yes"}));
    QCOMPARE(run.status, 0);
    QCOMPARE(QString::fromUtf8(run.out).section(QLatin1Char('\n'), 0, 0), counts);
    if (change == QLatin1String("nothing")) {
        QCOMPARE(run.out, (counts + QLatin1Char('\n')).toUtf8());
        QCOMPARE(everything(catalogue), before);
        return;
    }
    QCOMPARE(run.out, (counts + QStringLiteral("\nUpdated C0001\n")).toUtf8());

    QCOMPARE(
        CliRun::of(at(catalogue, {"add", "--root", root, "--hash", "--archives", "--again", "-q"})).status,
        0);
    QCOMPARE(disc(catalogue, 1), disc(catalogue, 3));
    QCOMPARE(searched(catalogue, QStringLiteral("C0001")), searched(catalogue, QStringLiteral("C0003")));
    QCOMPARE(disc(catalogue, 2), otherBefore);
    QCOMPARE(rows(catalogue,
                  QStringLiteral("select c.etichetta, c.tipo, r.uuid, r.location, r.notes, r.generation, "
                                 "r.updated is not null from cd c join disc_record r on r.id_cd = c.id "
                                 "where c.id = 1")),
             QStringList{QStringLiteral("|C|%1|Box 7|kept|2|1").arg(uuid)});
    // Its index was built again and the stamp counts every row.
    QCOMPARE(rows(catalogue, QStringLiteral("select count(*) from search_index where id_cd = 1")),
             QStringList{QStringLiteral("1")});
    QCOMPARE(rows(catalogue,
                  QStringLiteral("select (select highest_file from search_stamp) = max(id) from files")),
             QStringList{QStringLiteral("1")});
    const QString info = QString::fromUtf8(CliRun::of(at(catalogue, {"info", "C0001"})).out);
    QVERIFY2(info.contains(QStringLiteral("\nuuid: %1\nupdated: 2").arg(uuid)), qPrintable(info));
}

void UpdateCliTest::refusalsChangeNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("args"); // after "update"; DISC stands for the disc's folder
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err"); // DISC and OTHER stand for the folders
    QTest::newRow("no such disc") << "" << QStringList{"C0099", "--root", "DISC", "--yes"} << 1
                                  << "tessaro-cli: No disc C0099 in the catalogue\n";
    QTest::newRow("another volume label")
        << "update cd set etichetta = 'PHOTOS_2018'" << QStringList{"C0001", "--root", "DISC", "--yes"} << 1
        << "tessaro-cli: The folder DISC is not C0001: its volume label is empty, C0001's is PHOTOS_2018\n";
    QTest::newRow("another file-system id")
        << "update disc_record set fs_id = '1A2B-3C4D'" << QStringList{"C0001", "--root", "DISC", "--yes"}
        << 1
        << "tessaro-cli: The folder DISC is not C0001: its file-system id is empty, C0001's is 1A2B-3C4D\n";
    QTest::newRow("another path")
        << "" << QStringList{"C0001", "--root", "OTHER", "--yes"} << 1
        << "tessaro-cli: The folder OTHER is not C0001: C0001 was catalogued from DISC\n";
    QTest::newRow("most files differ") << "replace" << QStringList{"C0001", "--root", "DISC", "--yes"} << 1
                                       << "tessaro-cli: Most files differ: is this the right disc? Nothing "
                                          "was changed; --force updates it\n";
    QTest::newRow("not asked, no --yes") << "grow" << QStringList{"C0001", "--root", "DISC"} << 1
                                         << "Nothing was changed; --yes updates the disc without asking\n";
    QTest::newRow("dry run") << "grow" << QStringList{"C0001", "--root", "DISC", "--dry-run", "--force"} << 0
                             << "";
    QTest::newRow("folder unreadable")
        << "eio" << QStringList{"C0001", "--root", "DISC", "--yes"} << 1
        << "tessaro-cli: Cannot read the folder d:\\docs\\: Input/output error\n";
    QTest::newRow("not upgraded") << "alter table disc_record drop column generation"
                                  << QStringList{"C0001", "--root", "DISC", "--yes"} << 1
                                  << "tessaro-cli: The catalogue cannot keep updates; run tessaro-cli "
                                     "upgrade-catalogue\n";
}

// A medium that is not the disc, most files gone, no word to apply, a read error: every table
// stays as it was, byte for byte.
void UpdateCliTest::refusalsChangeNothing()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, err);
    const QString base =
        dir_.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), '_'));
    const QString root = base + QStringLiteral("/disc");
    const QString other = base + QStringLiteral("/other");
    const QString catalogue = base + QStringLiteral("/archive.mdb");
    writeDisc(root);
    writeDisc(other);
    QCOMPARE(CliRun::of(at(catalogue, {"create-catalogue"})).status, 0);
    QCOMPARE(CliRun::of(at(catalogue, {"add", "--root", root, "--hash", "-q"})).status, 0);
    QStringList command{QStringLiteral("update")};
    for (const QString& arg : args)
        command << (arg == QLatin1String("DISC") ? root : arg == QLatin1String("OTHER") ? other : arg);
    if (fault == QLatin1String("replace")) {
        QVERIFY(QDir(root).removeRecursively());
        writeDisc(root);
        for (int i = 0; i < 12; ++i)
            writeFile(QStringLiteral("%1/f%2.txt").arg(root).arg(i), "changed",
                      QStringLiteral("2023-01-01 00:00:00"));
    } else if (fault == QLatin1String("grow")) {
        writeFile(root + QStringLiteral("/f1.txt"), "grown to a new size");
    } else if (!fault.isEmpty() && fault != QLatin1String("eio")) {
        exec(catalogue, fault);
    }
    const QStringList before = everything(catalogue);
    CliRun run;
    if (fault == QLatin1String("eio")) {
        // Listing one folder fails as on a scratched disc.
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        process.setProcessEnvironment(env);
        process.start(strace_,
                      QStringList{"-f", "-qq", "-o", "/dev/null", "-P", root + QStringLiteral("/docs"), "-e",
                                  "trace=getdents64", "-e", "inject=getdents64:error=EIO",
                                  QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli"),
                                  "--catalogue", catalogue} +
                          command);
        QVERIFY(process.waitForFinished(120000));
        run = {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    } else {
        run = CliRun::of(at(catalogue, command));
    }
    QCOMPARE(run.status, status);
    QCOMPARE(QString::fromUtf8(run.err),
             QString(err).replace(QStringLiteral("DISC"), root).replace(QStringLiteral("OTHER"), other));
    QCOMPARE(everything(catalogue), before);
}

// An update killed at random moments, and at each of its writes to the catalogue: afterwards the
// disc is the old one or the new one, whole, with its index and record to match.
void UpdateCliTest::killedUpdatesLeaveTheOldOrTheNewDisc()
{
    const QString base = dir_.filePath(QStringLiteral("killed"));
    const QString root = base + QStringLiteral("/disc");
    const QString old = base + QStringLiteral("/old.mdb");
    for (int folder = 0; folder < 30; ++folder)
        for (int i = 0; i < 100; ++i)
            writeFile(QStringLiteral("%1/folder%2/file%3.txt").arg(root).arg(folder).arg(i),
                      QByteArray(i, 'x'));
    QCOMPARE(CliRun::of(at(old, {"create-catalogue"})).status, 0);
    QCOMPARE(CliRun::of(at(old, {"add", "--root", root, "--hash", "-q"})).status, 0);
    // A third of the files goes, a fifth comes, a tenth changes.
    for (int folder = 0; folder < 10; ++folder)
        QVERIFY(QDir(QStringLiteral("%1/folder%2").arg(root).arg(folder)).removeRecursively());
    for (int i = 0; i < 600; ++i)
        writeFile(QStringLiteral("%1/new%2/file%3.dat").arg(root).arg(i % 7).arg(i), "new");
    for (int folder = 10; folder < 13; ++folder)
        for (int i = 0; i < 100; ++i)
            writeFile(QStringLiteral("%1/folder%2/file%3.txt").arg(root).arg(folder).arg(i),
                      QByteArray(i + 1, 'y'));

    const auto state = [](const QString& catalogue) {
        QStringList all = disc(catalogue, 1);
        all << rows(catalogue, QStringLiteral("select generation, updated is not null from disc_record"));
        all << rows(catalogue, QStringLiteral("pragma integrity_check"));
        all << QString::number(searched(catalogue, QStringLiteral("C0001")).size());
        return all;
    };
    const QString work = base + QStringLiteral("/archive.mdb");
    const QStringList oldState = state(old);
    QElapsedTimer clock;
    clock.start();
    const CliRun full = CliRun::of(at(copyOf(old, work), {"update", "C0001", "--root", root, "--yes"}));
    const qint64 fullMs = clock.elapsed();
    QCOMPARE(full.status, 0);
    QCOMPARE(full.out, QByteArray("600 added, 1000 removed, 300 changed, 1700 unchanged\nUpdated C0001\n"));
    const QStringList newState = state(work);
    QVERIFY(newState != oldState);
    QCOMPARE(newState.last(), QStringLiteral("2600"));

    int oldSeen = 0;
    int newSeen = 0;
    const auto check = [&](const QString& how) {
        const QStringList now = state(work);
        QVERIFY2(now == oldState || now == newState, qPrintable(how));
        (now == oldState ? oldSeen : newSeen) += 1;
    };
    // SIGKILL at the Nth write to the catalogue, and at its syncs.
    QStringList injections;
    for (const int n : {1, 2, 3, 5, 10, 20, 40, 80, 160})
        injections << QStringLiteral("inject=pwrite64:signal=SIGKILL:when=%1").arg(n);
    for (const int n : {1, 2, 3})
        injections << QStringLiteral("inject=fdatasync,fsync:signal=SIGKILL:when=%1").arg(n);
    for (const QString& injection : injections) {
        copyOf(old, work);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        process.setProcessEnvironment(env);
        process.start(strace_,
                      QStringList{"-f", "-qq", "-o", "/dev/null", "-e", injection,
                                  QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli"),
                                  "--catalogue", work, "update", "C0001", "--root", root, "--yes"});
        QVERIFY(process.waitForFinished(120000));
        check(injection);
    }
    // SIGKILL at random moments of a run.
    for (int round = 0; round < 12; ++round) {
        copyOf(old, work);
        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli"),
                      at(work, {"update", "C0001", "--root", root, "--yes"}));
        QVERIFY(process.waitForStarted());
        if (!process.waitForFinished(int(QRandomGenerator::global()->bounded(qMax<qint64>(fullMs, 50))))) {
            process.kill();
            QVERIFY(process.waitForFinished(30000));
        }
        check(QStringLiteral("random kill %1").arg(round));
    }
    qInfo("%d kills left the old disc, %d the new one", oldSeen, newSeen);
    QVERIFY(oldSeen > 0);
    QVERIFY(newSeen > 0);
}

// upgrade-catalogue gives each disc of a catalogue made before UUIDs one of its own, every form
// for programs carries it, notes keep it, and a later disc under a freed id never gets it.
void UpdateCliTest::upgradeGivesEveryDiscItsOwnUuid()
{
    const QString base = dir_.filePath(QStringLiteral("uuids"));
    const QString catalogue = base + QStringLiteral("/archive.mdb");
    QVERIFY(QDir().mkpath(base));
    QCOMPARE(CliRun::of(at(catalogue, {"create-catalogue"})).status, 0);
    for (int i = 0; i < 3; ++i) {
        const QString root = base + QStringLiteral("/disc%1").arg(i);
        writeFile(root + QStringLiteral("/same.txt"), "same");
        QCOMPARE(CliRun::of(at(catalogue, {"add", "--root", root, "--hash", "-q"})).status, 0);
    }
    QCOMPARE(CliRun::of(at(catalogue, {"info", "C0002", "--notes", "before"})).status, 0);
    // The table as the previous version made it.
    exec(catalogue,
         QStringLiteral(
             "create table earlier (id_cd integer primary key, tipo text not null, data text, location "
             "text not null default '', notes text not null default '', total_space integer, "
             "free_space integer, folders integer not null default 0, files integer not null default "
             "0, bytes integer not null default 0, fs_id text not null default '', source text not "
             "null default '')"));
    exec(catalogue,
         QStringLiteral("insert into earlier select id_cd, tipo, data, location, notes, total_space, "
                        "free_space, folders, files, bytes, fs_id, source from disc_record"));
    exec(catalogue, QStringLiteral("drop table disc_record"));
    exec(catalogue, QStringLiteral("alter table earlier rename to disc_record"));
    const QStringList kept = rows(catalogue, QStringLiteral("select * from disc_record order by id_cd"));
    const CliRun upgrade = CliRun::of(at(catalogue, {"upgrade-catalogue"}));
    QCOMPARE(upgrade.status, 0);
    QVERIFY2(upgrade.out.contains("disc_record.uuid"), upgrade.out.constData());
    QCOMPARE(rows(catalogue,
                  QStringLiteral("select id_cd, tipo, data, location, notes, total_space, free_space, "
                                 "folders, files, bytes, fs_id, source from disc_record order by id_cd")),
             kept);

    const QRegularExpression v4(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"));
    QSet<QString> seen;
    QMap<QString, QString> uuidOf;
    for (const QString& label : {QStringLiteral("C0001"), QStringLiteral("C0002"), QStringLiteral("C0003")}) {
        const QJsonObject info =
            QJsonDocument::fromJson(CliRun::of(at(catalogue, {"info", label, "--json"})).out).object();
        const QString uuid = info.value(QStringLiteral("uuid")).toString();
        QVERIFY2(v4.match(uuid).hasMatch(), qPrintable(uuid));
        seen.insert(uuid);
        uuidOf[label] = uuid;
    }
    QCOMPARE(seen.size(), 3);
    QCOMPARE(CliRun::of(at(catalogue, {"info", "C0002", "--notes", "after"})).status, 0);
    QVERIFY(
        CliRun::of(at(catalogue, {"info", "C0002"})).out.contains(("\nuuid: " + uuidOf["C0002"]).toUtf8()));

    // Every JSON line that names a disc gives that disc's UUID.
    const QString disc1 = base + QStringLiteral("/disc1");
    const QList<QStringList> commands = {{"discs", "--json"},
                                         {"search", "same", "--json"},
                                         {"duplicates", "--json"},
                                         {"tree", "C0002", "\\", "--json"},
                                         {"coverage", "--json"},
                                         {"coverage", "--discardable", "--json"},
                                         {"coverage", "--only-here", "C0002", "--json"},
                                         {"verify", "C0002", "--root", disc1, "--json"}};
    for (const QStringList& command : commands) {
        const CliRun run = CliRun::of(at(catalogue, command));
        int named = 0;
        for (const QByteArray& line : run.out.split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (!object.contains(QStringLiteral("disc")))
                continue;
            ++named;
            QCOMPARE(object.value(QStringLiteral("uuid")).toString(),
                     uuidOf.value(object.value(QStringLiteral("disc")).toString()));
        }
        QVERIFY2(named > 0 || command.contains(QStringLiteral("--only-here")), qPrintable(command.join(' ')));
    }

    // A removed disc's UUID goes with it.
    QCOMPARE(CliRun::of(at(catalogue, {"remove", "C0003"})).status, 0);
    writeFile(base + QStringLiteral("/disc3/other.txt"), "other");
    QCOMPARE(CliRun::of(at(catalogue, {"add", "--root", base + QStringLiteral("/disc3"), "-q"})).status, 0);
    const QString later =
        rows(catalogue, QStringLiteral("select uuid from disc_record where id_cd = 3")).value(0);
    QVERIFY(v4.match(later).hasMatch());
    QVERIFY(!seen.contains(later));
}

QTEST_GUILESS_MAIN(UpdateCliTest)
#include "update_cli_test.moc"
