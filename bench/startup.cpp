// Times the command line's start-up against the sqlite3 shell's, in one run: `tessaro-cli --help`
// against `sqlite3 :memory: .quit` (the goal is 2.0 at most), and `tessaro-cli search` on an
// empty catalogue against `sqlite3 archive.mdb 'select 1'` on the same catalogue. Runs are
// interleaved so that a busy machine slows all four alike; medians and ratios are printed.
//
//     bench_startup [ROUNDS]        (tessaro-cli is looked for beside this program)
#include "bench/support/ProcessTiming.h"
#include "bench/support/Timing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using Timing::median;
using Timing::processMillis;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rounds = args.size() > 1 ? std::max(1, args.at(1).toInt()) : 50;

    const QString cli = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    const QString sqlite = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (!QFileInfo(cli).isExecutable() || sqlite.isEmpty()) {
        std::fprintf(stderr, "bench_startup: needs tessaro-cli beside it and sqlite3 (package sqlite3)\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(QStringLiteral("archive.mdb"));
    const QStringList help{cli, QStringLiteral("--help")};
    const QStringList search{cli, QStringLiteral("--catalogue"), catalogue, QStringLiteral("search")};
    const QStringList shell{sqlite, catalogue, QStringLiteral("select 1")};
    const QStringList bare{sqlite, QStringLiteral(":memory:"), QStringLiteral(".quit")};
    if (processMillis({cli, QStringLiteral("--catalogue"), catalogue, QStringLiteral("create-catalogue")}) <
        0) {
        std::fprintf(stderr, "bench_startup: tessaro-cli create-catalogue failed\n");
        return 1;
    }

    // One warm-up round brings every file into the page cache.
    std::vector<double> times[4], cpu[4];
    for (int round = -1; round < rounds; ++round) {
        const Timing::ProcessTime t[4] = {Timing::processTime(shell), Timing::processTime(help),
                                          Timing::processTime(search), Timing::processTime(bare)};
        if (!t[0].ok() || !t[1].ok() || !t[2].ok() || !t[3].ok()) {
            std::fprintf(stderr, "bench_startup: a run failed\n");
            return 1;
        }
        if (round >= 0)
            for (int i = 0; i < 4; ++i) {
                times[i].push_back(t[i].wall);
                cpu[i].push_back(t[i].cpu);
            }
    }
    const double reference = median(times[0]);
    std::printf("start-up, median of %d runs each:\n", rounds);
    std::printf("  sqlite3 archive.mdb 'select 1'   %6.2f ms\n", reference);
    std::printf("  sqlite3 :memory: .quit           %6.2f ms\n", median(times[3]));
    std::printf(
        "  tessaro-cli --help               %6.2f ms  ratio %.2f to sqlite3 :memory: (target <= 2.0)\n",
        median(times[1]), median(times[1]) / median(times[3]));
    std::printf("  processor time: tessaro-cli --help %.2f ms, sqlite3 :memory: %.2f ms, ratio %.2f (target "
                "<= 2.0)\n",
                median(cpu[1]), median(cpu[3]), median(cpu[1]) / median(cpu[3]));
    std::printf("  tessaro-cli search (empty)       %6.2f ms  ratio %.2f\n", median(times[2]),
                median(times[2]) / reference);
    return 0;
}
