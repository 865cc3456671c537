#include "catalogue/DiscRecord.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "scan/DiscImage.h"
#include "scan/DriveTable.h"
#include "scan/UnFileSearch.h"
#include "scan/UnVolumeInfo.h"
#include "tests/maintenance/ImageFixture.h"
#include "tests/maintenance/UdfMetadataImage.h"
#include "tests/support/TestCatalogue.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ImageFixture;

namespace
{
const QString kRoot = QStringLiteral("i:\\");
const QString kLabel = QStringLiteral("Holiday 2005");

const QList<TreeFile> kTree = {
    {QStringLiteral("Read Me.txt"), 5, QStringLiteral("2005-07-14 10:20:30")},
    {QStringLiteral("docs/b.bin"), 5000, QStringLiteral("2004-01-02 03:04:05")},
    {QStringLiteral("docs/deep/c.txt"), 2, QStringLiteral("2010-03-28 12:00:00")},
    {QStringLiteral("docs/a-first.txt"), 1, QStringLiteral("2020-02-29 23:59:58")},
    {QStringLiteral("zz.txt"), 0, QStringLiteral("2015-06-01 00:00:00")},
    {QStringLiteral("Ünïcode/Long file name, with spaces.text"), 3, QStringLiteral("1999-12-31 23:59:59")},
    {QStringLiteral(".hidden/x.txt"), 1, QStringLiteral("2001-01-01 00:00:00")},
};

// What a walk of the mounted disc reports: depth first, a folder's entries by name, the
// folder beginning with "." left out.
const QStringList kExpected = {
    rowOf(QStringLiteral("Read Me.txt"), 5, QStringLiteral("2005-07-14 10:20:30")),
    rowOf(QStringLiteral("docs/a-first.txt"), 1, QStringLiteral("2020-02-29 23:59:58")),
    rowOf(QStringLiteral("docs/b.bin"), 5000, QStringLiteral("2004-01-02 03:04:05")),
    rowOf(QStringLiteral("docs/deep/c.txt"), 2, QStringLiteral("2010-03-28 12:00:00")),
    rowOf(QStringLiteral("zz.txt"), 0, QStringLiteral("2015-06-01 00:00:00")),
    rowOf(QStringLiteral("Ünïcode/Long file name, with spaces.text"), 3,
          QStringLiteral("1999-12-31 23:59:59")),
};

// Raw 2352-byte Mode 1 sectors: sync, address, mode, the 2048 data bytes and (unchecked) EDC/ECC.
bool writeRawTrack(const QString& iso, const QString& bin)
{
    QFile in(iso);
    QFile out(bin);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    const auto bcd = [](int v) { return char(((v / 10) << 4) | (v % 10)); };
    for (int lba = 0; !in.atEnd(); ++lba) {
        const QByteArray data = in.read(2048);
        const int frames = lba + 150;
        QByteArray sector(12, char(0xFF));
        sector[0] = sector[11] = 0;
        sector.append(bcd(frames / 4500))
            .append(bcd(frames / 75 % 60))
            .append(bcd(frames % 75))
            .append(char(1));
        sector.append(data).append(QByteArray(2352 - 16 - data.size(), 0));
        if (out.write(sector) != 2352)
            return false;
    }
    return true;
}

// Turns an ISO/UDF bridge into a UDF-only image: the volume recognition sequence keeps only UDF's
// descriptors, so nothing is left for an ISO 9660 reader.
bool dropIsoDescriptors(const QString& image)
{
    QFile file(image);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const char* ids[] = {"BEA01", "NSR02", "TEA01", nullptr, nullptr, nullptr};
    for (int i = 0; i < 6; ++i) {
        QByteArray sector(2048, 0);
        if (ids[i]) {
            sector.replace(1, 5, ids[i]);
            sector[6] = 1;
        }
        if (!file.seek(qint64(16 + i) * 2048) || file.write(sector) != 2048)
            return false;
    }
    return true;
}
// Points the UDF entry of the folder `from` at the folder `to` (each the first of its name), so a
// walk that follows it never ends. Entry identifiers are found by their tag and checksum.
bool loopFolder(const QString& image, const QByteArray& from, const QByteArray& to)
{
    QFile file(image);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray data = file.readAll();
    auto* bytes = reinterpret_cast<unsigned char*>(data.data());
    const auto checksum = [](const unsigned char* tag) {
        unsigned sum = 0;
        for (int i = 0; i < 16; ++i)
            sum += i == 4 ? 0 : tag[i];
        return (unsigned char)(sum);
    };
    qsizetype fromAt = -1;
    qsizetype toAt = -1;
    for (qsizetype i = 0; i + 40 < data.size(); i += 4) {
        const unsigned char* fid = bytes + i;
        if ((fid[0] | fid[1] << 8) != 257 || checksum(fid) != fid[4])
            continue;
        const QByteArray name = data.mid(i + 38 + (fid[36] | fid[37] << 8), fid[19]);
        if (name == '\x08' + from && fromAt < 0)
            fromAt = i;
        if (name == '\x08' + to && toAt < 0)
            toAt = i;
    }
    if (fromAt < 0 || toAt < 0)
        return false;
    unsigned char* fid = bytes + fromAt;
    std::memcpy(fid + 24, bytes + toAt + 24, 4); // the entry's logical block
    // The descriptor's CRC-ITU over its body, then the tag's checksum.
    quint16 crc = 0;
    for (int i = 0; i < (fid[10] | fid[11] << 8); ++i) {
        crc ^= quint16(fid[16 + i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = quint16(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    fid[8] = (unsigned char)(crc);
    fid[9] = (unsigned char)(crc >> 8);
    fid[4] = checksum(fid);
    return file.seek(0) && file.write(data) == data.size();
}

// Records in every sparing table of the image that the first packet was moved to a spare one,
// as a drive does when it finds a bad sector.
bool movePacket(const QString& image)
{
    QFile file(image);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray data = file.readAll();
    int tables = 0;
    for (qsizetype at = 0; at + 2048 <= data.size(); at += 2048) {
        if (data.mid(at + 17, 18) != "*UDF Sparing Table" ||
            UdfMetadataImage::detail::u16(data, at + 48) == 0)
            continue;
        UdfMetadataImage::detail::put32(data, at + 56, 0);
        UdfMetadataImage::detail::seal(data, at);
        ++tables;
    }
    return tables > 0 && file.seek(0) && file.write(data) == data.size();
}
} // namespace

class ImagesTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void imageIsCataloguedAsItsDisc_data();
    void imageIsCataloguedAsItsDisc();
    void damagedImageFailsAndLeavesNothing_data();
    void damagedImageFailsAndLeavesNothing();
    void cliAndDriveMappingTakeAnImage();
    void udfImagesOfEachRevision_data();
    void udfImagesOfEachRevision();
    void stopIsSeenWhileTheImageIsRead_data();
    void stopIsSeenWhileTheImageIsRead();
    void deepImageIsReadOnASmallStack_data();
    void deepImageIsReadOnASmallStack();

  private:
    QString make(const QString& kind);

    QTemporaryDir dir_;
    QString tree_;
};

void ImagesTest::initTestCase()
{
    tree_ = dir_.filePath(QStringLiteral("tree"));
    QVERIFY(writeTree(tree_, kTree));
    // Folders without files are folders of the disc all the same.
    QVERIFY(QDir(tree_).mkpath(QStringLiteral("empty/inner")));
}

// Builds an image of the tree the way kind names; returns the file to catalogue.
QString ImagesTest::make(const QString& kind)
{
    const QString out = dir_.filePath(kind + QStringLiteral(".iso"));
    if (QFileInfo::exists(out))
        return out;
    QString error;
    if (kind == QLatin1String("rockridge") || kind == QLatin1String("joliet") ||
        kind == QLatin1String("bridge") || kind == QLatin1String("udfonly") || kind == QLatin1String("cue")) {
        QStringList args = {QStringLiteral("-quiet"),
                            QStringLiteral("-J"),
                            QStringLiteral("-joliet-long"),
                            QStringLiteral("-V"),
                            kLabel,
                            QStringLiteral("-o"),
                            out};
        if (kind != QLatin1String("joliet"))
            args.prepend(QStringLiteral("-R"));
        if (kind == QLatin1String("bridge") || kind == QLatin1String("udfonly"))
            args.prepend(QStringLiteral("-udf"));
        error = run(QStringLiteral("genisoimage"), args << tree_);
    } else if (kind == QLatin1String("xorriso")) {
        error = run(QStringLiteral("xorriso"), {QStringLiteral("-outdev"), out, QStringLiteral("-volid"),
                                                kLabel, QStringLiteral("-joliet"), QStringLiteral("on"),
                                                QStringLiteral("-map"), tree_, QStringLiteral("/")});
    }
    if (!error.isEmpty()) {
        qWarning().noquote() << error;
        return {};
    }
    if (kind == QLatin1String("udfonly") && !dropIsoDescriptors(out))
        return {};
    if (kind == QLatin1String("cue")) {
        const QString bin = dir_.filePath(QStringLiteral("track 1.bin"));
        QFile cue(dir_.filePath(QStringLiteral("disc.cue")));
        if (!writeRawTrack(out, bin) || !cue.open(QIODevice::WriteOnly))
            return {};
        cue.write("FILE \"track 1.bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n");
        return cue.fileName();
    }
    return out;
}

void ImagesTest::imageIsCataloguedAsItsDisc_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("inNameOrder");
    QTest::addColumn<bool>("dotFolders");
    // The tools write ISO 9660 and Joliet directories in name order, UDF ones in their own.
    QTest::newRow("rock ridge and joliet") << QStringLiteral("rockridge") << kLabel << true << false;
    QTest::newRow("joliet only") << QStringLiteral("joliet") << kLabel << true << false;
    QTest::newRow("xorriso") << QStringLiteral("xorriso") << kLabel << true << false;
    QTest::newRow("iso/udf bridge") << QStringLiteral("bridge") << kLabel << false << false;
    QTest::newRow("udf only") << QStringLiteral("udfonly") << kLabel << false << false;
    QTest::newRow("cue/bin mode 1") << QStringLiteral("cue") << kLabel << true << false;
    // Folders beginning with "." are entered when asked, as on a mounted disc.
    QTest::newRow("rock ridge, dot folders") << QStringLiteral("rockridge") << kLabel << true << true;
    QTest::newRow("udf only, dot folders") << QStringLiteral("udfonly") << kLabel << false << true;
}

void ImagesTest::imageIsCataloguedAsItsDisc()
{
    QFETCH(QString, kind);
    QFETCH(QString, label);
    QFETCH(bool, inNameOrder);
    QFETCH(bool, dotFolders);
    const QString image = make(kind);
    QVERIFY(!image.isEmpty());

    TestCatalogue catalogue;
    DiscCataloguer run(catalogue.session, [&image](QChar) { return image; });
    run.searcher().DotFolders = dotFolders;
    const DriveTable drives(DriveTable::systemSources({{QLatin1Char('i'), image}}));
    QVERIFY(DiskInDrive(drives, QLatin1Char('i'), {}));
    const qint64 counted = run.countFiles(kRoot);
    QVERIFY(
        run.catalogue(QStringLiteral("C"), kRoot, [&] { return GetVolumeLabel(drives, QLatin1Char('i')); }));

    QStringList got = rows(*catalogue.work, run.NewDiscId);
    QCOMPARE(counted, qint64(got.size()));
    QCOMPARE(run.FilesAdded, counted);
    // The record holds the folders a walk of the same tree reads, and where the disc came from.
    TFileSearcher walk;
    walk.mapDrive(QLatin1Char('i'), tree_);
    walk.DotFolders = dotFolders;
    const auto record = DiscRecords::find(catalogue.connection, catalogue.session.discs().front());
    QVERIFY(record);
    QCOMPARE(record->folders, walk.Count(kRoot, DiscCataloguer::Pattern, true).folders);
    QCOMPARE(record->folders, dotFolders ? 7 : 6);
    QCOMPARE(record->source, QFileInfo(image).absoluteFilePath());
    QCOMPARE(catalogue.scalar(QStringLiteral("select etichetta from cd")).toString(), label);
    QStringList expected = kExpected;
    if (dotFolders)
        expected.prepend(rowOf(QStringLiteral(".hidden/x.txt"), 1, QStringLiteral("2001-01-01 00:00:00")));
    if (!inNameOrder) {
        std::sort(got.begin(), got.end());
        std::sort(expected.begin(), expected.end());
    }
    QCOMPARE(got, expected);
}

void ImagesTest::damagedImageFailsAndLeavesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<qint64>("keep"); // bytes of the sound image kept; -1 for garbage, 0 for a loop
    QTest::addColumn<QString>("reason");
    QTest::newRow("iso cut short") << QStringLiteral("rockridge") << qint64(40 * 2048)
                                   << QStringLiteral("the image is truncated");
    QTest::newRow("udf cut after its anchor")
        << QStringLiteral("bridge") << qint64(270 * 2048) << QStringLiteral("the image is truncated");
    // A hostile image whose folder holds the folder it sits in.
    QTest::newRow("udf folder looping back")
        << QStringLiteral("udfonly") << qint64(0)
        << QStringLiteral("the folder \\docs\\deep\\ is recorded more than once");
    QTest::newRow("no image at all") << QString() << qint64(-1)
                                     << QStringLiteral("it is not an ISO 9660 or UDF image");
}

void ImagesTest::damagedImageFailsAndLeavesNothing()
{
    QFETCH(QString, kind);
    QFETCH(qint64, keep);
    QFETCH(QString, reason);
    const QString damaged = dir_.filePath(QStringLiteral("damaged.iso"));
    QFile::remove(damaged);
    if (keep < 0) {
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(300 * 2048, 'Z'));
    } else {
        const QString sound = make(kind);
        QVERIFY(!sound.isEmpty());
        QVERIFY(QFile::copy(sound, damaged));
        if (keep == 0) {
            QVERIFY(loopFolder(damaged, "deep", "docs"));
        } else {
            QVERIFY(QFileInfo(damaged).size() > keep);
            QVERIFY(QFile::resize(damaged, keep));
        }
    }

