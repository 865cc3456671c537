#include "catalogue/Connection.h"
#include "catalogue/DiscStore.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "catalogue/Transaction.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "maintenance/ui/UnNewCD.h"
#include "search/SearchEngine.h"
#include "search/SearchStatement.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/WindowChild.h"

#include <QToolButton>
#include <QtTest>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

// The disk fills up in the middle of a run: the run fails with SQLite's error text, the disc
// leaves no trace (no disc row, no file rows, no search index), the discs catalogued before
// stay whole, the file passes SQLite's integrity check and the next run works.
class DiskFullTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void pageLimitReachedAtEveryStageOfARun();
    void dialogReportsTheFullDisk();
    void fullFileSystemFailsRunAndRemovalCleanly();
};

namespace
{
const QString kFull = QString::fromLatin1(sqlite3_errstr(SQLITE_FULL));
const QString kRoot = QStringLiteral("e:\\");

qint64 scalar(Connection& connection, const QString& sql)
{
    Query query(connection);
    query.openWith(sql);
    return query.value(0).toLongLong();
}

// Discs 1..n whole with their search index, nothing else; checked on a fresh connection as
// a restarted program would see it.
QString checkCatalogue(const QString& path, qint64 discs, qint64 files)
{
    Connection connection;
    connection.connect(path);
    Query query(connection);
    query.openWith(QStringLiteral("pragma integrity_check"));
    if (query.value(0).toString() != QLatin1String("ok"))
        return QStringLiteral("integrity: ") + query.value(0).toString();
    query.close();
    const struct {
        const char* sql;
        qint64 expected;
    } checks[] = {
        {"select count(*) from cd", discs},
        {"select coalesce(max(id), 0) from cd", discs},
        {"select count(*) from files", files},
        {"select count(*) from files where id_cd not in (select id from cd)", 0},
        {"select count(*) from search_index", discs},
    };
    for (const auto& check : checks) {
        const qint64 value = scalar(connection, QString::fromLatin1(check.sql));
        if (value != check.expected)
            return QStringLiteral("%1 gave %2, not %3")
                .arg(QLatin1String(check.sql))
                .arg(value)
                .arg(check.expected);
    }
    SearchEngine engine(connection);
    const qint64 found = engine.run(SearchStatement(SearchCriteria{})).rowCount();
    if (found != files)
        return QStringLiteral("search found %1 of %2 files").arg(found).arg(files);
    return {};
}

// Long names so that a few files take a page.
void addFiles(FakeDrive& drive, int count, const QString& folder)
{
    for (int i = 0; i < count; ++i)
        drive.addFile(QStringLiteral("%1/a-rather-long-file-name-to-fill-pages-%2.dat").arg(folder).arg(i));
}
} // namespace

void DiskFullTest::pageLimitReachedAtEveryStageOfARun()
{
    FakeHost host;
    FakeDrive drive;
    addFiles(drive, 300, QStringLiteral("d"));
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, [] { return QString(); }));
    QVERIFY(run.catalogue(QStringLiteral("D"), kRoot, [] { return QString(); }));
    qint64 discs = 2;
    Connection& connection = host.connection();
    // Room for a few more pages each time, until a whole run fits: the limit is met while
    // writing the disc row, the file rows, their indexes and the disc's search index.
    int failed = 0;
    bool completed = false;
    for (int room = 0; room < 400 && !completed; ++room) {
        const qint64 pages = scalar(connection, QStringLiteral("pragma page_count"));
        connection.exec(QStringLiteral("pragma max_page_count = %1").arg(pages + room).toUtf8().constData());
        QString error;
        try {
            completed = run.catalogue(QStringLiteral("C"), kRoot, [] { return QStringLiteral("VOL"); });
        } catch (const TessaroError& e) {
            error = e.message();
        }
        connection.exec("pragma max_page_count = 1073741823");
        if (completed) {
            ++discs;
            QCOMPARE(run.NewDiscId, discs);
        } else {
            ++failed;
            QCOMPARE(error, kFull);
            QCOMPARE(run.NewDiscId, 0);
            QVERIFY(!run.running());
        }
        const QString broken = checkCatalogue(host.catalogue.path(), discs, discs * 300);
        QVERIFY2(broken.isEmpty(), qPrintable(QStringLiteral("room %1: %2").arg(room).arg(broken)));
    }
    QVERIFY(completed);
    QVERIFY2(failed >= 8, qPrintable(QString::number(failed)));
    qInfo("%d runs hit the page limit before one fitted", failed);
}

