#include "common/TessaroError.h"
#include "scan/ArchiveLister.h"
#include "scan/CdioUdfTree.h"
#include "scan/DiscImage.h"
#include "scan/FileNameText.h"
#include "scan/UnFileSearch.h"
#include "tests/faults/RawTree.h"
#include "tests/maintenance/ImageFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <cdio/logging.h>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using ImageFixture::run;

namespace
{
// Names as Linux keeps them: bytes, a "\" among them, Latin-1 bytes that are no UTF-8.
bool makeFile(const QByteArray& path, qint64 size)
{
    const qsizetype slash = path.lastIndexOf('/');
    for (qsizetype at = path.indexOf('/', 1); at > 0 && at <= slash; at = path.indexOf('/', at + 1))
        ::mkdir(path.left(at).constData(), 0755);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool sized = ::ftruncate(fd, size) == 0;
    ::close(fd);
    return sized;
}

// Drive-relative full names of what a run over the root (a folder or an image) finds, sorted.
QStringList found(const QString& root, bool archives = true)
{
    TFileSearcher searcher;
    searcher.mapDrive(QLatin1Char('x'), root);
    searcher.ListArchives = archives;
    searcher.Execute(QStringLiteral("x:\\"), QStringLiteral("*"), true);
    QStringList names = searcher.FoundFiles;
    names.sort();
    return names;
}

struct Listing {
    bool listed = false;
    QStringList names;
    bool operator==(const Listing&) const = default;
};

// An archive listed from its file, or read in pieces as from a disc image.
Listing listFile(const ArchiveLister& lister, const QString& file, const ArchiveLister::Going& going = {})
{
    Listing result;
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    ListedFiles out;
    result.listed = fd >= 0 && lister.list(fd, QStringLiteral("\\a\\"), out, nullptr, going);
    if (fd >= 0)
        ::close(fd);
    for (const ListedFile& f : out)
        result.names << f.path + f.name;
    return result;
}

Listing listPieces(const ArchiveLister& lister, const QByteArray& data)
{
    Listing result;
    qsizetype at = 0;
    const ArchiveLister::Reader reader = [&](char* buffer, qint64 size) -> qint64 {
        const qint64 take = std::min<qint64>({size, data.size() - at, 4000});
        std::memcpy(buffer, data.constData() + at, size_t(take));
        at += take;
        return take;
    };
    ListedFiles out;
    result.listed = lister.list(reader, QStringLiteral("\\a\\"), out);
    for (const ListedFile& f : out)
        result.names << f.path + f.name;
    return result;
}

// Runs a tool with input on standard input; its output.
QByteArray pipeThrough(const QString& program, const QStringList& args, const QByteArray& input)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray();
}

// A ustar header of one member of the given size.
QByteArray tarHeader(const QByteArray& name, qint64 size)
{
    QByteArray h(512, '\0');
    const auto put = [&h](int at, const QByteArray& text) { h.replace(at, text.size(), text); };
    put(0, name);
    put(100, "0000644");
    put(108, "0000000");
    put(116, "0000000");
    put(124, QByteArray::number(size, 8).rightJustified(11, '0'));
    put(136, "14000000000");
    put(148, "        ");
    put(156, "0");
    put(257, QByteArray("ustar\0"
                        "00",
                        8));
    int sum = 0;
    for (const char c : h)
        sum += quint8(c);
    put(148, QByteArray::number(sum, 8).rightJustified(6, '0') + QByteArray("\0 ", 2));
    return h;
}

// Unblocks a reader stuck opening a FIFO, after a grace time, and says whether one had to be.
class FifoRescue
{
  public:
    explicit FifoRescue(const QByteArray& fifo)
        : thread_([this, fifo] {
              for (int waited = 0; !done_; waited += 50) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
                  if (waited < 5000)
                      continue;
                  const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
                  if (fd >= 0) {
                      rescued_ = true;
                      ::close(fd);
                  }
              }
          })
    {
    }
    ~FifoRescue() { finish(); }
    bool finish()
    {
        done_ = true;
        if (thread_.joinable())
            thread_.join();
        return rescued_;
    }

  private:
    std::atomic<bool> done_{false}, rescued_{false};
    std::thread thread_;
};
} // namespace

class ReadersTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void namesReadAlikeInEveryReader_data();
    void namesReadAlikeInEveryReader();
    void cutArchiveIsNotListedFromFileOrImage_data();
    void cutArchiveIsNotListedFromFileOrImage();
    void compressedBombEndsAtItsLimits_data();
    void compressedBombEndsAtItsLimits();
    void fifoIsNeverOpenedToBeRead();
    void libraryErrorEndsOnlyTheReading();

  private:
    QTemporaryDir dir_;
    QString tree_;
};

// A tree whose names hold "\" and Latin-1 bytes, in a folder, as a Rock Ridge image, and in
// archives.
void ReadersTest::initTestCase()
{
    QVERIFY(dir_.isValid());
    tree_ = dir_.filePath(QStringLiteral("tree"));
    const QByteArray t = QFile::encodeName(tree_);
    for (const QByteArray& name : {QByteArray("/a\\b/c/z.txt"), QByteArray("/a\\b/y.txt"),
                                   QByteArray("/a/x.txt"), QByteArray("/caf\xe9.txt"),
                                   QByteArray("/caf\xe8.txt"), QByteArray("/x\\y"), QByteArray("/\\lead/\\")})
        QVERIFY(makeFile(t + name, 3));
    const QString staging = dir_.filePath(QStringLiteral("staging"));
    QVERIFY(QDir().mkpath(staging));
    QCOMPARE(run(QStringLiteral("tar"), {QStringLiteral("cf"), staging + QStringLiteral("/t.tar"),
                                         QStringLiteral("-C"), tree_, QStringLiteral(".")}),
             QString());
    QCOMPARE(run(QStringLiteral("zip"),
                 {QStringLiteral("-qr"), staging + QStringLiteral("/t.zip"), QStringLiteral(".")}, tree_),
             QString());
    QCOMPARE(run(QStringLiteral("genisoimage"),
                 {QStringLiteral("-quiet"), QStringLiteral("-R"), QStringLiteral("-o"),
                  dir_.filePath(QStringLiteral("tree.iso")), tree_}),
             QString());
    QCOMPARE(run(QStringLiteral("genisoimage"),
                 {QStringLiteral("-quiet"), QStringLiteral("-R"), QStringLiteral("-o"),
                  dir_.filePath(QStringLiteral("archives.iso")), staging}),
             QString());
}

void ReadersTest::namesReadAlikeInEveryReader_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("prefix"); // where the tree's files are found
    // Zip's readers take "\\" for the folder separator Windows tools write there.
    QTest::addColumn<bool>("backslashSeparates");
    QTest::newRow("folder") << QStringLiteral("tree") << QStringLiteral("\\") << false;
    QTest::newRow("rock ridge image") << QStringLiteral("tree.iso") << QStringLiteral("\\") << false;
    QTest::newRow("tar in a folder") << QStringLiteral("staging") << QStringLiteral("\\t.tar\\") << false;
    QTest::newRow("tar on an image") << QStringLiteral("archives.iso") << QStringLiteral("\\t.tar\\")
                                     << false;
    QTest::newRow("zip in a folder") << QStringLiteral("staging") << QStringLiteral("\\t.zip\\") << true;
    QTest::newRow("zip on an image") << QStringLiteral("archives.iso") << QStringLiteral("\\t.zip\\") << true;
}

// A "\" inside a name never splits a folder, and Latin-1 names read as Windows-1252, whichever
// reader meets them.
void ReadersTest::namesReadAlikeInEveryReader()
{
    QFETCH(QString, root);
    QFETCH(QString, prefix);
    QFETCH(bool, backslashSeparates);
    QStringList expected;
    for (const char* name :
         {"a∖b\\c\\z.txt", "a∖b\\y.txt", "a\\x.txt", "café.txt", "cafè.txt", "x∖y", "∖lead\\∖"})
        expected << prefix + QString::fromUtf8(name);
    expected.sort();
    QStringList got;
    for (const QString& name : found(dir_.filePath(root)))
        if (name.startsWith(prefix))
            got << name;
    if (backslashSeparates) {
        expected.removeIf([](const QString& name) { return name.contains(QChar(kBackslashInName)); });
        for (const QString& name : expected)
            QVERIFY2(got.contains(name), qPrintable(name + QStringLiteral(" not in ") + got.join(u' ')));
        return;
    }
    QCOMPARE(got, expected);
}

