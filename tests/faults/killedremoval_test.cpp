#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "search/SearchEngine.h"
#include "search/SearchStatement.h"
#include "tests/support/TestCatalogue.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

// `tessaro-cli remove` killed at random moments while it removes a big disc: afterwards the
// disc is either whole or gone, the other discs are untouched, no file row is left without
// its disc and no search index without its disc.
class KilledRemovalTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void killedRemovalsLeaveWholeDiscsOnly();
    void commitsWaitForTheDisk();

  private:
    QString prepareCopy();
    QString check(const QString& path, bool& bigDiscThere);

    QTemporaryDir dir_;
    QString cli_;
    QString pristine_;
    qint64 fullRemovalMs_ = 0;
};

namespace
{
constexpr qint64 kBigFiles = 150000;
constexpr qint64 kSmallFiles = 100;

qint64 scalar(Connection& connection, const QString& sql)
{
    Query query(connection);
    query.openWith(sql);
    return query.value(0).toLongLong();
}

void addRows(Connection& connection, qint64 disc, qint64 firstId, qint64 count)
{
    connection.exec(
        QStringLiteral("with recursive n(i) as (select 0 union all select i + 1 from n where i < %1) "
                       "insert into files (id, id_cd, nome, path, estensione, dimensione, data) "
                       "select %2 + i, %3, 'file' || i || '.dat', '\\folder' || (i % 700) || '\\', "
                       "'.dat', i, '2020-01-01 00:00:00' from n")
            .arg(count - 1)
            .arg(firstId)
            .arg(disc)
            .toUtf8()
            .constData());
}
} // namespace

void KilledRemovalTest::initTestCase()
{
    cli_ = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    QVERIFY(QFileInfo(cli_).isExecutable());
    TestCatalogue cat;
    Connection& connection = cat.connection;
    connection.exec("BEGIN");
    cat.addDisc(QStringLiteral("C"), {}, 1);
    cat.addDisc(QStringLiteral("D"), {}, 2);
    cat.addDisc(QStringLiteral("C"), {}, 3);
    addRows(connection, 1, 1, kSmallFiles);
    addRows(connection, 2, 1 + kSmallFiles, kBigFiles);
    addRows(connection, 3, 1 + kSmallFiles + kBigFiles, kSmallFiles);
    QCOMPARE(SearchIndex::indexMissing(connection), 3);
    connection.exec("COMMIT");
    connection.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    cat.work->close();
    connection.disconnect();
    pristine_ = dir_.filePath(QStringLiteral("pristine.mdb"));
    QVERIFY(QFile::copy(cat.path(), pristine_));

    // One removal left to finish gives the span to kill it in.
    const QString path = prepareCopy();
    QElapsedTimer clock;
    clock.start();
    QProcess remove;
    remove.start(cli_,
                 {QStringLiteral("--catalogue"), path, QStringLiteral("remove"), QStringLiteral("D0002")});
    QVERIFY(remove.waitForFinished(120000));
    fullRemovalMs_ = clock.elapsed();
    QCOMPARE(remove.exitCode(), 0);
    QCOMPARE(remove.readAllStandardOutput(), QByteArray("Removed D0002\n"));
    bool there = true;
    const QString broken = check(path, there);
    QVERIFY2(broken.isEmpty(), qPrintable(broken));
    QVERIFY(!there);
    qInfo("a whole removal of %lld files takes %lld ms", kBigFiles, fullRemovalMs_);
}

QString KilledRemovalTest::prepareCopy()
{
    const QString path = dir_.filePath(QStringLiteral("archive.mdb"));
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    QFile::copy(pristine_, path);
    return path;
}

