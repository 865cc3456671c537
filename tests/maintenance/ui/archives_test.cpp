#include "maintenance/DiscCataloguer.h"
#include "maintenance/ui/UnNewCD.h"
#include "tests/maintenance/ImageFixture.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/WindowChild.h"

#include <QLabel>
#include <QToolButton>
#include <QtTest>
#include <algorithm>

using namespace ImageFixture;

namespace
{
const QString kRoot = QStringLiteral("e:\\");
} // namespace

class ArchivesTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void membersBecomeFilesOnlyWhenAsked_data();
    void membersBecomeFilesOnlyWhenAsked();
    void cliAndNewCdWindowCountArchivesNotListed();

  private:
    QTemporaryDir dir_;
    QString disc_;
    QString image_;       // ISO 9660 with Rock Ridge and Joliet
    QString udfImage_;    // the ISO/UDF bridge, where UDF is read
    QStringList plain_;   // rows of the disc's own files
    QStringList members_; // rows of the members of the archives that can be listed
};

// A disc with archives of each kind, made by the tools, and three that cannot be listed.
void ArchivesTest::initTestCase()
{
    const QString staging = dir_.filePath(QStringLiteral("staging"));
    disc_ = dir_.filePath(QStringLiteral("disc"));
    QVERIFY(writeTree(staging, {{QStringLiteral("2005/beach.jpg"), 10, QStringLiteral("2005-07-14 10:20:30")},
                                {QStringLiteral("2005/sea.jpg"), 20, QStringLiteral("2005-07-14 10:20:32")},
                                {QStringLiteral("a/b.txt"), 7, QStringLiteral("2010-01-02 03:04:06")},
                                {QStringLiteral("x/y.txt"), 9, QStringLiteral("2012-05-06 07:08:10")},
                                {QStringLiteral("n/1"), 1, QStringLiteral("2001-01-01 00:00:00")},
                                {QStringLiteral("n/2"), 1, QStringLiteral("2001-01-01 00:00:00")},
                                {QStringLiteral("n/3"), 1, QStringLiteral("2001-01-01 00:00:00")},
                                {QStringLiteral("n/4"), 1, QStringLiteral("2001-01-01 00:00:00")}}));
    QVERIFY(writeTree(disc_, {{QStringLiteral("plain.txt"), 4, QStringLiteral("2020-01-01 12:00:00")}}));
    QDir().mkpath(disc_ + QStringLiteral("/backup"));
    const auto at = [this](const QString& name) { return disc_ + QStringLiteral("/backup/") + name; };

    // One level only: the zip inside photos.zip is a member, not opened.
    QCOMPARE(run(QStringLiteral("zip"),
                 {QStringLiteral("-q"), QStringLiteral("inner.zip"), QStringLiteral("n/1")}, staging),
             QString());
    QFile inner(staging + QStringLiteral("/inner.zip"));
    QVERIFY(inner.open(QIODevice::ReadWrite));
    QVERIFY(
        inner.setFileTime(QDateTime(QDate(2006, 6, 6), QTime(6, 6, 6)), QFileDevice::FileModificationTime));
    inner.close();
    const qint64 innerSize = QFileInfo(staging + QStringLiteral("/inner.zip")).size();
    QCOMPARE(run(QStringLiteral("zip"),
                 {QStringLiteral("-qr"), at(QStringLiteral("photos.zip")), QStringLiteral("2005"),
                  QStringLiteral("inner.zip")},
                 staging),
             QString());
    QCOMPARE(
        run(QStringLiteral("7z"),
            {QStringLiteral("a"), QStringLiteral("-bd"), at(QStringLiteral("docs.7z")), QStringLiteral("a")},
            staging),
        QString());
    QCOMPARE(run(QStringLiteral("tar"),
                 {QStringLiteral("czf"), at(QStringLiteral("old.tar.gz")), QStringLiteral("x")}, staging),
             QString());
    // A cabinet records "\\" between folders.
    QCOMPARE(run(QStringLiteral("gcab"),
                 {QStringLiteral("-c"), at(QStringLiteral("tools.cab")), QStringLiteral("a/b.txt")}, staging),
             QString());
    QVERIFY(writeRar(at(QStringLiteral("notes.rar")),
                     {{QStringLiteral("r\\s.txt"), "stored", QDateTime(QDate(2011, 3, 4), QTime(5, 6, 8))},
                      {QStringLiteral("top.txt"), "", QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58))}}));
    // Not listed: encrypted headers, no archive at all, and more members than the test's limit of 3.
    QCOMPARE(run(QStringLiteral("7z"),
                 {QStringLiteral("a"), QStringLiteral("-bd"), QStringLiteral("-mhe=on"),
                  QStringLiteral("-psecret"), at(QStringLiteral("secret.7z")), QStringLiteral("a")},
                 staging),
             QString());
    QVERIFY(writeTree(disc_,
                      {{QStringLiteral("backup/broken.zip"), 3000, QStringLiteral("2020-01-01 12:00:00")}}));
    QCOMPARE(run(QStringLiteral("zip"),
                 {QStringLiteral("-qr"), at(QStringLiteral("big.zip")), QStringLiteral("n")}, staging),
             QString());

    for (const QString& name : QDir(disc_ + QStringLiteral("/backup")).entryList(QDir::Files))
        plain_ << rowOf(QStringLiteral("backup/") + name, QFileInfo(at(name)).size(),
                        LocalDateTime::fromQDateTime(QFileInfo(at(name)).lastModified()).toText());
    plain_ << rowOf(QStringLiteral("plain.txt"), 4, QStringLiteral("2020-01-01 12:00:00"));
    members_ = {
        rowOf(QStringLiteral("backup/photos.zip/2005/beach.jpg"), 10, QStringLiteral("2005-07-14 10:20:30")),
        rowOf(QStringLiteral("backup/photos.zip/2005/sea.jpg"), 20, QStringLiteral("2005-07-14 10:20:32")),
        rowOf(QStringLiteral("backup/photos.zip/inner.zip"), innerSize,
              QStringLiteral("2006-06-06 06:06:06")),
        rowOf(QStringLiteral("backup/docs.7z/a/b.txt"), 7, QStringLiteral("2010-01-02 03:04:06")),
        rowOf(QStringLiteral("backup/old.tar.gz/x/y.txt"), 9, QStringLiteral("2012-05-06 07:08:10")),
        rowOf(QStringLiteral("backup/notes.rar/r/s.txt"), 6, QStringLiteral("2011-03-04 05:06:08")),
        rowOf(QStringLiteral("backup/notes.rar/top.txt"), 0, QStringLiteral("1999-12-31 23:59:58")),
        // gcab records the time in UTC where cabinets hold local time; it is read as local time.
        rowOf(QStringLiteral("backup/tools.cab/a/b.txt"), 7,
              QDateTime(QDate(2010, 1, 2), QTime(3, 4, 6))
                  .toUTC()
                  .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
    };
    for (QString& row : members_)
        row.replace(QStringLiteral(".zip/"), QStringLiteral(".zip\\"));

    image_ = dir_.filePath(QStringLiteral("disc.iso"));
    QCOMPARE(run(QStringLiteral("genisoimage"), {QStringLiteral("-quiet"), QStringLiteral("-R"),
                                                 QStringLiteral("-J"), QStringLiteral("-o"), image_, disc_}),
             QString());
    udfImage_ = dir_.filePath(QStringLiteral("disc-udf.iso"));
    QCOMPARE(run(QStringLiteral("genisoimage"),
                 {QStringLiteral("-quiet"), QStringLiteral("-udf"), QStringLiteral("-R"),
                  QStringLiteral("-J"), QStringLiteral("-o"), udfImage_, disc_}),
             QString());
}

