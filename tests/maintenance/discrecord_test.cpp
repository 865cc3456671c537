#include "catalogue/DiscRecord.h"
#include "catalogue/Schema.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "tests/maintenance/MaintenanceFixture.h"

#include <QTimer>
#include <QtTest>

namespace
{
const QString kRoot = QStringLiteral("e:\\");

QString noLabel()
{
    return {};
}

DiscStore::DiscRow lastDisc(Catalogue& catalogue)
{
    return catalogue.discs().front();
}

// The disc's record, or "none".
QString recordText(Catalogue& catalogue, const DiscStore::DiscRow& disc)
{
    const auto record = DiscRecords::find(catalogue.connection(), disc);
    if (!record)
        return QStringLiteral("none");
    return QStringLiteral("%1 folders, %2 files, %3 bytes, %4|%5")
        .arg(record->folders)
        .arg(record->files)
        .arg(record->bytes)
        .arg(record->location, record->notes);
}
} // namespace

class DiscRecordTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void recordComesAndGoesWithItsDisc_data();
    void recordComesAndGoesWithItsDisc();
    void reusedIdNeverShowsAnEarlierRecord_data();
    void reusedIdNeverShowsAnEarlierRecord();
    void olderCatalogueWorksAndIsUpgraded();
    void sameDiscAgainIsRecognised_data();
    void sameDiscAgainIsRecognised();
    void recordTotalsAreTheDiscsRows_data();
    void recordTotalsAreTheDiscsRows();
};

void DiscRecordTest::recordComesAndGoesWithItsDisc_data()
{
    QTest::addColumn<QString>("removal");
    QTest::newRow("remove") << QStringLiteral("remove");
    QTest::newRow("remove if unchanged") << QStringLiteral("unchanged");
    QTest::newRow("cancel after the run") << QStringLiteral("cancel");
    QTest::newRow("failed run") << QStringLiteral("failed");
}

void DiscRecordTest::recordComesAndGoesWithItsDisc()
{
    QFETCH(QString, removal);
    FakeHost host;
    FakeDrive drive;
    drive.addFile(QStringLiteral("a.txt"), "12345");
    drive.addFile(QStringLiteral("docs/old/b.txt"), "123");
    drive.addFile(QStringLiteral("docs/c"));
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    if (removal == QLatin1String("failed")) {
        run.countFiles(kRoot);
        drive.addFile(QStringLiteral("d.txt"));
        QFile::remove(drive.disc.filePath(QStringLiteral("a.txt")));
        QFile::remove(drive.disc.filePath(QStringLiteral("docs/c")));
        QVERIFY_THROWS_EXCEPTION(TessaroError, run.catalogue(QStringLiteral("C"), kRoot, noLabel));
        QCOMPARE(host.catalogue.count(QStringLiteral("disc_record")), 0);
        return;
    }
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    Catalogue& catalogue = host.session();
    const DiscStore::DiscRow disc = lastDisc(catalogue);
    // The root and both folders below it; the files' sizes added up.
    QCOMPARE(recordText(catalogue, disc), QStringLiteral("3 folders, 3 files, 8 bytes, |"));
    DiscRecords::setTexts(catalogue.connection(), disc, QStringLiteral("Shelf 3"), QStringLiteral("Holiday"));
    QCOMPARE(recordText(catalogue, disc), QStringLiteral("3 folders, 3 files, 8 bytes, Shelf 3|Holiday"));

    if (removal == QLatin1String("remove"))
        catalogue.removeDisc(disc.id);
    else if (removal == QLatin1String("unchanged"))
        QVERIFY(catalogue.removeIfUnchanged(disc));
    else
        run.removeCommitted();
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 0);
    QCOMPARE(host.catalogue.count(QStringLiteral("disc_record")), 0);
}

void DiscRecordTest::reusedIdNeverShowsAnEarlierRecord_data()
{
    // How the disc under the freed id came: which program removed the first disc and which
    // wrote the next one (a program without records leaves the first disc's record behind).
    QTest::addColumn<bool>("removedByOlderProgram");
    QTest::addColumn<bool>("nextByOlderProgram");
    QTest::addColumn<QString>("nextType");
    QTest::newRow("both by Tessaro") << false << false << QStringLiteral("C");
    QTest::newRow("left behind, next run") << true << false << QStringLiteral("C");
    QTest::newRow("left behind, next DVD") << true << false << QStringLiteral("D");
    QTest::newRow("left behind, next by the older program") << true << true << QStringLiteral("C");
    QTest::newRow("next other type by the older program") << true << true << QStringLiteral("D");
}