QString KilledRemovalTest::check(const QString& path, bool& bigDiscThere)
{
    Connection connection;
    connection.connect(path);
    Query query(connection);
    query.openWith(QStringLiteral("pragma integrity_check"));
    if (query.value(0).toString() != QLatin1String("ok"))
        return QStringLiteral("integrity: ") + query.value(0).toString();
    query.close();
    auto expect = [&](const char* sql, qint64 expected) -> QString {
        const qint64 value = scalar(connection, QString::fromLatin1(sql));
        return value == expected
                   ? QString()
                   : QStringLiteral("%1 gave %2, not %3").arg(QLatin1String(sql)).arg(value).arg(expected);
    };
    bigDiscThere = scalar(connection, QStringLiteral("select count(*) from cd where id = 2")) == 1;
    const qint64 bigFiles = bigDiscThere ? kBigFiles : 0;
    const qint64 all = 2 * kSmallFiles + bigFiles;
    for (const QString& broken :
         {expect("select count(*) from files where id_cd not in (select id from cd)", 0),
          expect("select count(*) from cd where id in (1, 3)", 2),
          expect("select count(*) from files where id_cd = 1", kSmallFiles),
          expect("select count(*) from files where id_cd = 3", kSmallFiles),
          expect("select count(*) from files where id_cd = 2", bigFiles),
          expect("select count(*) from search_index where id_cd not in (select id from cd)", 0),
          expect("select count(*) from search_index where id_cd in (1, 3)", 2)}) {
        if (!broken.isEmpty())
            return broken;
    }
    SearchEngine engine(connection);
    const qint64 found = engine.run(SearchStatement(SearchCriteria{})).rowCount();
    if (found != all)
        return QStringLiteral("search found %1 of %2 files").arg(found).arg(all);
    return {};
}

void KilledRemovalTest::killedRemovalsLeaveWholeDiscsOnly()
{
    int killedWithDiscWhole = 0;
    int killedWithDiscGone = 0;
    int killedWhileWriting = 0;
    const int rounds = 24;
    for (int round = 0; round < rounds; ++round) {
        const QString path = prepareCopy();
        QProcess remove;
        remove.start(
            cli_, {QStringLiteral("--catalogue"), path, QStringLiteral("remove"), QStringLiteral("D0002")});
        QVERIFY(remove.waitForStarted());
        // A little past the whole span, so that some removals get to their end.
        const int delay = int(QRandomGenerator::global()->bounded(qMax<qint64>(fullRemovalMs_ * 5 / 4, 50)));
        const bool finished = remove.waitForFinished(delay);
        if (!finished) {
            remove.kill();
            QVERIFY(remove.waitForFinished(30000));
            // Pages in the log that no commit covers: the kill came in the middle of the writing.
            if (QFileInfo(path + QStringLiteral("-wal")).size() > 0)
                ++killedWhileWriting;
        }
        bool there = true;
        const QString broken = check(path, there);
        QVERIFY2(
            broken.isEmpty(),
            qPrintable(QStringLiteral("round %1, killed after %2 ms: %3").arg(round).arg(delay).arg(broken)));
        if (!finished)
            ++(there ? killedWithDiscWhole : killedWithDiscGone);
    }
    qInfo("%d of %d removals killed before the commit (%d of them while writing), %d after it",
          killedWithDiscWhole, rounds, killedWhileWriting, killedWithDiscGone);
    QVERIFY(killedWithDiscWhole >= 4);
    QVERIFY(killedWhileWriting >= 2);
}

// A committed disc must survive a power cut as well as a kill: every commit waits until the
// log is on the disk (synchronous FULL), never left to the operating system (OFF).
void KilledRemovalTest::commitsWaitForTheDisk()
{
    Connection connection;
    connection.connect(prepareCopy());
    QCOMPARE(scalar(connection, QStringLiteral("pragma synchronous")), 2);
    Query query(connection);
    query.openWith(QStringLiteral("pragma journal_mode"));
    QCOMPARE(query.value(0).toString(), QStringLiteral("wal"));
}

QTEST_GUILESS_MAIN(KilledRemovalTest)
#include "killedremoval_test.moc"
