#include "scan/DriveTable.h"

#include <QtTest>

namespace
{
const char* desktopMounts = R"(22 27 0:21 / /proc rw,relatime - proc proc rw
23 27 0:22 / /sys rw,relatime - sysfs sysfs rw
24 27 0:6 / /dev rw - devtmpfs devtmpfs rw
25 24 0:23 / /dev/shm rw - tmpfs tmpfs rw
27 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw
28 27 8:1 / /boot/efi rw - vfat /dev/sda1 rw
29 27 0:30 / /run rw - tmpfs tmpfs rw
30 29 0:31 / /run/user/1000 rw - tmpfs tmpfs rw
31 27 11:1 / /media/user/MY\040DISC ro shared:5 master:2 - iso9660 /dev/sr1 ro
32 27 8:17 / /media/user/STICK rw - vfat /dev/sdb1 rw
33 27 0:40 / /mnt/share rw - nfs4 server:/export rw
34 27 0:41 / /mnt/ram rw - tmpfs tmpfs rw
35 27 7:0 / /snap/core/123 ro - squashfs /dev/loop0 ro
36 23 0:42 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw
37 27 0:43 / /home/user/.cache/doc rw - fuse.portal portal rw
38 27 8:2 /srv /srv rw - ext4 /dev/sda2 rw
39 27 0:44 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw
40 27 0:45 / /home/user/iso rw - fuse.fuseiso fuseiso rw
)";

struct Line {
    QChar letter;
    DriveKind kind;
    QString root, device, label, remote;
};

DriveTable::Sources canned(const char* mountText = desktopMounts)
{
    DriveTable::Sources s;
    const QByteArray text(mountText);
    s.mounts = [text] { return MountTable::parse(text); };
    s.opticalDevices = [] {
        return std::vector<OpticalDevice>{{QStringLiteral("sr0"), QStringLiteral("11:0"), false},
                                          {QStringLiteral("sr1"), QStringLiteral("11:1"), true}};
    };
    s.isRemovable = [](const MountEntry& m) { return m.source == QLatin1String("/dev/sdb1"); };
    s.readLabel = [](const QString& device) {
        static const QMap<QString, QString> labels = {
            {QStringLiteral("/dev/sda2"), QStringLiteral("ROOTFS")},
            {QStringLiteral("/dev/sda1"), QStringLiteral("EFI")},
            {QStringLiteral("/dev/sr0"), QStringLiteral("NEVER READ")},
            {QStringLiteral("/dev/sr1"), QStringLiteral("MY DISC")},
            {QStringLiteral("/dev/sdb1"), QStringLiteral("STICK")}};
        return labels.value(device);
    };
    return s;
}

QList<Line> lines(const DriveTable& table)
{
    QList<Line> out;
    for (const DriveEntry& d : table.drives())
        out.append({d.letter, d.kind, d.root, d.device, d.label, d.remoteName});
    return out;
}

QString describe(const QList<Line>& lines)
{
    QStringList out;
    for (const Line& l : lines)
        out.append(
            QStringList{QString(l.letter), driveKindName(l.kind), l.root, l.device, l.label, l.remote}.join(
                QLatin1Char('|')));
    return out.join(QLatin1Char('\n'));
}
} // namespace

