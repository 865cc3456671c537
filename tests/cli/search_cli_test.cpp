#include "catalogue/Query.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "tests/support/CliRun.h"
#include "tests/support/TestCatalogue.h"

#include <QProcess>
#include <QtTest>

namespace
{
using Run = CliRun;
} // namespace

// tessaro-cli search and upgrade-catalogue, run as a user runs them.
class SearchCliTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void printsRowsInTheGridsOrder();
    void optionsFollowTheFilterRules();
    void csvAndCount();
    void badOptionsFail();
    void namesFoldEveryScriptAndFirstSearchesGetAHint_data();
    void namesFoldEveryScriptAndFirstSearchesGetAHint();
    void upgradeAddsTheIndexOnce();

  private:
    Run cli(const QStringList& args);
    std::unique_ptr<TestCatalogue> cat_;
};

Run SearchCliTest::cli(const QStringList& args)
{
    return CliRun::of(QStringList{QStringLiteral("--catalogue"), cat_->path()} + args);
}

void SearchCliTest::init()
{
    cat_ = std::make_unique<TestCatalogue>();
    cat_->addDisc(QStringLiteral("C"), {}, 1);
    cat_->addDisc(QStringLiteral("D"), {}, 7);
    cat_->addFile(7, QStringLiteral("\\photos\\"), QStringLiteral("b.JPG"), 3,
                  QStringLiteral("2020-05-02 00:00:00"));
    cat_->addFile(1, QStringLiteral("\\docs\\"), QStringLiteral("a, \"b\".txt"), 2,
                  QStringLiteral("2020-05-01 23:59:59"));
    cat_->addFile(1, QStringLiteral("\\"), QStringLiteral("tab\tbell\x07.jpg"), 1,
                  QStringLiteral("2020-05-01 00:00:00"));
    cat_->addFile(1, QStringLiteral("\\docs\\"), QString::fromUtf8("\xc3\xa9t\xc3\xa9.doc"), 5000000000LL,
                  QStringLiteral("2019-01-01 10:00:00"));
    SearchIndex::indexDisc(cat_->connection, 1);
}

void SearchCliTest::cleanup()
{
    cat_.reset();
}

void SearchCliTest::printsRowsInTheGridsOrder()
{
    const Run all = cli({QStringLiteral("search")});
    QCOMPARE(all.status, 0);
    QCOMPARE(QString::fromUtf8(all.out),
             QString::fromUtf8("C0001\t\\tab\\x09bell\\x07.jpg\t2020-05-01 00:00:00\t1\n"
                               "C0001\t\\docs\\a, \"b\".txt\t2020-05-01 23:59:59\t2\n"
                               "C0001\t\\docs\\\xc3\xa9t\xc3\xa9.doc\t2019-01-01 10:00:00\t5000000000\n"
                               "D0007\t\\photos\\b.JPG\t2020-05-02 00:00:00\t3\n"));
    QCOMPARE(all.err, QByteArray("4 files found\n"));
}

void SearchCliTest::optionsFollowTheFilterRules()
{
    auto count = [this](const QStringList& options) {
        const Run run = cli(QStringList{QStringLiteral("search"), QStringLiteral("--count")} + options);
        return run.status == 0 ? run.out.trimmed().toInt() : -1;
    };
    QCOMPARE(count({"--file", "*.jpg"}), 2);
    QCOMPARE(count({"--file", "report.doc"}), 0);
    QCOMPARE(count({"--file", ""}), 4);   // no condition
    QCOMPARE(count({"--file", "  "}), 0); // the condition with an empty value
    QCOMPARE(count({"--file=*\\docs\\*"}), 2);
    QCOMPARE(count({"--ext", "JPG"}), 2);
    QCOMPARE(count({"--ext", "txt"}), 1);
    QCOMPARE(count({"--disc", "d0007"}), 1);
    QCOMPARE(count({"--disc", "C0007"}), -1); // no such disc
    QCOMPARE(count({"--ext", "jpg", "--ext", "doc"}), 3);
    QCOMPARE(count({"--from", "2020-05-01", "--to", "2020-05-01"}), 2);
    QCOMPARE(count({"--from", "2020-05-02"}), 1);
    QCOMPARE(count({"--to", "2019-12-31"}), 1);
    QCOMPARE(count({"--disc", "C0001", "--file", "*.*", "--from", "2020-01-01", "--to", "2020-12-31", "--ext",
                    "jpg"}),
             1);
}

void SearchCliTest::csvAndCount()
{
    const Run csv = cli({QStringLiteral("search"), QStringLiteral("--csv"), QStringLiteral("--disc"),
                         QStringLiteral("C0001")});
    QCOMPARE(csv.status, 0);
    QCOMPARE(QString::fromUtf8(csv.out),
             QString::fromUtf8("disc,file,date,size\r\n"
                               "C0001,\\tab\tbell\x07.jpg,2020-05-01 00:00:00,1\r\n"
                               "C0001,\"\\docs\\a, \"\"b\"\".txt\",2020-05-01 23:59:59,2\r\n"
                               "C0001,\\docs\\\xc3\xa9t\xc3\xa9.doc,2019-01-01 10:00:00,"
                               "5000000000\r\n"));
    QCOMPARE(csv.err, QByteArray("3 files found\n"));
    const Run count = cli({QStringLiteral("search"), QStringLiteral("--count")});
    QCOMPARE(count.out, QByteArray("4\n"));
    QVERIFY(count.err.isEmpty());
}