void ReadersTest::cutArchiveIsNotListedFromFileOrImage_data()
{
    QTest::addColumn<QString>("compressor"); // empty for a plain tar
    QTest::newRow("tar") << QString();
    QTest::newRow("tar.gz") << QStringLiteral("gzip");
}

// Cut anywhere, an archive lists the same from its file as read from an image: all of it, or
// nothing when the cut falls inside a member's header or data.
void ReadersTest::cutArchiveIsNotListedFromFileOrImage()
{
    QFETCH(QString, compressor);
    // Data that does not compress, so that cuts of the compressed tar fall all through it.
    quint32 seed = 12345;
    QByteArray tar;
    for (int i = 0; i < 20; ++i) {
        QByteArray data(1024, '\0');
        for (char& c : data)
            c = char((seed = seed * 1103515245 + 12345) >> 24);
        tar += tarHeader("m" + QByteArray::number(i), 1000) + data;
    }
    tar += QByteArray(1024, '\0');
    const QByteArray whole =
        compressor.isEmpty() ? tar : pipeThrough(compressor, {QStringLiteral("-c")}, tar);
    QVERIFY(!whole.isEmpty());
    const ArchiveLister lister;
    const QString file = dir_.filePath(QStringLiteral("cut"));
    int cutsInside = 0;
    for (qsizetype cut = 100; cut <= whole.size(); cut += compressor.isEmpty() ? 700 : 97) {
        const QByteArray data = whole.left(cut);
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(out.write(data), data.size());
        out.close();
        const Listing fromFile = listFile(lister, file);
        const Listing fromImage = listPieces(lister, data);
        QVERIFY2(fromFile == fromImage,
                 qPrintable(QStringLiteral("cut at %1: %2 from the file, %3 from the image")
                                .arg(cut)
                                .arg(fromFile.listed ? fromFile.names.size() : -1)
                                .arg(fromImage.listed ? fromImage.names.size() : -1)));
        // The last member ends before the two zero blocks; only those may be missing.
        const bool inside = compressor.isEmpty() ? cut < tar.size() - 1024 : cut < whole.size() - 8;
        if (inside) {
            ++cutsInside;
            QVERIFY2(!fromFile.listed, qPrintable(QStringLiteral("cut at %1 listed").arg(cut)));
        }
    }
    QVERIFY(cutsInside > 10);
    QVERIFY(listFile(lister, dir_.filePath(QStringLiteral("staging/t.tar"))).listed);
}

void ReadersTest::compressedBombEndsAtItsLimits_data()
{
    QTest::addColumn<QString>("compressor");
    QTest::addColumn<QString>("name");
    QTest::newRow("gzip") << QStringLiteral("gzip") << QStringLiteral("bomb.tar.gz");
    QTest::newRow("bzip2") << QStringLiteral("bzip2") << QStringLiteral("bomb.tar.bz2");
    QTest::newRow("xz") << QStringLiteral("xz") << QStringLiteral("bomb.tar.xz");
    QTest::newRow("zstd") << QStringLiteral("zstd") << QStringLiteral("bomb.tar.zst");
}