void DiscRecordTest::reusedIdNeverShowsAnEarlierRecord()
{
    QFETCH(bool, removedByOlderProgram);
    QFETCH(bool, nextByOlderProgram);
    QFETCH(QString, nextType);
    FakeHost host;
    FakeDrive drive;
    drive.addFile(QStringLiteral("a.txt"), "12");
    Catalogue& catalogue = host.session();
    DiscCataloguer run(catalogue, [&drive](QChar l) { return drive.rootOf(l); });
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    const DiscStore::DiscRow first = lastDisc(catalogue);
    DiscRecords::setTexts(catalogue.connection(), first, QStringLiteral("Attic"), QStringLiteral("Secret"));
    if (removedByOlderProgram) {
        catalogue.connection().exec("delete from files where id_cd = 1");
        catalogue.connection().exec("delete from cd where id = 1");
        QCOMPARE(host.catalogue.count(QStringLiteral("disc_record")), 1);
    } else {
        catalogue.removeDisc(first.id);
    }
    // The same second would give the same date: the later disc is a day later.
    if (nextByOlderProgram) {
        host.catalogue.work->execWith(
            QStringLiteral("insert into cd (id, etichetta, tipo, data) values (1, '', "
                           ":vtipo, '2099-01-01 00:00:00')"),
            {{QStringLiteral("vtipo"), nextType}});
    } else {
        QVERIFY(run.catalogue(nextType, kRoot, noLabel));
    }
    const DiscStore::DiscRow next = lastDisc(catalogue);
    QCOMPARE(next.id, first.id);
    const QString shown = recordText(catalogue, next);
    QVERIFY2(!shown.contains(QLatin1String("Secret")) && !shown.contains(QLatin1String("Attic")),
             qPrintable(shown));
    if (!nextByOlderProgram)
        QCOMPARE(shown, QStringLiteral("1 folders, 1 files, 2 bytes, |"));
    // Giving the later disc notes never brings the earlier ones back.
    DiscRecords::setTexts(catalogue.connection(), next, std::nullopt, QStringLiteral("Mine"));
    QVERIFY(recordText(catalogue, next).endsWith(QLatin1String("|Mine")));
    QCOMPARE(host.catalogue.count(QStringLiteral("disc_record")), 1);
}

void DiscRecordTest::olderCatalogueWorksAndIsUpgraded()
{
    FakeHost host;
    FakeDrive drive;
    drive.addFile(QStringLiteral("p/a.txt"), "1234");
    drive.addFile(QStringLiteral("p/q/b.txt"), "12");
    Catalogue& catalogue = host.session();
    // As a catalogue made before the records existed.
    catalogue.connection().exec("drop table disc_record");
    QVERIFY(!DiscRecords::present(catalogue.connection()));

    DiscCataloguer run(catalogue, [&drive](QChar l) { return drive.rootOf(l); });
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QVERIFY(run.catalogue(QStringLiteral("D"), kRoot, noLabel));
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    catalogue.removeDisc(3);
    const DiscStore::DiscRow disc = lastDisc(catalogue);
    QCOMPARE(recordText(catalogue, disc), QStringLiteral("none"));
    QVERIFY_THROWS_EXCEPTION(TessaroError,
                             DiscRecords::setTexts(catalogue.connection(), disc, QStringLiteral("x"), {}));

    const Schema::Upgrade upgrade = Schema::upgradeCatalogue(catalogue.connection());
    QVERIFY(upgrade.added.contains(QStringLiteral("disc_record")));
    QCOMPARE(upgrade.discsRecorded, 2);
    // Counted from the rows: only folders holding files are known.
    QCOMPARE(recordText(catalogue, disc), QStringLiteral("2 folders, 2 files, 6 bytes, |"));
    DiscRecords::setTexts(catalogue.connection(), disc, QStringLiteral("Box 1"), {});
    QCOMPARE(Schema::upgradeCatalogue(catalogue.connection()).discsRecorded, 0);
    QCOMPARE(recordText(catalogue, disc), QStringLiteral("2 folders, 2 files, 6 bytes, Box 1|"));
    QVERIFY(Schema::triggers(catalogue.connection()).foreign.isEmpty());

    // A records table from before the source column: runs go on without it, the upgrade adds it.
    catalogue.connection().exec("alter table disc_record drop column source");
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QCOMPARE(DiscRecords::find(catalogue.connection(), lastDisc(catalogue))->source, QString());
    run.countFiles(kRoot);
    QCOMPARE(run.lookalike(QString())->id, lastDisc(catalogue).id);
    QCOMPARE(Schema::upgradeCatalogue(catalogue.connection()).added, QStringList{"disc_record.source"});
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    QCOMPARE(DiscRecords::find(catalogue.connection(), lastDisc(catalogue))->source, drive.disc.path());
}