    TestCatalogue catalogue;
    DiscCataloguer run(catalogue.session, [&damaged](QChar) { return damaged; });
    try {
        run.countFiles(kRoot);
        QFAIL("the count read a damaged image");
    } catch (const TessaroError& error) {
        QCOMPARE(error.message(), QStringLiteral("Cannot read the disc image %1: %2").arg(damaged, reason));
    }
    QVERIFY_THROWS_EXCEPTION(TessaroError, run.catalogue(QStringLiteral("C"), kRoot, {}));
    QCOMPARE(catalogue.count(QStringLiteral("cd")), 0);
    QCOMPARE(catalogue.count(QStringLiteral("files")), 0);
    QVERIFY(!run.running());
}

void ImagesTest::cliAndDriveMappingTakeAnImage()
{
    const QString image = make(QStringLiteral("bridge"));
    QVERIFY(!image.isEmpty());
    const QString cli = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    const QString catalogue = dir_.filePath(QStringLiteral("cli.mdb"));
    QCOMPARE(run(cli, {QStringLiteral("--catalogue"), catalogue, QStringLiteral("create-catalogue")}),
             QString());

    QProcess add;
    add.start(cli, {QStringLiteral("--catalogue"), catalogue, QStringLiteral("add"), QStringLiteral("--type"),
                    QStringLiteral("DVD"), QStringLiteral("--root"), image});
    QVERIFY(add.waitForFinished(60000));
    QCOMPARE(add.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(add.readAllStandardOutput()),
             QStringLiteral("New CD ID: D0001\n6 files found\n"));

    QProcess discs;
    discs.start(cli, {QStringLiteral("--catalogue"), catalogue, QStringLiteral("discs")});
    QVERIFY(discs.waitForFinished(60000));
    const QStringList fields =
        QString::fromUtf8(discs.readAllStandardOutput()).trimmed().split(QLatin1Char('\t'));
    QCOMPARE(fields.size(), 4);
    QCOMPARE(fields.at(1), kLabel);
    QCOMPARE(fields.at(3), QStringLiteral("6"));
}

