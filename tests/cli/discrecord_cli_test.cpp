#include "tests/maintenance/ImageFixture.h"
#include "tests/support/CliRun.h"
#include "tests/support/TestCatalogue.h"

#include <QProcess>
#include <QtTest>

namespace
{
using Run = CliRun;
} // namespace

// tessaro-cli info, tree and duplicates over a catalogue with known copies; add of a disc that
// looks catalogued.
class DiscRecordCliTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void commandsPrintWhatTheCatalogueHolds_data();
    void commandsPrintWhatTheCatalogueHolds();
    void notesStayWithTheirDisc();
    void addRefusesADiscAlreadyCatalogued_data();
    void addRefusesADiscAlreadyCatalogued();

  private:
    Run cli(const QStringList& args);
    std::unique_ptr<TestCatalogue> cat_;
};

Run DiscRecordCliTest::cli(const QStringList& args)
{
    return CliRun::of(QStringList{QStringLiteral("--catalogue"), cat_->path()} + args);
}

void DiscRecordCliTest::init()
{
    cat_ = std::make_unique<TestCatalogue>();
    TestCatalogue& c = *cat_;
    for (const char* type : {"C", "D", "C"})
        c.addDisc(QLatin1String(type));
    // Copies differ in letter case and folder; the same name with another size is no copy, and
    // two copies on one disc are none either.
    c.addFile(1, QStringLiteral("\\a\\"), QStringLiteral("Movie.avi"), 100);
    c.addFile(2, QStringLiteral("\\x\\"), QStringLiteral("movie.AVI"), 100);
    c.addFile(3, QStringLiteral("\\"), QStringLiteral("movie.avi"), 99);
    c.addFile(1, QStringLiteral("\\"), QStringLiteral("song.mp3"), 50);
    c.addFile(3, QStringLiteral("\\m\\"), QStringLiteral("song.mp3"), 50);
    c.addFile(3, QStringLiteral("\\m2\\"), QStringLiteral("song.mp3"), 50);
    c.addFile(2, QStringLiteral("\\"), QStringLiteral("only.txt"), 5);
    c.addFile(2, QStringLiteral("\\y\\"), QStringLiteral("only.txt"), 5);
    c.addFile(1, QStringLiteral("\\"), QStringLiteral("empty"), 0);
    c.addFile(3, QStringLiteral("\\"), QStringLiteral("empty"), 0);
    c.addFile(3, QStringLiteral("\\m\\deep\\er\\"), QStringLiteral("z"), 7);
}

void DiscRecordCliTest::cleanup()
{
    cat_.reset();
}