void ArchivesTest::membersBecomeFilesOnlyWhenAsked_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("listArchives");
    QTest::newRow("folder, off") << QStringLiteral("folder") << false;
    QTest::newRow("folder, on") << QStringLiteral("folder") << true;
    QTest::newRow("iso image, off") << QStringLiteral("iso") << false;
    QTest::newRow("iso image, on") << QStringLiteral("iso") << true;
    QTest::newRow("udf image, on") << QStringLiteral("udf") << true;
}

void ArchivesTest::membersBecomeFilesOnlyWhenAsked()
{
    QFETCH(QString, from);
    QFETCH(bool, listArchives);
    FakeHost host;
    const QString root = from == QLatin1String("iso")   ? image_
                         : from == QLatin1String("udf") ? udfImage_
                                                        : disc_;
    DiscCataloguer run(host.session(), [&root](QChar) { return root; });
    run.searcher().ListArchives = listArchives;
    run.searcher().Limits.members = 3;
    const qint64 counted = run.countFiles(kRoot);
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, {}));

    const QStringList got = rows(host.workQuery(), run.NewDiscId);
    QCOMPARE(qint64(got.size()), counted);
    QStringList expected = plain_;
    if (listArchives)
        expected += members_;
    QStringList sorted = got;
    std::sort(sorted.begin(), sorted.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(sorted, expected);
    QCOMPARE(run.searcher().NotListed, listArchives ? 3 : 0);
    // Each unlisted archive by name, with why; an archive's inside is no folder of the disc.
    QStringList unlisted;
    for (const UnlistedArchive& archive : run.searcher().Unlisted) {
        QVERIFY2(!archive.reason.isEmpty(), qPrintable(archive.name));
        unlisted += archive.name;
        if (archive.name.endsWith(QLatin1String("big.zip")))
            QCOMPARE(archive.reason, QStringLiteral("more than 3 members"));
    }
    unlisted.sort();
    QCOMPARE(unlisted, listArchives ? QStringList({QStringLiteral("\\backup\\big.zip"),
                                                   QStringLiteral("\\backup\\broken.zip"),
                                                   QStringLiteral("\\backup\\secret.7z")})
                                    : QStringList());
    QCOMPARE(run.searcher().LastRun.folders, 2);
    // Members follow their archive's own row.
    if (listArchives) {
        const qsizetype photos = got.indexOf(plain_.filter(QStringLiteral("|photos.zip|")).value(0));
        QVERIFY(photos >= 0 && photos + 3 < got.size());
        for (int i = 1; i <= 3; ++i)
            QVERIFY2(got.at(photos + i).startsWith(QStringLiteral("\\backup\\photos.zip\\")),
                     qPrintable(got.at(photos + i)));
    }
}