void ImagesTest::udfImagesOfEachRevision_data()
{
    QTest::addColumn<QString>("revision");
    QTest::addColumn<QString>("media"); // mkudffs's media type; "newfs" for UDFclient's newfs_udf
    QTest::addColumn<bool>("files");    // whether UDFclient writes files into it
    QTest::addColumn<QString>("label"); // the logical volume identifier
    QTest::addColumn<QString>("error"); // empty when the image is read
    const QString hd = QStringLiteral("hd"), newfs = QStringLiteral("newfs");
    QTest::newRow("1.02") << QStringLiteral("1.02") << hd << false << QStringLiteral("Empty 1.02")
                          << QString();
    QTest::newRow("1.50") << QStringLiteral("1.50") << hd << false << QStringLiteral("Empty 1.50")
                          << QString();
    // Extended file entries from 2.00 on.
    QTest::newRow("2.01") << QStringLiteral("2.01") << hd << false << QStringLiteral("Empty 2.01")
                          << QString();
    // Rewritable media have sparable partitions; on 1.50 a hidden file stands for the spare space.
    QTest::newRow("1.50 rewritable") << QStringLiteral("1.50") << QStringLiteral("cdrw") << false
                                     << QStringLiteral("Sparable 1.50") << QString();
    QTest::newRow("1.50 rewritable with files") << QStringLiteral("1.50") << QStringLiteral("cdrw") << true
                                                << QStringLiteral("Sparable150") << QString();
    QTest::newRow("2.01 rewritable") << QStringLiteral("2.01") << QStringLiteral("dvdrw") << false
                                     << QStringLiteral("Sparable 2.01") << QString();
    QTest::newRow("2.01 rewritable with files") << QStringLiteral("2.01") << QStringLiteral("dvdrw") << true
                                                << QStringLiteral("Sparable201") << QString();
    // A moved packet would be read from its old place.
    QTest::newRow("1.50 rewritable, packet moved")
        << QStringLiteral("1.50") << QStringLiteral("cdrw") << true << QStringLiteral("Sparable150")
        << QStringLiteral("the disc's sparing table moves packets, which cannot be read");
    QTest::newRow("2.01 rewritable, packet moved")
        << QStringLiteral("2.01") << QStringLiteral("dvdrw") << true << QStringLiteral("Sparable201")
        << QStringLiteral("the disc's sparing table moves packets, which cannot be read");
    // newfs_udf gives the primary volume descriptor a number of its own as identifier.
    QTest::newRow("2.01 with files") << QStringLiteral("2.01") << newfs << true << QStringLiteral("Rev201")
                                     << QString();
    // Files in a metadata partition.
    QTest::newRow("2.50 with files") << QStringLiteral("2.50") << newfs << true << QStringLiteral("Rev250")
                                     << QString();
    QTest::newRow("2.60 with files") << QStringLiteral("2.60") << newfs << true << QStringLiteral("Rev260")
                                     << QString();
    // Write-once media find their files through a virtual allocation table.
    const QString writeOnce =
        QStringLiteral("UDF for write-once discs (a virtual allocation table) cannot be read");
    QTest::newRow("2.01 write-once") << QStringLiteral("2.01") << QStringLiteral("cdr") << false
                                     << QStringLiteral("x") << writeOnce;
    QTest::newRow("2.50 write-once") << QStringLiteral("2.50") << QStringLiteral("dvdr") << false
                                     << QStringLiteral("x") << writeOnce;
    QTest::newRow("2.60 write-once") << QStringLiteral("2.60") << QStringLiteral("bdr") << false
                                     << QStringLiteral("x") << writeOnce;
}