void DiscRecordCliTest::commandsPrintWhatTheCatalogueHolds_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    const QString date = QStringLiteral("\t2020-01-01 00:00:00\t");
    QTest::newRow("duplicates") << QStringList{"duplicates"} << 0
                                << "C0001\t\\a\\Movie.avi" + date + "100\nD0002\t\\x\\movie.AVI" + date +
                                       "100\nC0001\t\\song.mp3" + date + "50\nC0003\t\\m2\\song.mp3" + date +
                                       "50\nC0003\t\\m\\song.mp3" + date + "50\nC0001\t\\empty" + date +
                                       "0\nC0003\t\\empty" + date + "0\n";
    QTest::newRow("duplicates above a size")
        << QStringList{"duplicates", "--min-size", "1", "--count"} << 0 << QStringLiteral("5\n");
    QTest::newRow("duplicates as JSON")
        << QStringList{"duplicates", "--min-size", "51", "--json"} << 0
        << QStringLiteral("{\"disc\":\"C0001\",\"uuid\":null,\"path\":\"\\\\a\\\\\",\"name\":\"Movie.avi\","
                          "\"date\":\"2020-01-01 "
                          "00:00:00\",\"size\":100}\n{\"disc\":\"D0002\",\"uuid\":null,\"path\":"
                          "\"\\\\x\\\\\",\"name\":\"movie."
                          "AVI\",\"date\":\"2020-01-01 00:00:00\",\"size\":100}\n");
    QTest::newRow("duplicates, bad size") << QStringList{"duplicates", "--min-size", "-1"} << 2 << QString();
    QTest::newRow("tree") << QStringList{"tree", "c0003"} << 0
                          << QStringLiteral(
                                 "\\\t5\t206\n\\m\\\t2\t57\n\\m\\deep\\\t1\t7\n\\m\\deep\\er\\\t1\t7\n"
                                 "\\m2\\\t1\t50\n");
    QTest::newRow("tree of a folder")
        << QStringList{"tree", "C0003", "/M"} << 0 << "\\m\\deep\\\t1\t7\n\\m\\song.mp3" + date + "50\n";
    QTest::newRow("tree of no folder") << QStringList{"tree", "C0003", "\\x"} << 1 << QString();
    QTest::newRow("info")
        << QStringList{"info", "D0002"} << 0
        << QStringLiteral("disc: D0002\nvolume label: \ntype: DVD\ncatalogued: 2024-05-01 "
                          "10:00:00\nfolders: 3\nfiles: 3\nsize: 110\ntotal space: \nfree "
                          "space: \nfile system id: \nlocation: \nnotes: \nsource: \nuuid: \nupdated: \n"
                          "generation: 1\n");
    QTest::newRow("info of no disc") << QStringList{"info", "C0002"} << 1 << QString();
    // The forms for programs: JSON Lines with numbers as numbers, names as xargs -0 takes them.
    QTest::newRow("info as JSON")
        << QStringList{"info", "D0002", "--json"} << 0
        << QStringLiteral(
               "{\"disc\":\"D0002\",\"uuid\":null,\"volume_label\":\"\",\"type\":\"DVD\",\"catalogued\":"
               "\"2024-05-01 10:00:00\",\"folders\":3,\"files\":3,\"size\":110,\"total_space\":"
               "null,\"free_space\":null,\"file_system_id\":\"\",\"location\":\"\",\"notes\":"
               "\"\",\"source\":\"\",\"updated\":null,\"generation\":1}\n");
    const QString disc =
        QStringLiteral("{\"disc\":\"%1\",\"uuid\":null,\"volume_label\":\"\",\"catalogued\":\"2024-05-01 "
                       "10:00:00\",\"files\":%2,\"location\":\"\"}\n");
    QTest::newRow("discs as JSON") << QStringList{"discs", "--json"} << 0
                                   << disc.arg("C0003").arg(5) + disc.arg("D0002").arg(3) +
                                          disc.arg("C0001").arg(3);
    QTest::newRow("discs counted") << QStringList{"discs", "--count"} << 0 << QStringLiteral("3\n");
    QTest::newRow("tree as JSON")
        << QStringList{"tree", "C0003", "\\m", "--json"} << 0
        << QStringLiteral(
               "{\"folder\":\"\\\\m\\\\deep\\\\\",\"files\":1,\"size\":7}\n{\"disc\":\"C0003\",\"uuid\":null,"
               "\"path\":\"\\\\m\\\\\",\"name\":\"song.mp3\",\"date\":\"2020-01-01 "
               "00:00:00\",\"size\":50}\n");
    QTest::newRow("extensions as JSON")
        << QStringList{"extensions", "--json"} << 0
        << QStringLiteral("{\"extension\":\"avi\"}\n{\"extension\":\"mp3\"}\n{\"extension\":\"txt\"}\n");
    QTest::newRow("duplicates -0") << QStringList{"duplicates", "--min-size", "51", "-0"} << 0
                                   << QStringLiteral("C0001\\a\\Movie.avi") + QChar(0) +
                                          QStringLiteral("D0002\\x\\movie.AVI") + QChar(0);
}

void DiscRecordCliTest::commandsPrintWhatTheCatalogueHolds()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    const Run run = cli(args);
    QCOMPARE(run.status, status);
    QCOMPARE(QString::fromUtf8(run.out), out);
}