void DiscRecordTest::sameDiscAgainIsRecognised_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("found");
    QTest::newRow("the same disc") << QString() << QStringLiteral("D0002");
    QTest::newRow("another label") << QStringLiteral("label") << QString();
    QTest::newRow("label in other letter case") << QStringLiteral("case") << QString();
    QTest::newRow("one file more") << QStringLiteral("file") << QString();
    QTest::newRow("one folder more") << QStringLiteral("folder") << QString();
    QTest::newRow("that disc removed") << QStringLiteral("removed") << QStringLiteral("C0001");
}

void DiscRecordTest::sameDiscAgainIsRecognised()
{
    QFETCH(QString, change);
    QFETCH(QString, found);
    FakeHost host;
    FakeDrive drive;
    drive.addFile(QStringLiteral("a/b.txt"), "12");
    drive.addFile(QStringLiteral("c.txt"));
    Catalogue& catalogue = host.session();
    DiscCataloguer run(catalogue, [&drive](QChar l) { return drive.rootOf(l); });
    const auto vol = [] { return QStringLiteral("VOL_1"); };
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, vol));
    QVERIFY(run.catalogue(QStringLiteral("D"), kRoot, vol));
    QVERIFY(!run.lookalike(QStringLiteral("VOL_1"))); // no counting pass yet
    QString label = QStringLiteral("VOL_1");
    if (change == QLatin1String("label"))
        label = QStringLiteral("VOL_2");
    else if (change == QLatin1String("case"))
        label = QStringLiteral("vol_1");
    else if (change == QLatin1String("file"))
        drive.addFile(QStringLiteral("a/more.txt"));
    else if (change == QLatin1String("folder"))
        QVERIFY(QDir(drive.disc.path()).mkpath(QStringLiteral("empty")));
    else if (change == QLatin1String("removed"))
        catalogue.removeDisc(2);
    run.countFiles(kRoot);
    const auto same = run.lookalike(label);
    QCOMPARE(same ? same->label() : QString(), found);
}

// A run records the totals it counted as it wrote the rows; they must be those of the rows.
void DiscRecordTest::recordTotalsAreTheDiscsRows_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("withFiles");
    QTest::newRow("empty disc") << QString() << false;
    QTest::newRow("files of every size") << QString() << true;
    QTest::newRow("after a stopped run") << QStringLiteral("stopped") << true;
    QTest::newRow("after a failed run") << QStringLiteral("failed") << true;
}

void DiscRecordTest::recordTotalsAreTheDiscsRows()
{
    QFETCH(QString, before);
    QFETCH(bool, withFiles);
    FakeHost host;
    FakeDrive drive;
    if (withFiles) {
        drive.addFiles(40);
        drive.addFile(QStringLiteral("a.txt"), "12345");
        drive.addFile(QStringLiteral("docs/b"), "1");
        // Sparse: sizes beyond 32 bits without the bytes.
        for (const qint64 size : {qint64(5) << 30, (qint64(4) << 30) + 1}) {
            QFile big(drive.disc.filePath(QStringLiteral("big%1.bin").arg(size)));
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(size));
        }
    }
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    run.searcher().OnPump = [] { QCoreApplication::processEvents(); };
    if (before == QLatin1String("stopped")) {
        DiscCataloguer::Events events;
        events.progress = [&](int position) {
            if (position >= 20 && !run.searcher().Stopped)
                QTimer::singleShot(0, [&] { run.stop(); });
        };
        run.setEvents(events);
        run.countFiles(kRoot);
        QVERIFY(!run.catalogue(QStringLiteral("C"), kRoot, noLabel));
        QVERIFY(run.FilesAdded > 0);
        run.setEvents({});
    } else if (before == QLatin1String("failed")) {
        run.countFiles(kRoot);
        QFile::remove(drive.disc.filePath(QStringLiteral("a.txt")));
        QVERIFY_THROWS_EXCEPTION(TessaroError, run.catalogue(QStringLiteral("C"), kRoot, noLabel));
        QVERIFY(run.FilesAdded > 0);
    }
    run.countFiles(kRoot);
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, noLabel));
    const DiscStore::DiscRow disc = lastDisc(host.session());
    const auto record = DiscRecords::find(host.connection(), disc);
    QVERIFY(record);
    const QString rows = QStringLiteral("select count(*) || ' files, ' || coalesce(sum(dimensione), 0) || "
                                        "' bytes' from files where id_cd = %1")
                             .arg(disc.id);
    QCOMPARE(QStringLiteral("%1 files, %2 bytes").arg(record->files).arg(record->bytes),
             host.catalogue.scalar(rows).toString());
    // 40 files, a.txt (gone after the failed run), docs/b and the two large ones.
    QCOMPARE(record->files, !withFiles ? 0 : before == QLatin1String("failed") ? 43 : 44);
}

QTEST_GUILESS_MAIN(DiscRecordTest)
#include "discrecord_test.moc"