// mkudffs writes a file system without files (filling it needs a mount); UDFclient writes files
// into its own 2.01 images and into mkudffs's rewritable ones, dated when they are written. From
// 2.50 on, UDFclient's image is moved into a metadata partition, its files dated anew there.
void ImagesTest::udfImagesOfEachRevision()
{
    QFETCH(QString, revision);
    QFETCH(QString, media);
    QFETCH(bool, files);
    QFETCH(QString, label);
    QFETCH(QString, error);
    const QString image =
        dir_.filePath(QStringLiteral("udf %1.img").arg(QLatin1String(QTest::currentDataTag())));
    const bool newfs = media == QLatin1String("newfs");
    if (newfs)
        QCOMPARE(run(QStringLiteral("newfs_udf"),
                     {QStringLiteral("-b"), QStringLiteral("2048"), QStringLiteral("-s"),
                      QStringLiteral("20000"), QStringLiteral("-L"), label, image}),
                 QString());
    else
        QCOMPARE(run(QStringLiteral("mkudffs"),
                     {QStringLiteral("--new-file"), QStringLiteral("--blocksize=2048"),
                      QStringLiteral("--media-type=") + media, QStringLiteral("--udfrev=") + revision,
                      QStringLiteral("--label=") + label, image,
                      files ? QStringLiteral("20000") : QStringLiteral("4000")}),
                 QString());
    QStringList expected;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    if (files) {
        const QString staging = dir_.filePath(QStringLiteral("udfclient"));
        QVERIFY(writeTree(staging,
                          {{QStringLiteral("a.txt"), 6, QStringLiteral("2001-01-01 00:00:00")},
                           {QStringLiteral("gone.txt"), 2, QStringLiteral("2001-01-01 00:00:00")},
                           {QStringLiteral("docs/b.bin"), 5000, QStringLiteral("2001-01-01 00:00:00")},
                           {QStringLiteral(".hidden/x.txt"), 1, QStringLiteral("2001-01-01 00:00:00")}}));
        // udfclient takes commands on its input and lists the top level when it starts; the file
        // set is a folder there, entered once its name shows (line-buffered output, so it does).
        QProcess client;
        client.setProcessChannelMode(QProcess::MergedChannels);
        client.start(QStandardPaths::findExecutable(QStringLiteral("stdbuf")),
                     {QStringLiteral("-oL"), QStringLiteral("udfclient"), QStringLiteral("-b"),
                      QStringLiteral("2048"), QStringLiteral("-W"), image});
        static const QRegularExpression fileSet(QStringLiteral("^d\\S*\\s+\\S+\\s+\\S+\\s+\\S+\\s+(\\S+)\\n"),
                                                QRegularExpression::MultilineOption);
        QString said;
        QString set;
        while (set.isEmpty() && client.waitForReadyRead(60000)) {
            said += QString::fromLocal8Bit(client.readAll());
            set = fileSet.match(said).captured(1);
        }
        QVERIFY2(!set.isEmpty(), qPrintable(said));
        // A deleted file leaves its identifier behind, marked deleted.
        client.write(QStringLiteral(
                         "cd %1\nlcd %2\nput a.txt\nput docs\nput .hidden\nput gone.txt\nrm gone.txt\nquit\n")
                         .arg(set, staging)
                         .toUtf8());
        client.closeWriteChannel();
        QVERIFY(client.waitForFinished(60000));
        said += QString::fromLocal8Bit(client.readAll());
        QVERIFY2(said.contains(QLatin1String("b.bin")) && !said.contains(QLatin1String("couldn't")),
                 qPrintable(said));
        expected = QStringList{QStringLiteral("\\|a.txt|6"), QStringLiteral("\\docs\\|b.bin|5000")};
    }
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    QMap<QString, QDateTime> dated;
    if (newfs && revision != QLatin1String("2.01")) {
        // Offsets on either side of UTC, so a time read without its offset shows.
        dated.insert(QStringLiteral("a.txt"),
                     QDateTime(QDate(2005, 7, 14), QTime(10, 20, 30), QTimeZone(7200)));
        dated.insert(QStringLiteral("b.bin"),
                     QDateTime(QDate(2004, 1, 2), QTime(3, 4, 5), QTimeZone(-5 * 3600)));
        const quint16 number = revision == QLatin1String("2.50") ? 0x0250 : 0x0260;
        QCOMPARE(UdfMetadataImage::convert(image, number, dated), QString());
    }
    if (error.contains(QLatin1String("sparing table")))
        QVERIFY(movePacket(image));

    TestCatalogue catalogue;
    DiscCataloguer run(catalogue.session, [&image](QChar) { return image; });
    if (!error.isEmpty()) {
        try {
            run.countFiles(kRoot);
            QFAIL("an unreadable image was counted");
        } catch (const TessaroError& e) {
            QCOMPARE(e.message(), QStringLiteral("Cannot read the disc image %1: %2").arg(image, error));
        }
        return;
    }
    const DriveTable drives(DriveTable::systemSources({{QLatin1Char('i'), image}}));
    QCOMPARE(run.countFiles(kRoot), qint64(expected.size()));
    QVERIFY(
        run.catalogue(QStringLiteral("D"), kRoot, [&] { return GetVolumeLabel(drives, QLatin1Char('i')); }));
    QCOMPARE(catalogue.scalar(QStringLiteral("select etichetta from cd")).toString(), label);
    QStringList got;
    for (const QString& row : rows(*catalogue.work, run.NewDiscId)) {
        const qsizetype bar = row.lastIndexOf(QLatin1Char('|'));
        const QString date = row.mid(bar + 1);
        const QString name = row.left(bar).section(QLatin1Char('|'), 1, 1);
        if (dated.contains(name)) {
            QCOMPARE(date, dated.value(name).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        } else {
            const QDateTime when = QDateTime::fromString(date, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            QVERIFY2(when >= before && when <= after, qPrintable(row));
        }
        got << row.left(bar);
    }
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(got, expected);
}

void ImagesTest::stopIsSeenWhileTheImageIsRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("iso 9660") << QStringLiteral("rockridge");
    QTest::newRow("udf") << QStringLiteral("udfonly");
}

// The New CD window's Stop arrives through the event queue: it must be seen while the image's
// tree is read, before any of its files is reported.
void ImagesTest::stopIsSeenWhileTheImageIsRead()
{
    QFETCH(QString, kind);
    const QString image = make(kind);
    QVERIFY(!image.isEmpty());
    TFileSearcher searcher([&image](QChar) { return image; });
    qint64 reported = 0;
    searcher.OnFile = [&reported](const QString&, const QString&, const QString&, qint64,
                                  const LocalDateTime&) { ++reported; };
    searcher.OnPump = [] { QCoreApplication::processEvents(); };
    bool stoppedAtEnd = false;
    searcher.OnEnd = [&stoppedAtEnd](bool stopped) { stoppedAtEnd = stopped; };
    QTimer::singleShot(0, [&searcher] { searcher.Stop(); });
    searcher.Execute(kRoot, QStringLiteral("*"), true);
    QVERIFY(stoppedAtEnd);
    QCOMPARE(reported, 0);
    QVERIFY(searcher.FoundFiles.isEmpty());
}

// A folder chain `depth` deep ending in one file, made relative to each folder (the whole path
// may be longer than a path may be).
static bool writeChain(const QString& root, int depth)
{
    if (!QDir().mkpath(root))
        return false;
    int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; fd >= 0 && i < depth; ++i) {
        const int next = ::mkdirat(fd, "d", 0755) == 0 ? ::openat(fd, "d", O_RDONLY | O_DIRECTORY) : -1;
        ::close(fd);
        fd = next;
    }
    if (fd < 0)
        return false;
    const int file = ::openat(fd, "end.txt", O_WRONLY | O_CREAT, 0644);
    const bool written = file >= 0 && ::write(file, "x", 1) == 1;
    if (file >= 0)
        ::close(file);
    ::close(fd);
    return written;
}