void DiscRecordCliTest::notesStayWithTheirDisc()
{
    const Run set = cli({"info", "C0003", "--location", "Box 2", "--notes", "two\nlines"});
    QCOMPARE(set.status, 0);
    QVERIFY(set.out.contains("location: Box 2\nnotes: two\\x0Alines\nsource: \nuuid: "));
    QVERIFY(cli({"discs"}).out.startsWith("C0003\t\t2024-05-01 10:00:00\t5\tBox 2\n"));

    // The id goes to the next disc catalogued; the notes go with the removed one.
    QCOMPARE(cli({"remove", "C0003"}).status, 0);
    QTemporaryDir disc;
    QCOMPARE(cli({"add", "--quiet", "--root", disc.path()}).status, 0);
    const Run next = cli({"info", "C0003"});
    QCOMPARE(next.status, 0);
    QVERIFY2(next.out.contains("location: \nnotes: \nsource: " + disc.path().toUtf8() + "\nuuid: "),
             next.out.constData());
    QCOMPARE(cat_->count(QStringLiteral("disc_record")), 1);
}

void DiscRecordCliTest::addRefusesADiscAlreadyCatalogued_data()
{
    QTest::addColumn<bool>("image");
    QTest::newRow("folder") << false;
    QTest::newRow("disc image") << true;
}

// The same folder or image added twice (a script run again) is refused; another one of the
// same shape is not, and --again adds it all the same.
void DiscRecordCliTest::addRefusesADiscAlreadyCatalogued()
{
    QFETCH(bool, image);
    QTemporaryDir work;
    QStringList roots;
    for (const QString& name : {QStringLiteral("one"), QStringLiteral("two")}) {
        const QString tree = work.filePath(name);
        QVERIFY(ImageFixture::writeTree(
            tree, {{QStringLiteral("a/b.txt"), 2, QStringLiteral("2020-01-01 00:00:00")},
                   {QStringLiteral("c.txt"), 1, QStringLiteral("2020-01-01 00:00:00")}}));
        QVERIFY(QDir(tree).mkpath(QStringLiteral("empty")));
        roots += tree;
        if (image) {
            roots.last() = tree + QStringLiteral(".iso");
            const QString made =
                ImageFixture::run(QStringLiteral("genisoimage"),
                                  {QStringLiteral("-quiet"), QStringLiteral("-R"), QStringLiteral("-V"),
                                   QStringLiteral("SAME"), QStringLiteral("-o"), roots.last(), tree});
            QVERIFY2(made.isEmpty(), qPrintable(made));
        }
    }
    QCOMPARE(cli({"remove", "C0003"}).status, 0);
    const auto add = [this](const QString& root, const QStringList& more = {}) {
        return cli(QStringList{QStringLiteral("add"), QStringLiteral("--root"), root} + more);
    };
    const Run first = add(roots.at(0));
    QCOMPARE(first.status, 0);
    QCOMPARE(first.out, QByteArray("New CD ID: C0003\n2 files found\n"));
    const QByteArray date = cli({"info", "C0003"}).out.split('\n').at(3).mid(12);

    const Run again = add(roots.at(0), {QStringLiteral("--archives")});
    QCOMPARE(again.status, 1);
    QCOMPARE(again.out, QByteArray());
    QCOMPARE(again.err,
             "tessaro-cli: This disc looks like C0003, catalogued on " + date + "; catalogue it again?\n");
    QCOMPARE(cli({"discs", "--count"}).out, QByteArray("3\n"));
    QCOMPARE(add(roots.at(1)).status, 0);
    QCOMPARE(add(roots.at(0), {QStringLiteral("--again"), QStringLiteral("--quiet")}).status, 0);
    QCOMPARE(cli({"discs", "--count"}).out, QByteArray("5\n"));

    // The root, a and empty; where it came from.
    const QByteArray info = cli({"info", "C0003"}).out;
    QVERIFY2(info.contains("\nfolders: 3\nfiles: 2\nsize: 3\n"), info.constData());
    QVERIFY2(info.contains("\nsource: " + QFileInfo(roots.at(0)).absoluteFilePath().toUtf8() + "\nuuid: "),
             info.constData());
}

QTEST_GUILESS_MAIN(DiscRecordCliTest)
#include "discrecord_cli_test.moc"
