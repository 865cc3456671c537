// Times the command line's start-up against the sqlite3 shell's, in one run: `tessaro-cli --help`
// and `tessaro-cli search` on an empty catalogue, each against `sqlite3 archive.mdb 'select 1'`
// on the same catalogue. Runs are interleaved so that a busy machine slows all three alike; the
// medians and their ratios are printed (the goal is 1.5 at most).
//
//     bench_startup [ROUNDS]        (tessaro-cli is looked for beside this program)
#include "bench/support/Timing.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using Timing::median;

namespace
{
// Runs the program with its output thrown away; the wall time from spawn to exit, in ms, or a
// negative value when it failed.
double timedRun(const QStringList& command)
{
    std::vector<QByteArray> args;
    for (const QString& arg : command)
        args.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}
} // namespace

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
    if (timedRun({cli, QStringLiteral("--catalogue"), catalogue, QStringLiteral("create-catalogue")}) < 0) {
        std::fprintf(stderr, "bench_startup: tessaro-cli create-catalogue failed\n");
        return 1;
    }

    // One warm-up round brings every file into the page cache.
    std::vector<double> times[3];
    for (int round = -1; round < rounds; ++round) {
        const double t[3] = {timedRun(shell), timedRun(help), timedRun(search)};
        if (t[0] < 0 || t[1] < 0 || t[2] < 0) {
            std::fprintf(stderr, "bench_startup: a run failed\n");
            return 1;
        }
        if (round >= 0)
            for (int i = 0; i < 3; ++i)
                times[i].push_back(t[i]);
    }
    const double reference = median(times[0]);
    std::printf("start-up, median of %d runs each:\n", rounds);
    std::printf("  sqlite3 archive.mdb 'select 1'   %6.2f ms\n", reference);
    std::printf("  tessaro-cli --help               %6.2f ms  ratio %.2f\n", median(times[1]),
                median(times[1]) / reference);
    std::printf("  tessaro-cli search (empty)       %6.2f ms  ratio %.2f\n", median(times[2]),
                median(times[2]) / reference);
    return 0;
}