void DiskFullTest::dialogReportsTheFullDisk()
{
    FakeHost host;
    FakeDrive drive;
    addFiles(drive, 200, QStringLiteral("d"));
    RecordingMessages messages;
    TfrmNewCD dialog(
        host.session(), host.refresh(), messages, [] { return kDrive; }, drive);
    Connection& connection = host.connection();
    const qint64 pages = scalar(connection, QStringLiteral("pragma page_count"));
    connection.exec(QStringLiteral("pragma max_page_count = %1").arg(pages + 2).toUtf8().constData());
    dialog.ResetDialog();
    windowChild<QToolButton>(dialog, "SpeedButton3")->click();
    QCOMPARE(messages.messages, QStringList{kFull});
    QCOMPARE(windowChild<QToolButton>(dialog, "SpeedButton3")->text(), QStringLiteral("Start"));
    connection.exec("pragma max_page_count = 1073741823");
    messages.messages.clear();
    dialog.ResetDialog();
    windowChild<QToolButton>(dialog, "SpeedButton3")->click();
    QCOMPARE(messages.messages,
             (QStringList{QStringLiteral("New CD ID: C0001"), QStringLiteral("200 files found")}));
}

void DiskFullTest::fullFileSystemFailsRunAndRemovalCleanly()
{
    QTemporaryDir holder;
    const QByteArray mountPoint = QFile::encodeName(holder.path());
    if (::mount("tessaro-full", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
        QSKIP("cannot mount a small tmpfs here (needs root)");
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    const QString path = holder.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(path);
    FakeDrive small, big;
    addFiles(small, 100, QStringLiteral("s"));
    addFiles(big, 3000, QStringLiteral("b"));
    {
        Catalogue session;
        session.connect(path);
        DiscCataloguer run(session, [&small](QChar l) { return small.rootOf(l); });
        QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, [] { return QString(); }));
    }
    QVERIFY(checkCatalogue(path, 1, 100).isEmpty());

    // This instance is running when the disk fills up; everything left goes to a filler file.
    Catalogue session;
    session.connect(path);
    Connection& connection = session.connection();
    Query& work = session.work();
    QCOMPARE(scalar(connection, QStringLiteral("select count(*) from cd")), 1);
    const QString filler = holder.filePath(QStringLiteral("filler"));
    {
        const int fd = ::open(QFile::encodeName(filler).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        const QByteArray block(4096, 'x');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        ::close(fd);
    }

    // A removal on the full disk fails as a whole.
    QString error;
    try {
        Transaction transaction(connection);
        DiscStore::removeDisc(work, 1);
        transaction.commit();
    } catch (const TessaroError& e) {
        error = e.message();
    }
    QCOMPARE(error, kFull);
    QString broken = checkCatalogue(path, 1, 100);
    QVERIFY2(broken.isEmpty(), qPrintable(broken));

    {
        DiscCataloguer run(session, [&big](QChar l) { return big.rootOf(l); });
        error.clear();
        try {
            run.catalogue(QStringLiteral("D"), kRoot, [] { return QString(); });
        } catch (const TessaroError& e) {
            error = e.message();
        }
        QCOMPARE(error, kFull);
        QCOMPARE(run.NewDiscId, 0);
    }
    broken = checkCatalogue(path, 1, 100);
    QVERIFY2(broken.isEmpty(), qPrintable(broken));

    // Room again: the same connection catalogues the big disc under the next id.
    QVERIFY(QFile::remove(filler));
    DiscCataloguer run(session, [&big](QChar l) { return big.rootOf(l); });
    QVERIFY(run.catalogue(QStringLiteral("D"), kRoot, [] { return QString(); }));
    QCOMPARE(run.NewDiscId, 2);
    broken = checkCatalogue(path, 2, 3100);
    QVERIFY2(broken.isEmpty(), qPrintable(broken));
}

QTEST_MAIN(DiskFullTest)
#include "diskfull_test.moc"
