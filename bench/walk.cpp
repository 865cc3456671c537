// Times the file searcher on a synthetic disc against find(1) on the same tree, in one run:
// CountFiles, Execute with its per-file event pump, and find printing path, size and date.
#include "bench/support/Timing.h"
#include "bench/support/TreeBuilder.h"
#include "scan/UnFileSearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using Timing::median;
using Timing::seconds;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = args.size() > 1 ? args.at(1).toInt() : 100000;
    const int folders = args.size() > 2 ? args.at(2).toInt() : 5000;
    const int rounds = args.size() > 3 ? args.at(3).toInt() : 5;

    // TESSARO_BENCH_TREE keeps the tree in that folder between runs (for profiling the walk alone).
    QTemporaryDir dir;
    const QString kept = qEnvironmentVariable("TESSARO_BENCH_TREE");
    if (kept.isEmpty() && !dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const QString root = kept.isEmpty() ? dir.filePath(QStringLiteral("disc")) : kept;
    const TreeBuilder tree(files, folders);
    const bool reuse = !kept.isEmpty() && QFileInfo::exists(root);
    const double built = seconds([&] {
        if (!reuse && !tree.writeTo(root)) {
            std::fprintf(stderr, "cannot write the tree\n");
            std::exit(1);
        }
    });
    std::printf("tree: %d files in %d folders below %s, written in %.2f s\n", tree.fileCount(), folders,
                qPrintable(root), built);

    const QByteArray find = "find '" + root.toLocal8Bit() + "' -type f -printf '%P %s %T@\\n' > /dev/null";
    TFileSearcher searcher([](QChar) { return QString(); });
    searcher.mapDrive(QLatin1Char('x'), root);
    qint64 reported = 0;
    qint64 bytes = 0;
    searcher.OnFile = [&](const QString&, const QString&, const QString&, qint64 size, const LocalDateTime&) {
        ++reported;
        bytes += size;
    };

    // Warm the caches once, then interleave the three so drifting load hits them alike.
    if (std::system(find.constData()) != 0)
        std::fprintf(stderr, "find failed\n");
    std::vector<double> countTimes, executeTimes, findTimes;
    qint64 counted = 0;
    for (int r = 0; r < rounds; ++r) {
        countTimes.push_back(seconds(
            [&] { counted = searcher.CountFiles(QStringLiteral("x:\\"), QStringLiteral("*.*"), true); }));
        executeTimes.push_back(seconds([&] {
            reported = 0;
            searcher.Execute(QStringLiteral("x:\\"), QStringLiteral("*.*"), true);
        }));
        findTimes.push_back(seconds([&] { (void)std::system(find.constData()); }));
    }

    const double count = median(countTimes), execute = median(executeTimes), findTime = median(findTimes);
    std::printf("files: counted %lld, reported %lld, found %lld (planned %d); %lld bytes\n", counted,
                reported, qint64(searcher.FoundFiles.size()), tree.fileCount(), bytes);
    std::printf("median of %d rounds:\n", rounds);
    std::printf("  CountFiles        %7.3f s  %8.0f files/s  ratio to find %.2f (target <= 1.0)\n", count,
                double(counted) / count, count / findTime);
    std::printf("  Execute + pump    %7.3f s  %8.0f files/s  ratio to find %.2f (target <= 1.5)\n", execute,
                double(reported) / execute, execute / findTime);
    std::printf("  find -printf      %7.3f s  %8.0f files/s\n", findTime,
                double(tree.fileCount()) / findTime);
    return counted == tree.fileCount() && reported == counted ? 0 : 1;
}
