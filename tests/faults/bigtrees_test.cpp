#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"
#include "tests/faults/RawTree.h"
#include "tests/maintenance/MaintenanceFixture.h"

#include <QElapsedTimer>
#include <QtTest>
#include <sys/resource.h>

// Discs of awkward shape: a tree 1,000 folders deep (its paths far longer than PATH_MAX) and a
// folder of 100,000 entries are catalogued whole, with one descriptor per open level and
// none left behind; running out of descriptors fails the run and leaves no trace of the disc.
class BigTreesTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void thousandFoldersDeep();
    void tooFewDescriptorsFailTheRunCleanly();
    void hundredThousandEntriesInOneFolder();
    void sevenThousandFoldersDeep();

  private:
    FakeDrive deep_;
    FakeDrive wide_;
    QString deepestPath_;
};

namespace
{
constexpr int kDepth = 1000;
constexpr int kFilesInWideFolder = 90000;
constexpr int kFoldersInWideFolder = 10000;
const QString kRoot = QStringLiteral("e:\\");

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

QByteArray level(int i)
{
    return "level-" + QByteArray::number(i).rightJustified(4, '0');
}
} // namespace

void BigTreesTest::initTestCase()
{
    int fd = ::open(QFile::encodeName(deep_.disc.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    deepestPath_ = QStringLiteral("\\");
    for (int i = 1; i <= kDepth; ++i) {
        QVERIFY(rawtree::file(fd, "f" + QByteArray::number(i) + ".txt", i));
        if (i == kDepth)
            break;
        const int next = rawtree::folder(fd, level(i));
        ::close(fd);
        QVERIFY(next >= 0);
        fd = next;
        deepestPath_ += QString::fromLatin1(level(i)) + QLatin1Char('\\');
    }
    ::close(fd);
    QVERIFY(deepestPath_.size() > 4096 * 2);

    fd = ::open(QFile::encodeName(wide_.disc.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    const int many = rawtree::folder(fd, "many");
    ::close(fd);
    QVERIFY(many >= 0);
    for (int i = 0; i < kFilesInWideFolder; ++i)
        QVERIFY(rawtree::file(many, "file-" + QByteArray::number(i) + ".dat"));
    for (int i = 0; i < kFoldersInWideFolder; ++i) {
        const int sub = rawtree::folder(many, "sub-" + QByteArray::number(i));
        QVERIFY(sub >= 0);
        if (i % 1000 == 0)
            QVERIFY(rawtree::file(sub, "inside.txt"));
        ::close(sub);
    }
    ::close(many);
}

void BigTreesTest::cleanupTestCase()
{
    rawtree::empty(deep_.disc.path());
    rawtree::empty(wide_.disc.path());
}

void BigTreesTest::thousandFoldersDeep()
{
    FakeHost host;
    DiscCataloguer run(host.session(), [this](QChar l) { return deep_.rootOf(l); });
    const int before = openDescriptors();
    QCOMPARE(run.countFiles(kRoot), qint64(kDepth));
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, [] { return QString(); }));
    QCOMPARE(run.FilesAdded, qint64(kDepth));
    QCOMPARE(openDescriptors(), before);

    const QString deepest =
        host.catalogue.scalar(QStringLiteral("select path from files where nome = 'f1000.txt'")).toString();
    QCOMPARE(deepest, deepestPath_);
    QCOMPARE(host.catalogue.scalar(QStringLiteral("select max(length(path)) from files")).toInt(),
             deepestPath_.size());

    SearchCriteria criteria;
    criteria.byFile = true;
    criteria.pattern = QStringLiteral("*\\level-0999\\f1000.txt");
    ResultSet result(host.connection());
    result.open(SearchStatement(criteria));
    QCOMPARE(result.rowCount(), 1);
    QCOMPARE(result.rows().file(0), deepestPath_ + QStringLiteral("f1000.txt"));
    QCOMPARE(result.rows().dimensione(0), kDepth);
}

void BigTreesTest::tooFewDescriptorsFailTheRunCleanly()
{
    FakeHost host;
    host.catalogue.addFile(host.catalogue.addDisc(QStringLiteral("C")), QStringLiteral("\\"),
                           QStringLiteral("earlier.txt"));
    DiscCataloguer run(host.session(), [this](QChar l) { return deep_.rootOf(l); });
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_NOFILE, &saved) == 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(openDescriptors() + kDepth / 2);
    QVERIFY(setrlimit(RLIMIT_NOFILE, &tight) == 0);
    QString error;
    try {
        run.catalogue(QStringLiteral("D"), kRoot, [] { return QString(); });
    } catch (const TessaroError& e) {
        error = e.message();
    }
    QVERIFY(setrlimit(RLIMIT_NOFILE, &saved) == 0);
    QVERIFY2(error.startsWith(QStringLiteral("Cannot read the folder e:\\level-0001\\")),
             qPrintable(error.left(80)));
    QVERIFY(error.endsWith(QStringLiteral("Too many open files")));
    QCOMPARE(run.NewDiscId, 0);
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 1);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 1);
    // With the limit back, the same disc goes in whole under the next id.
    QVERIFY(run.catalogue(QStringLiteral("D"), kRoot, [] { return QString(); }));
    QCOMPARE(run.NewDiscId, 2);
    QCOMPARE(run.FilesAdded, qint64(kDepth));
}