void ArchivesTest::cliAndNewCdWindowCountArchivesNotListed()
{
    const QString cli = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    const QString catalogue = dir_.filePath(QStringLiteral("cli.mdb"));
    QCOMPARE(run(cli, {QStringLiteral("--catalogue"), catalogue, QStringLiteral("create-catalogue")}),
             QString());
    QProcess add;
    add.start(cli, {QStringLiteral("--catalogue"), catalogue, QStringLiteral("add"), QStringLiteral("--root"),
                    image_, QStringLiteral("--archives")});
    QVERIFY(add.waitForFinished(60000));
    QCOMPARE(add.exitCode(), 0);
    // Without the test's limit big.zip is listed too: its four members join the others.
    QCOMPARE(QString::fromUtf8(add.readAllStandardOutput()),
             QStringLiteral("New CD ID: C0001\n%1 files found\n").arg(plain_.size() + members_.size() + 4));
    // The archives by name, in the order the image holds them, then their number.
    QStringList notes = QString::fromUtf8(add.readAllStandardError()).split(QLatin1Char('\n'));
    QCOMPARE(notes.size(), 4);
    std::sort(notes.begin(), notes.begin() + 2);
    QVERIFY2(notes.at(0).startsWith(QLatin1String("\\backup\\broken.zip: not listed (")),
             qPrintable(notes.at(0)));
    QVERIFY2(notes.at(1).startsWith(QLatin1String("\\backup\\secret.7z: not listed (")),
             qPrintable(notes.at(1)));
    QCOMPARE(notes.mid(2), QStringList({QStringLiteral("2 archives not listed"), QString()}));

    FakeHost host;
    FakeDrive drive;
    RecordingMessages messages;
    TfrmNewCD dialog(
        host.session(), host.refresh(), messages, [] { return kDrive; }, drive);
    drive.addFile(QStringLiteral("broken.zip"), "not a zip");
    dialog.ResetDialog();
    dialog.show();
    windowChild<QToolButton>(dialog, "SpeedButton3")->click();
    QVERIFY(windowChild<QLabel>(dialog, "NotListedLabel")->isHidden());
    QCOMPARE(messages.messages.last(), QStringLiteral("1 files found"));

    bool on = true;
    dialog.setArchiveListing([&on] { return on; });
    dialog.ResetDialog();
    // The same disc again, as New CD sees it: catalogue it again.
    messages.answers.push_back(true);
    windowChild<QToolButton>(dialog, "SpeedButton3")->click();
    QVERIFY(windowChild<QLabel>(dialog, "NotListedLabel")->isVisible());
    QCOMPARE(windowChild<QLabel>(dialog, "NotListedLabel")->text(), QStringLiteral("1 archives not listed"));
    dialog.ResetDialog();
    QVERIFY(windowChild<QLabel>(dialog, "NotListedLabel")->isHidden());
}

QTEST_MAIN(ArchivesTest)
#include "archives_test.moc"
