// Inserted media against a mock UDisks2 on a private bus: what the watcher tells, which disc a
// medium is, and mounts that fail, are stopped or succeed.
#include "catalogue/DiscRecord.h"
#include "maintenance/MediumMatcher.h"
#include "scan/DiscMounter.h"
#include "scan/MediaWatcher.h"
#include "tests/support/MockUDisks.h"
#include "tests/support/TestCatalogue.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

namespace
{
// A disc with a record holding the medium's facts.
void catalogued(TestCatalogue& catalogue, const QString& label, const QString& fileSystemId,
                const QString& source = {})
{
    const qint64 id = catalogue.addDisc(QStringLiteral("C"), label);
    const DiscStore::DiscRow disc{id, QStringLiteral("C"), QStringLiteral("2024-05-01 10:00:00"), label};
    DiscMedium medium;
    medium.fileSystemId = fileSystemId;
    medium.source = source;
    DiscRecords::writeCatalogued(catalogue.connection, disc, 0, {}, medium);
}
} // namespace

class MediaWatchTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<MockUDisks> mock_;

  private Q_SLOTS:
    void initTestCase()
    {
        mock_ = std::make_unique<MockUDisks>();
        QVERIFY2(mock_->ok(), qPrintable(mock_->error()));
    }

    void followsMediaAcrossTheServiceGoingAway()
    {
        TestCatalogue catalogue;
        catalogued(catalogue, QStringLiteral("PHOTOS"), QStringLiteral("AB-CD")); // C0001
        catalogued(catalogue, QStringLiteral("CDROM"), QString());                // no id: never matched
        catalogued(catalogue, QStringLiteral("FOLDER"), QStringLiteral("77"), QStringLiteral("/srv/f"));
        catalogued(catalogue, QStringLiteral("PHOTOS"), QStringLiteral("AB-CD")); // the latest wins: C0004
        const MediumMatcher matcher(catalogue.session);

        QVERIFY2(mock_->startService(QStringLiteral(
                     R"({"system_disks": ["nvme0n1p2"], "optical_drives": ["sr0"],
                        "media": [{"name": "sdb1", "label": "PHOTOS", "uuid": "AB-CD"}]})")),
                 qPrintable(mock_->error()));
        MediaWatcher watcher;
        QStringList told;
        const auto line = [&](const QString& event, const Medium& medium) {
            const auto disc = matcher.match(medium.label, medium.fileSystemId);
            told << QStringList{event, medium.device, medium.label,
                                disc ? disc->label() : QStringLiteral("new")}
                        .join(QLatin1Char(' '));
        };
        connect(&watcher, &MediaWatcher::appeared, this,
                [&](const Medium& m) { line(QStringLiteral("appeared"), m); });
        connect(&watcher, &MediaWatcher::gone, this,
                [&](const Medium& m) { line(QStringLiteral("gone"), m); });
        connect(&watcher, &MediaWatcher::mountChanged, this, [&](const Medium& m) {
            told << QStringLiteral("mounted ") + m.device + QLatin1Char(' ') +
                        m.mountPoints.join(QLatin1Char(','));
        });
        QList<bool> service;
        connect(&watcher, &MediaWatcher::serviceChanged, this, [&](bool up) { service << up; });
        QVERIFY2(watcher.start(), qPrintable(watcher.error()));
        QTRY_COMPARE(told, QStringList{QStringLiteral("appeared /dev/sdb1 PHOTOS C0004")});

        // A disc in the optical drive, unknown: the drive's block device changes.
        QVERIFY2(mock_->insert(QStringLiteral("sr0"), QStringLiteral("FOLDER"), QStringLiteral("77"), true),
                 qPrintable(mock_->error()));
        QTRY_COMPARE(told.size(), 2);
        QCOMPARE(told.last(), QStringLiteral("appeared /dev/sr0 FOLDER new"));
        // Labels alike, id missing on the medium: still new.
        QVERIFY(mock_->insert(QStringLiteral("sdc1"), QStringLiteral("CDROM"), QString(), false));
        QTRY_COMPARE(told.size(), 3);
        QCOMPARE(told.last(), QStringLiteral("appeared /dev/sdc1 CDROM new"));

        // Its mount fails: empty, with the service's reason.
        UDisksMounter mounter;
        QCOMPARE(mounter.mount(QStringLiteral("/dev/sr0")), QString());
        QVERIFY2(mounter.error().contains(QLatin1String("wrong fs type")), qPrintable(mounter.error()));

        QVERIFY(mock_->remove(QStringLiteral("sdb1")));
        QTRY_COMPARE(told.size(), 4);
        QCOMPARE(told.last(), QStringLiteral("gone /dev/sdb1 PHOTOS C0004"));

        // The service goes: nothing is gone. It comes back with the disc still in, the stick
        // taken out and another put in meanwhile: only those two are told.
        mock_->stopService();
        QTRY_COMPARE(service, (QList<bool>{true, false}));
        QCOMPARE(told.size(), 4);
        QCOMPARE(watcher.media().size(), size_t(2));
        QVERIFY2(
            mock_->startService(QStringLiteral(
                R"({"optical_drives": ["sr0"], "media": [{"name": "sr0", "label": "FOLDER", "uuid": "77", "optical": true},
                         {"name": "sdd1", "label": "PHOTOS", "uuid": "AB-CD", "mount_point": "/media/photos"}]})")),
            qPrintable(mock_->error()));
        QTRY_COMPARE(service, (QList<bool>{true, false, true}));
        QTRY_COMPARE(told.size(), 6);
        QCOMPARE(told.mid(4), (QStringList{QStringLiteral("gone /dev/sdc1 CDROM new"),
                                           QStringLiteral("appeared /dev/sdd1 PHOTOS C0004")}));

        // A disc taken out of the optical drive: its block device stays, emptied.
        QVERIFY(mock_->remove(QStringLiteral("sr0")));
        QTRY_COMPARE(told.size(), 7);
        QCOMPARE(told.last(), QStringLiteral("gone /dev/sr0 FOLDER new"));

        // A mount that succeeds tells where.
        QCOMPARE(mounter.mount(QStringLiteral("/dev/sdd1")), QStringLiteral("/media/photos"));
        QTRY_COMPARE(told.size(), 8);
        QCOMPARE(told.last(), QStringLiteral("mounted /dev/sdd1 /media/photos"));
        QCOMPARE(watcher.media().size(), size_t(1));
        mock_->stopService();
    }

    // A drive that takes its time: the wait runs the event loop, so Stop ends it at once.
    void stopEndsAMountBeingWaitedFor()
    {
        QVERIFY2(mock_->startService(), qPrintable(mock_->error()));
        QVERIFY(mock_->insert(QStringLiteral("sde1"), QStringLiteral("SLOW"), QStringLiteral("5"), false,
                              QStringLiteral("slow:/media/slow")));
        UDisksMounter mounter;
        QList<bool> waiting;
        mounter.OnWaiting = [&](bool on) { waiting << on; };
        QTimer::singleShot(200, [&] { mounter.stop(); });
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(mounter.mount(QStringLiteral("/dev/sde1")), QString());
        QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(waiting, (QList<bool>{true, false}));
        mock_->stopService();
    }

    void cleanupTestCase() { mock_.reset(); }
};

QTEST_GUILESS_MAIN(MediaWatchTest)
#include "mediawatch_test.moc"