class DriveTableTest : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void lettersFollowTheRules()
    {
        const DriveTable table(canned());
        const QString expected = QStringLiteral("c|fixed|/|/dev/sda2|ROOTFS|\n"
                                                "d|optical||/dev/sr0||\n"
                                                "e|optical|/media/user/MY DISC|/dev/sr1|MY DISC|\n"
                                                "f|fixed|/boot/efi|/dev/sda1|EFI|\n"
                                                "g|removable|/media/user/STICK|/dev/sdb1|STICK|\n"
                                                "h|network|/mnt/share|||server:/export\n"
                                                "i|ram|/mnt/ram|||\n"
                                                "j|optical|/home/user/iso|||");
        QCOMPARE(describe(lines(table)), expected);
        QVERIFY(!table.find(QLatin1Char('d'))->medium);
        QVERIFY(table.find(QLatin1Char('E'))->medium);
        QCOMPARE(table.rootOf(QLatin1Char('E')), QStringLiteral("/media/user/MY DISC"));
        QVERIFY(!table.find(QLatin1Char('k')));
        QCOMPARE(table.rootOf(QLatin1Char('k')), QString());
    }

    void mappingsComeFirstAndClaimTheirVolumes()
    {
        DriveTable::Sources s = canned();
        s.mappings = {{QLatin1Char('e'), QStringLiteral("/dev/sr1")},
                      {QLatin1Char('A'), QStringLiteral("/home/user/images/")},
                      {QLatin1Char('m'), QStringLiteral("/media/user/STICK")},
                      {QLatin1Char('n'), QStringLiteral("/mnt/share/sub")},
                      {QLatin1Char('x'), QString()}};
        const DriveTable table(s);
        const QString expected = QStringLiteral("a|fixed|/home/user/images|||\n"
                                                "c|fixed|/|/dev/sda2|ROOTFS|\n"
                                                "d|optical||/dev/sr0||\n"
                                                "e|optical|/media/user/MY DISC|/dev/sr1|MY DISC|\n"
                                                "f|fixed|/boot/efi|/dev/sda1|EFI|\n"
                                                "g|network|/mnt/share|||server:/export\n"
                                                "h|ram|/mnt/ram|||\n"
                                                "i|optical|/home/user/iso|||\n"
                                                "m|removable|/media/user/STICK|/dev/sdb1|STICK|\n"
                                                "n|network|/mnt/share/sub|||");
        QCOMPARE(describe(lines(table)), expected);
    }

    void opticalDriveMappedElsewhereKeepsItsDevice()
    {
        DriveTable::Sources s = canned();
        s.mappings = {{QLatin1Char('d'), QStringLiteral("/dev/sr1")},
                      {QLatin1Char('r'), QStringLiteral("/dev/sr0")},
                      {QLatin1Char('s'), QStringLiteral("/dev/sr7")}};
        const DriveTable table(s);
        QCOMPARE(table.find(QLatin1Char('d'))->root, QStringLiteral("/media/user/MY DISC"));
        const DriveEntry* r = table.find(QLatin1Char('r'));
        QVERIFY(r);
        QCOMPARE(r->kind, DriveKind::Optical);
        QVERIFY(r->root.isEmpty());
        QVERIFY(!r->medium);
        // A drive that sysfs does not list is still optical, and empty.
        QCOMPARE(table.find(QLatin1Char('s'))->kind, DriveKind::Optical);
        QVERIFY(!table.find(QLatin1Char('s'))->medium);
        // Neither drive is listed twice under a letter of its own.
        int opticals = 0;
        for (const DriveEntry& d : table.drives())
            opticals += d.device.startsWith(QLatin1String("/dev/sr"));
        QCOMPARE(opticals, 3);
    }

    void lettersEndAtZ()
    {
        QByteArray text = "1 0 8:2 / / rw - ext4 /dev/sda2 rw\n";
        for (int i = 0; i < 30; ++i)
            text += QStringLiteral("%1 1 0:%1 / /media/r%1 rw - tmpfs tmpfs rw\n").arg(100 + i).toLatin1();
        DriveTable::Sources s = canned();
        s.mounts = [text] { return MountTable::parse(text); };
        s.opticalDevices = nullptr;
        const DriveTable table(s);
        QCOMPARE(int(table.drives().size()), 24);
        QCOMPARE(table.drives().back().letter, QLatin1Char('z'));
        QCOMPARE(table.drives().back().root, QStringLiteral("/media/r122"));
    }

    void containerRootIsStillC()
    {
        const QByteArray text = "500 400 0:50 / / rw - overlay overlay rw,lowerdir=/x\n"
                                "501 500 254:0 /data /work rw - ext4 /dev/vda rw\n";
        DriveTable::Sources s;
        s.mounts = [text] { return MountTable::parse(text); };
        const DriveTable table(s);
        QCOMPARE(describe(lines(table)), QStringLiteral("c|fixed|/|||\nd|fixed|/work|/dev/vda||"));
    }

    void parsesBothTableFormats()
    {
        const std::vector<MountEntry> info = MountTable::parse(
            "31 27 11:1 /sub /media/a\\040b\\134c ro shared:5 master:2 - iso9660 /dev/sr1 ro\n\n");
        QCOMPARE(int(info.size()), 1);
        QCOMPARE(info[0].devNumber, QStringLiteral("11:1"));
        QCOMPARE(info[0].root, QStringLiteral("/sub"));
        QCOMPARE(info[0].mountPoint, QStringLiteral("/media/a b\\c"));
        QCOMPARE(info[0].fsType, QStringLiteral("iso9660"));
        QCOMPARE(info[0].source, QStringLiteral("/dev/sr1"));

        const std::vector<MountEntry> mounts = MountTable::parse(
            "/dev/sda2 / ext4 rw,relatime 0 0\n//srv/share /mnt/my\\040share cifs rw 0 0\n");
        QCOMPARE(int(mounts.size()), 2);
        QCOMPARE(mounts[1].mountPoint, QStringLiteral("/mnt/my share"));
        QCOMPARE(mounts[1].fsType, QStringLiteral("cifs"));
        QCOMPARE(mounts[1].source, QStringLiteral("//srv/share"));
        QVERIFY(mounts[1].devNumber.isEmpty());
    }

    // The real machine: whatever it has, c is its root and every listed root is a mounted folder.
    void systemTableIsSane()
    {
        const DriveTable table(DriveTable::systemSources());
        const DriveEntry* c = table.find(QLatin1Char('c'));
        QVERIFY(c);
        QCOMPARE(c->root, QStringLiteral("/"));
        QChar previous;
        for (const DriveEntry& d : table.drives()) {
            QVERIFY(d.letter > previous);
            previous = d.letter;
            QVERIFY(!d.root.startsWith(QLatin1String("/proc")) && !d.root.startsWith(QLatin1String("/sys")));
        }
    }
};

QTEST_GUILESS_MAIN(DriveTableTest)
#include "drivetable_test.moc"
