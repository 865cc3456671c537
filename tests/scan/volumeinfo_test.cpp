#include "scan/UnVolumeInfo.h"
#include "scan/VolumeLabel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
class FakeMounter : public IDiscMounter
{
  public:
    QString mount(const QString& device) override
    {
        asked.append(device);
        return answer;
    }
    QStringList asked;
    QString answer;
};

// An image with the given bytes at the given offsets, zeros elsewhere.
QString image(const QTemporaryDir& dir, const QString& name, const QList<QPair<qint64, QByteArray>>& parts)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.resize(64 * 1024);
    for (const auto& [offset, bytes] : parts) {
        f.seek(offset);
        f.write(bytes);
    }
    return f.fileName();
}

QByteArray descriptor(int type, const QByteArray& label, bool joliet = false)
{
    QByteArray d(2048, '\0');
    d[0] = char(type);
    d.replace(1, 5, "CD001");
    if (joliet) {
        d.replace(88, 3, "%/E");
        for (int i = 0; i < 32; i += 2)
            d[40 + i] = d[41 + i] = 0;
        const QString text = QString::fromUtf8(label);
        for (int i = 0; i < text.size() && i < 16; ++i) {
            d[40 + 2 * i] = char(text.at(i).unicode() >> 8);
            d[41 + 2 * i] = char(text.at(i).unicode() & 0xff);
        }
        for (int i = int(text.size()); i < 16; ++i) {
            d[40 + 2 * i] = 0;
            d[41 + 2 * i] = ' ';
        }
    } else {
        d.replace(40, 32, label.leftJustified(32, ' '));
    }
    return d;
}

DriveTable::Sources withMapping(QChar letter, const QString& folder)
{
    DriveTable::Sources s;
    s.mappings = {{letter, folder}};
    return s;
}
} // namespace

class VolumeInfoTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

  private Q_SLOTS:
    void diskInDriveTestsTheMappedRootInEitherCase()
    {
        const DriveTable table(withMapping(QLatin1Char('x'), dir.path()));
        int beeps = 0;
        const auto beep = [&] { ++beeps; };
        FakeMounter mounter;
        QVERIFY(DiskInDrive(table, QLatin1Char('x'), beep, mounter));
        QVERIFY(DiskInDrive(table, QLatin1Char('X'), beep, mounter));
        QCOMPARE(beeps, 0);
        QVERIFY(!DiskInDrive(table, QLatin1Char('q'), beep, mounter));
        QCOMPARE(beeps, 1);

        const DriveTable gone(withMapping(QLatin1Char('y'), dir.filePath(QStringLiteral("missing"))));
        QVERIFY(!DiskInDrive(gone, QLatin1Char('Y'), beep, mounter));
        QCOMPARE(beeps, 2);
        QVERIFY(!DiskInDrive(gone, QLatin1Char('y'), nullptr, mounter));
        QVERIFY(mounter.asked.isEmpty());
    }

    void insertedDiscIsMountedFirst()
    {
        DriveTable::Sources s;
        s.opticalDevices = [] {
            return std::vector<OpticalDevice>{{QStringLiteral("sr0"), QStringLiteral("11:0"), true},
                                              {QStringLiteral("sr1"), QStringLiteral("11:1"), false}};
        };
        const DriveTable table(s);
        int beeps = 0;
        const auto beep = [&] { ++beeps; };
        FakeMounter mounter;
        mounter.answer = dir.path();
        QVERIFY(DiskInDrive(table, QLatin1Char('D'), beep, mounter));
        QCOMPARE(mounter.asked, QStringList{QStringLiteral("/dev/sr0")});
        QCOMPARE(beeps, 0);

        // No mounting service: the probe is simply false.
        mounter.answer.clear();
        QVERIFY(!DiskInDrive(table, QLatin1Char('d'), beep, mounter));
        QCOMPARE(beeps, 1);
        // An empty drive is not even tried.
        QVERIFY(!DiskInDrive(table, QLatin1Char('e'), beep, mounter));
        QCOMPARE(mounter.asked.size(), 2);
        QCOMPARE(beeps, 2);
    }

    // Where no UDisks2 answers (or it knows no such device) the real mounter says no, promptly.
    void udisksMounterAnswersEmptyWithoutTheService()
    {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(UDisksMounter().mount(QStringLiteral("/dev/tessaro-no-such-drive")), QString());
        QVERIFY(timer.elapsed() < 5000);
    }

    void labelComesFromTheTableAtMost49Characters()
    {
        DriveTable::Sources s = withMapping(QLatin1Char('x'), QStringLiteral("/dev/sdz1"));
        s.readLabel = [](const QString&) { return QString(60, QLatin1Char('L')); };
        const DriveTable table(s);
        QCOMPARE(GetVolumeLabel(table, QLatin1Char('X')), QString(49, QLatin1Char('L')));
        QCOMPARE(GetVolumeLabel(table, QLatin1Char('q')), QString());
    }

    void readsIsoJolietExtAndFatLabels()
    {
        const QString iso = image(dir, QStringLiteral("plain.iso"),
                                  {{32768, descriptor(1, "PRIMARY")}, {34816, descriptor(255, "")}});
        QCOMPARE(VolumeLabel::fromMedium(iso), QStringLiteral("PRIMARY"));

        const QString joliet = image(dir, QStringLiteral("joliet.iso"),
                                     {{32768, descriptor(1, "HOLIDAY_2005")},
                                      {34816, descriptor(2, "Holiday 2005 é", true)},
                                      {36864, descriptor(255, "")}});
        QCOMPARE(VolumeLabel::fromMedium(joliet), QStringLiteral("Holiday 2005 é"));

        QByteArray sb(136, '\0');
        sb[56] = char(0x53);
        sb[57] = char(0xEF);
        sb.replace(120, 6, "backup");
        QCOMPARE(VolumeLabel::fromMedium(image(dir, QStringLiteral("ext.img"), {{1024, sb}})),
                 QStringLiteral("backup"));

        QByteArray boot(512, '\0');
        boot[510] = char(0x55);
        boot[511] = char(0xAA);
        boot[66] = char(0x29);
        boot.replace(71, 11, "STICK      ");
        boot.replace(82, 8, "FAT32   ");
        QCOMPARE(VolumeLabel::fromMedium(image(dir, QStringLiteral("fat.img"), {{0, boot}})),
                 QStringLiteral("STICK"));
        boot.replace(71, 11, "NO NAME    ");
        QCOMPARE(VolumeLabel::fromMedium(image(dir, QStringLiteral("noname.img"), {{0, boot}})), QString());

        QCOMPARE(VolumeLabel::fromMedium(image(dir, QStringLiteral("blank.img"), {})), QString());
        QCOMPARE(VolumeLabel::fromMedium(dir.filePath(QStringLiteral("absent.img"))), QString());
    }

    void readsWhatGenisoimageWrites()
    {
        const QString genisoimage = QStandardPaths::findExecutable(QStringLiteral("genisoimage"));
        if (genisoimage.isEmpty())
            QSKIP("genisoimage is not installed");
        QDir().mkpath(dir.filePath(QStringLiteral("src")));
        const QString iso = dir.filePath(QStringLiteral("real.iso"));
        QCOMPARE(
            QProcess::execute(genisoimage, {QStringLiteral("-quiet"), QStringLiteral("-J"),
                                            QStringLiteral("-V"), QStringLiteral("Photos 2005"),
                                            QStringLiteral("-o"), iso, dir.filePath(QStringLiteral("src"))}),
            0);
        QCOMPARE(VolumeLabel::fromMedium(iso), QStringLiteral("Photos 2005"));
    }

    void udevNamesAreDecodedAndPreferred()
    {
        QCOMPARE(VolumeLabel::decodeUdevName(QStringLiteral("My\\x20Disc\\x2f2")),
                 QStringLiteral("My Disc/2"));
        QCOMPARE(VolumeLabel::decodeUdevName(QStringLiteral("caf\\xc3\\xa9")), QStringLiteral("café"));

        const QString device = image(dir, QStringLiteral("dev.img"),
                                     {{32768, descriptor(1, "ON_MEDIUM")}, {34816, descriptor(255, "")}});
        const QString byLabel = dir.filePath(QStringLiteral("by-label"));
        QDir().mkpath(byLabel);
        QVERIFY(QFile::link(QStringLiteral("../other.img"), byLabel + QStringLiteral("/Other")));
        QVERIFY(QFile::link(QStringLiteral("../dev.img"), byLabel + QStringLiteral("/My\\x20Disc")));
        QCOMPARE(VolumeLabel::fromByLabel(device, byLabel), QStringLiteral("My Disc"));
        QCOMPARE(VolumeLabel::read(device, byLabel), QStringLiteral("My Disc"));
        QCOMPARE(VolumeLabel::read(device, dir.filePath(QStringLiteral("none"))),
                 QStringLiteral("ON_MEDIUM"));
    }
};

QTEST_GUILESS_MAIN(VolumeInfoTest)
#include "volumeinfo_test.moc"