void SearchCliTest::badOptionsFail()
{
    // A wrong command line ends with status 2, a search the catalogue cannot run with 1.
    for (const QStringList& bad : QList<QStringList>{{"--from", "2020-02-30"},
                                                     {"--to", "yesterday"},
                                                     {"--ext", "..jpg"},
                                                     {"--file"},
                                                     {"--sort"},
                                                     {"--name", "a", "b"},
                                                     {"a", "b"},
                                                     {"a", "--file", "b"}}) {
        const Run run = cli(QStringList{QStringLiteral("search")} + bad);
        QCOMPARE(run.status, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.startsWith("tessaro-cli: "), run.err.constData());
    }
    const Run complex =
        cli({QStringLiteral("search"), QStringLiteral("--file"), QString(50001, QLatin1Char('x'))});
    QCOMPARE(complex.status, 1);
    QCOMPARE(complex.err, QByteArray("tessaro-cli: LIKE or GLOB pattern too complex\n"));
}

void SearchCliTest::namesFoldEveryScriptAndFirstSearchesGetAHint_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("err");
    const QByteArray none;
    QTest::newRow("TEXT alone") << QStringList{"\xc3\x89T\xc3\x89"} << 1 << none;
    QTest::newRow("--contains \xc3\xa9lan") << QStringList{"--contains", "\xc3\xa9lan"} << 2 << none;
    QTest::newRow("--contains with /") << QStringList{"--contains", "docs/a,"} << 1 << none;
    QTest::newRow("--name \xc3\xbc"
                  "ber*")
        << QStringList{"--name", "\xc3\xbc"
                                 "ber*"}
        << 2 << none;
    QTest::newRow("--name set") << QStringList{"--name", "*.[jm]p[g3]"} << 4 << none;
    QTest::newRow("--name is not the folder") << QStringList{"--name", "docs*"} << 0 << none;
    QTest::newRow("--file with /") << QStringList{"--file", "/DOCS/*"} << 2 << none;
    QTest::newRow("--ext .jpg") << QStringList{"--ext", ".JPG"} << 2 << none;
    QTest::newRow("--file of a name")
        << QStringList{"--file", " b.JPG "} << 0
        << QByteArray("Patterns cover the whole name from the first \\ \xe2\x80\x94 try --file '*b.JPG' or: "
                      "tessaro-cli search 'b.JPG'\n");
    QTest::newRow("--file with a wildcard")
        << QStringList{"--file", "b*'x"} << 0
        << QByteArray(
               "Patterns cover the whole name from the first \\ \xe2\x80\x94 try --file '*b*'\\''x'\n");
    QTest::newRow("--file, quiet") << QStringList{"--file", "b.JPG", "-q"} << 0 << none;
    QTest::newRow("--file from *") << QStringList{"--file", "*b.jpg"} << 1 << none;
    QTest::newRow("--file from /") << QStringList{"--file", "/nothing"} << 0 << none;
}

// Each form runs on C0001 through its index and on D0007 through the statement.
void SearchCliTest::namesFoldEveryScriptAndFirstSearchesGetAHint()
{
    QFETCH(QStringList, args);
    QFETCH(int, count);
    QFETCH(QByteArray, err);
    for (const qint64 disc : {1, 7}) {
        cat_->addFile(disc, QString::fromUtf8("\\M\xc3\xbcsik\\"), QString::fromUtf8("\xc3\x89lan.mp3"));
        cat_->addFile(disc, QStringLiteral("\\"),
                      QString::fromUtf8("\xc3\x9c"
                                        "BER.ogg"));
    }
    SearchIndex::indexDisc(cat_->connection, 1);
    const Run run = cli(QStringList{QStringLiteral("search"), QStringLiteral("--count")} + args);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray::number(count) + '\n');
    QCOMPARE(run.err, err);
}

void SearchCliTest::upgradeAddsTheIndexOnce()
{
    cat_->connection.exec("drop table search_index");
    cat_->connection.exec("drop index files_extension");
    const QByteArray before = cli({QStringLiteral("search")}).out;
    const Run upgrade = cli({QStringLiteral("upgrade-catalogue")});
    QCOMPARE(upgrade.status, 0);
    QCOMPARE(upgrade.out,
             QByteArray("Added files_extension\nAdded search_index\nBuilt the search index of 2 discs\n"));
    QCOMPARE(cat_->count(QStringLiteral("search_index")), 2);
    QCOMPARE(cli({QStringLiteral("search")}).out, before);
    const Run again = cli({QStringLiteral("upgrade-catalogue")});
    QCOMPARE(again.status, 0);
    QVERIFY(again.out.endsWith(" is up to date\n"));
    QCOMPARE(cli({QStringLiteral("upgrade-catalogue"), QStringLiteral("now")}).status, 2);
}

QTEST_GUILESS_MAIN(SearchCliTest)
#include "search_cli_test.moc"