// A small compressed tar declaring gigabytes of zeros (streams of 16 MB of zeros one after the
// other) ends at its byte budget however slow the machine, and at a stop at once, although
// skipping its one member is a single read.
void ReadersTest::compressedBombEndsAtItsLimits()
{
    QFETCH(QString, compressor);
    QFETCH(QString, name);
    constexpr qint64 kChunk = qint64(16) << 20;
    constexpr int kChunks = 128; // 2 GB
    const QByteArray first =
        pipeThrough(compressor, {QStringLiteral("-c")},
                    tarHeader("zeros", kChunk * kChunks - 512) + QByteArray(kChunk - 512, '\0'));
    const QByteArray next = pipeThrough(compressor, {QStringLiteral("-c")}, QByteArray(kChunk, '\0'));
    const QByteArray end = pipeThrough(compressor, {QStringLiteral("-c")}, QByteArray(1024, '\0'));
    QVERIFY2(!first.isEmpty() && !next.isEmpty(), qPrintable(compressor + QStringLiteral(" did not run")));
    QByteArray bomb = first;
    for (int i = 1; i < kChunks; ++i)
        bomb += next;
    bomb += end;
    const QString file = dir_.filePath(name);
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(out.write(bomb), bomb.size());
    out.close();

    // The budget alone ends it: no clock that could run out first.
    ArchiveLimits budget;
    budget.milliseconds = 3600000;
    budget.bytesUnpacked = kChunk;
    QCOMPARE(listFile(ArchiveLister(budget), file), Listing{});
    QCOMPARE(listPieces(ArchiveLister(budget), bomb), Listing{});
    // Within the budget it is listed.
    ArchiveLimits roomy = budget;
    roomy.bytesUnpacked = kChunk * (kChunks + 1);
    if (compressor == QLatin1String("gzip"))
        QCOMPARE(listFile(ArchiveLister(roomy), file).names, QStringList{QStringLiteral("\\a\\zeros")});
    // A stop is seen at the next block: nothing more is read once it is asked for.
    ArchiveLimits endless = budget;
    endless.bytesUnpacked = kChunk * (kChunks + 1);
    int asked = 0;
    QCOMPARE(listFile(ArchiveLister(endless), file, [&asked] { return ++asked < 5; }), Listing{});
    QCOMPARE(asked, 5);
}

// A FIFO named like an archive is listed as the file it is, and one a cue sheet names as its
// track fails the image; neither waits for a writer.
void ReadersTest::fifoIsNeverOpenedToBeRead()
{
    const QString folder = dir_.filePath(QStringLiteral("fifos"));
    QVERIFY(QDir().mkpath(folder));
    const QByteArray trap = QFile::encodeName(folder + QStringLiteral("/trap.zip"));
    const QByteArray track = QFile::encodeName(folder + QStringLiteral("/track.bin"));
    QCOMPARE(::mkfifo(trap.constData(), 0644), 0);
    QCOMPARE(::mkfifo(track.constData(), 0644), 0);
    QFile::copy(dir_.filePath(QStringLiteral("staging/t.zip")), folder + QStringLiteral("/real.zip"));
    QFile cue(folder + QStringLiteral("/disc.cue"));
    QVERIFY(cue.open(QIODevice::WriteOnly));
    cue.write("FILE \"track.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n");
    cue.close();
    {
        FifoRescue rescue(trap);
        TFileSearcher searcher;
        searcher.mapDrive(QLatin1Char('x'), folder);
        searcher.ListArchives = true;
        QCOMPARE(searcher.CountFiles(QStringLiteral("x:\\"), QStringLiteral("*"), true), qint64(4 + 7));
        searcher.Execute(QStringLiteral("x:\\"), QStringLiteral("*"), true);
        QVERIFY(searcher.FoundFiles.contains(QStringLiteral("\\trap.zip")));
        QCOMPARE(searcher.FoundFiles.size(), 4 + 7);
        QCOMPARE(searcher.NotListed, qint64(0));
        QVERIFY2(!rescue.finish(), "the walk opened the FIFO and waited for a writer");
    }
    {
        FifoRescue rescue(track);
        QString error;
        try {
            DiscImage image(folder + QStringLiteral("/disc.cue"));
        } catch (const TessaroError& e) {
            error = e.message();
        }
        QVERIFY2(!rescue.finish(), "the image reader opened the FIFO and waited for a writer");
        QVERIFY2(error.endsWith(QStringLiteral("it is not a regular file")), qPrintable(error));
    }
}

// QDir cannot remove names that are not UTF-8.
void ReadersTest::cleanupTestCase()
{
    rawtree::empty(dir_.path());
}

// libcdio's default handler calls exit() on any error it logs while reading an image.
void ReadersTest::libraryErrorEndsOnlyTheReading()
{
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        CdioUdfTree::open(dir_.filePath(QStringLiteral("no such image.bin")));
        cdio_error("a damaged image");
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "a library error ended the process");
}

QTEST_GUILESS_MAIN(ReadersTest)
#include "readers_test.moc"