void ImagesTest::deepImageIsReadOnASmallStack_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("readable");
    // Deep enough that reading folder by folder on the call stack runs out of a worker's stack;
    // xorriso stops at 4096-byte paths.
    QTest::newRow("1000 deep") << 1000 << true;
    // Past libarchive's path length: a plain error, never a crash.
    QTest::newRow("2000 deep") << 2000 << false;
}

void ImagesTest::deepImageIsReadOnASmallStack()
{
    QFETCH(int, depth);
    QFETCH(bool, readable);
    const QString tree = dir_.filePath(QStringLiteral("deep%1").arg(depth));
    const QString image = tree + QStringLiteral(".iso");
    QVERIFY(writeChain(tree, depth));
    const QString error = run(QStringLiteral("xorriso"), {QStringLiteral("-outdev"), image,
                                                          QStringLiteral("-map"), tree, QStringLiteral("/")});
    QVERIFY2(error.isEmpty(), qPrintable(error));

    ListedFiles files;
    QString failure;
    std::unique_ptr<QThread> reader(QThread::create([&] {
        try {
            files = DiscImage(image).files();
        } catch (const TessaroError& e) {
            failure = e.message();
        }
    }));
    reader->setStackSize(256 * 1024);
    reader->start();
    QVERIFY(reader->wait(120000));
    if (!readable) {
        QVERIFY(failure.contains(image));
        return;
    }
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(files.size(), std::size_t(1));
    QCOMPARE(files.front().name, QStringLiteral("end.txt"));
    QCOMPARE(files.front().path, QStringLiteral("\\") + QStringLiteral("d\\").repeated(depth));
    QCOMPARE(files.front().size, qint64(1));
}

QTEST_GUILESS_MAIN(ImagesTest)
#include "images_test.moc"