void BigTreesTest::hundredThousandEntriesInOneFolder()
{
    FakeHost host;
    DiscCataloguer run(host.session(), [this](QChar l) { return wide_.rootOf(l); });
    const int before = openDescriptors();
    const qint64 files = kFilesInWideFolder + kFoldersInWideFolder / 1000;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(run.countFiles(kRoot), files);
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, [] { return QString(); }));
    qInfo("%lld files catalogued in %lld ms", run.FilesAdded, clock.elapsed());
    QCOMPARE(run.FilesAdded, files);
    QCOMPARE(openDescriptors(), before);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), files);
    QCOMPARE(host.catalogue
                 .scalar(QStringLiteral("select count(distinct nome) from files where path = '\\many\\'"))
                 .toLongLong(),
             qint64(kFilesInWideFolder));
    QCOMPARE(
        host.catalogue.scalar(QStringLiteral("select count(*) from files where nome = 'inside.txt'")).toInt(),
        kFoldersInWideFolder / 1000);
}

// Deeper than any call stack holds when each level is a call: depth is bounded by descriptors only.
void BigTreesTest::sevenThousandFoldersDeep()
{
    constexpr int depth = 7000;
    rlimit limit{};
    QVERIFY(getrlimit(RLIMIT_NOFILE, &limit) == 0);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < rlim_t(depth + 200))
        QSKIP("the hard limit of open files is below the depth");
    FakeDrive drive;
    std::vector<int> levels;
    levels.push_back(
        ::open(QFile::encodeName(drive.disc.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QVERIFY(rawtree::file(levels.back(), "top.txt", 1));
    for (int i = 0; i < depth && levels.back() >= 0; ++i)
        levels.push_back(rawtree::folder(levels.back(), "d"));
    QVERIFY(levels.back() >= 0);
    QVERIFY(rawtree::file(levels.back(), "bottom.txt", 2));

    FakeHost host;
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    const int before = openDescriptors();
    QCOMPARE(run.countFiles(kRoot), qint64(2));
    QVERIFY(run.catalogue(QStringLiteral("C"), kRoot, [] { return QString(); }));
    QCOMPARE(openDescriptors(), before);
    QCOMPARE(
        host.catalogue.scalar(QStringLiteral("select path from files where nome = 'bottom.txt'")).toString(),
        QStringLiteral("\\") + QStringLiteral("d\\").repeated(depth));
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 2);

    // Taken apart from the bottom up, without a call per level either.
    QVERIFY(::unlinkat(levels.back(), "bottom.txt", 0) == 0);
    for (int i = int(levels.size()) - 1; i > 0; --i) {
        ::close(levels[i]);
        QVERIFY(::unlinkat(levels[i - 1], "d", AT_REMOVEDIR) == 0);
    }
    ::close(levels.front());
}

QTEST_MAIN(BigTreesTest)
#include "bigtrees_test.moc"
