// Times a whole cataloguing run of a synthetic disc (count, walk, one row per file, through
// the class the new-disc dialog uses) against find(1) on the same tree, in one run.
#include "catalogue/Catalogue.h"
#include "bench/support/ProcessTiming.h"
#include "bench/support/Timing.h"
#include "bench/support/TreeBuilder.h"
#include "catalogue/Schema.h"
#include "maintenance/DiscCataloguer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>
#include <vector>

using Timing::median;
using Timing::seconds;

namespace
{
long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Processor time (user and system) of this process or of its finished children, in seconds:
// a busy machine moves it far less than the wall clock.
double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = args.size() > 1 ? args.at(1).toInt() : 100000;
    const int folders = args.size() > 2 ? args.at(2).toInt() : 5000;
    const int rounds = args.size() > 3 ? args.at(3).toInt() : 3;

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    // A fourth argument names a folder that keeps the tree between runs (it is built there once).
    const QString root = args.size() > 4 ? args.at(4) : dir.filePath(QStringLiteral("disc"));
    long peakBefore = 0;
    if (!QFileInfo(root).isDir()) {
        const TreeBuilder tree(files, folders);
        if (!tree.writeTo(root)) {
            std::fprintf(stderr, "cannot write the tree\n");
            return 1;
        }
        peakBefore = peakKiB();
    }
    std::printf("tree: %d files in %d folders below %s\n", files, folders, qPrintable(root));

    const QByteArray find = "find '" + root.toLocal8Bit() + "' -type f -printf '%P %s %T@\\n' > /dev/null";
    if (std::system(find.constData()) != 0)
        std::fprintf(stderr, "find failed\n");

    // The walk alone, with its per-file pump and no rows, shows what the rows add.
    TFileSearcher walker([](QChar) { return QString(); });
    walker.mapDrive(QLatin1Char('d'), root);
    walker.OnFile = [](const QString&, const QString&, const QString&, qint64, const LocalDateTime&) {};

    std::vector<double> runTimes, countTimes, findTimes, walkTimes, runCpu, findCpu, cliTimes, cliCpu;
    const QString cli = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    qint64 added = 0;
    bool ok = true;
    for (int r = 0; r < rounds; ++r) {
        const QString path = dir.filePath(QStringLiteral("archive%1.mdb").arg(r));
        Schema::createCatalogue(path);
        Catalogue catalogue;
        catalogue.connect(path);
        DiscCataloguer run(catalogue, [](QChar) { return QString(); });
        run.searcher().mapDrive(QLatin1Char('d'), root);
        double counted = 0;
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        runTimes.push_back(seconds([&] {
            counted = seconds([&] { run.countFiles(QStringLiteral("d:\\")); });
            ok = run.catalogue(QStringLiteral("C"), QStringLiteral("d:\\"), [] { return QString(); }) && ok;
        }));
        runCpu.push_back(cpuSeconds(RUSAGE_SELF) - cpuBefore);
        countTimes.push_back(counted);
        added = run.FilesAdded;
        ok = ok && added == files && run.TotalFiles == files;
        catalogue.disconnect();
        QFile::remove(path);
        const double childrenBefore = cpuSeconds(RUSAGE_CHILDREN);
        findTimes.push_back(seconds([&] { (void)std::system(find.constData()); }));
        findCpu.push_back(cpuSeconds(RUSAGE_CHILDREN) - childrenBefore);
        // The same run as the command line makes it: a whole process with its event pump.
        if (QFileInfo(cli).isExecutable()) {
            Schema::createCatalogue(path);
            const Timing::ProcessTime add =
                Timing::processTime({cli, QStringLiteral("--catalogue"), path, QStringLiteral("add"),
                                     QStringLiteral("--root"), root, QStringLiteral("--quiet")});
            cliTimes.push_back(add.wall / 1e3);
            cliCpu.push_back(add.cpu / 1e3);
            QFile::remove(path);
        }
        walkTimes.push_back(
            seconds([&] { walker.Execute(QStringLiteral("d:\\"), DiscCataloguer::Pattern, true); }));
    }

    const double whole = median(runTimes), count = median(countTimes), findTime = median(findTimes),
                 walk = median(walkTimes);
    std::printf("median of %d rounds, %lld files catalogued per run:\n", rounds, added);
    std::printf("  whole run         %7.3f s  %8.0f files/s  ratio to find %.2f (target <= 3.0)\n", whole,
                double(added) / whole, whole / findTime);
    std::printf("    of which count  %7.3f s\n", count);
    std::printf("  processor time    %7.3f s  against find's %.3f s: ratio %.2f\n", median(runCpu),
                median(findCpu), median(runCpu) / median(findCpu));
    if (!cliTimes.empty() && median(cliTimes) > 0)
        std::printf("  tessaro-cli add   %7.3f s  whole process, ratio to find %.2f\n", median(cliTimes),
                    median(cliTimes) / findTime);
    if (!cliCpu.empty() && median(cliTimes) > 0)
        std::printf("    processor time  %7.3f s  ratio to find's %.2f (target <= 3.0)\n", median(cliCpu),
                    median(cliCpu) / median(findCpu));
    std::printf("  walk alone        %7.3f s  (Execute with its pump, no rows)\n", walk);
    std::printf("  find -printf      %7.3f s  %8.0f files/s\n", findTime, double(files) / findTime);
    std::printf("  peak memory       %7.1f MB (target <= 100 MB)", double(peakKiB()) / 1024.0);
    if (peakBefore > 0)
        std::printf(", of which %.1f MB while the tree was planned and written", double(peakBefore) / 1024.0);
    std::printf("\n");
    return ok ? 0 : 1;
}
