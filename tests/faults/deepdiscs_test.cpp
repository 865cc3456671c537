#include "search/ui/DiscDetails.h"
#include "tests/faults/RawTree.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QDir>
#include <QFile>
#include <QTreeWidget>
#include <QtTest>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

// Discs many thousand folders deep: cataloguing one, its folder tree on the command line and in
// the Disc details window take memory in proportion to the depth. Kept whole paths per folder
// took the square of it (0.9 GB for a file 15,000 folders deep), far above these bounds.
class DeepDiscsTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void memoryGrowsWithTheDepth_data();
    void memoryGrowsWithTheDepth();
};

namespace
{
constexpr int kWalkDepth = 10000;   // folders on the disk, one descriptor each while read
constexpr int kStoredDepth = 20000; // folders in the catalogue's one row
constexpr qint64 kBoundMb = 300;

// Peak resident memory of one tessaro-cli run, in MB; its standard output is dropped. SQLite's
// and the sanitizer's own spare memory aside: freed blocks are reused at once.
qint64 peakOfCli(const QStringList& args, int& status)
{
    QByteArray cli =
        QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli"));
    std::vector<QByteArray> words{cli};
    for (const QString& arg : args)
        words.push_back(arg.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> variables;
    for (char** at = environ; *at; ++at) {
        if (!QByteArray(*at).startsWith("ASAN_OPTIONS="))
            variables.emplace_back(*at);
    }
    variables.emplace_back("ASAN_OPTIONS=" + qgetenv("ASAN_OPTIONS") +
                           ":quarantine_size_mb=0:detect_leaks=0");
    std::vector<char*> envp;
    for (QByteArray& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, cli.constData(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int wstatus = 0;
    rusage usage{};
    if (::wait4(pid, &wstatus, 0, &usage) != pid)
        return -1;
    status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    return usage.ru_maxrss / 1024;
}

// The peak resident memory of this process since the last reset, in MB.
qint64 peakOfThisProcess()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() / 1024;
    }
    return -1;
}

bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}
} // namespace

void DeepDiscsTest::initTestCase()
{
    QVERIFY2(
        QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli")).isExecutable(),
        "tessaro-cli is not built beside the test");
}

void DeepDiscsTest::memoryGrowsWithTheDepth_data()
{
    QTest::addColumn<QString>("work");
    QTest::newRow("add a disc 10,000 folders deep") << "add";
    QTest::newRow("tree of a folder 20,000 deep") << "tree";
    QTest::newRow("Disc details opened 20,000 deep") << "details";
}

void DeepDiscsTest::memoryGrowsWithTheDepth()
{
    QFETCH(QString, work);
    TestCatalogue cat;
    const QString deepest = QStringLiteral("\\") + QStringLiteral("d\\").repeated(kStoredDepth);
    if (work != QLatin1String("add")) {
        cat.addDisc(QStringLiteral("C"));
        cat.addFile(1, deepest, QStringLiteral("bottom.txt"), 7);
        cat.addFile(1, QStringLiteral("\\"), QStringLiteral("top.txt"), 1);
    }
    if (work == QLatin1String("details")) {
        TfrmDiscDetails window(cat.session);
        QVERIFY2(resetPeak(), "the peak memory cannot be reset (/proc/self/clear_refs)");
        const qint64 before = peakOfThisProcess();
        window.showDisc(cat.session.discs().front(), deepest, QStringLiteral("bottom.txt"));
        const qint64 grown = peakOfThisProcess() - before;
        qInfo("the window grew by %lld MB", grown);
        QCOMPARE(windowChild<QTreeWidget>(window, "TreeFolders")->currentItem()->text(0),
                 QStringLiteral("bottom.txt"));
        QVERIFY2(grown < kBoundMb, qPrintable(QString::number(grown)));
        return;
    }

    QStringList args{QStringLiteral("--catalogue"), cat.path()};
    std::vector<int> levels;
    QTemporaryDir disc;
    if (work == QLatin1String("add")) {
        rlimit limit{};
        QVERIFY(getrlimit(RLIMIT_NOFILE, &limit) == 0);
        QVERIFY2(limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= rlim_t(kWalkDepth + 200),
                 "the hard limit of open files is below the depth (ulimit -Hn)");
        limit.rlim_cur = limit.rlim_max;
        QVERIFY(setrlimit(RLIMIT_NOFILE, &limit) == 0);
        levels.push_back(
            ::open(QFile::encodeName(disc.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 0; i < kWalkDepth && levels.back() >= 0; ++i)
            levels.push_back(rawtree::folder(levels.back(), "d"));
        QVERIFY(levels.back() >= 0);
        QVERIFY(rawtree::file(levels.back(), "bottom.txt", 2));
        args << QStringLiteral("add") << QStringLiteral("--root") << disc.path();
    } else {
        args << QStringLiteral("tree") << QStringLiteral("C0001") << deepest;
    }
    int status = -1;
    const qint64 peak = peakOfCli(args, status);
    qInfo("tessaro-cli %s: peak %lld MB", qPrintable(work), peak);
    if (work == QLatin1String("add")) {
        // Taken apart from the bottom up, a descriptor per level.
        QVERIFY(::unlinkat(levels.back(), "bottom.txt", 0) == 0);
        for (auto i = levels.size() - 1; i > 0; --i) {
            ::close(levels[i]);
            QVERIFY(::unlinkat(levels[i - 1], "d", AT_REMOVEDIR) == 0);
        }
        ::close(levels.front());
    }
    QCOMPARE(status, 0);
    QVERIFY(peak > 0);
    QVERIFY2(peak < kBoundMb, qPrintable(QString::number(peak)));
    if (work == QLatin1String("add"))
        QCOMPARE(cat.scalar(QStringLiteral("select length(path) from files")).toInt(), 1 + 2 * kWalkDepth);
}

QTEST_MAIN(DeepDiscsTest)
#include "deepdiscs_test.moc"
