// Times `tessaro-cli search --count --file` (and `search TEXT`) as whole processes against
// `plocate -c -i` over a plocate database of the same drive-relative paths, in one run: a
// common term and a rare one, on a synthetic catalogue (100 discs of 10,000 files unless
// told). Runs are interleaved so that a busy machine slows both alike; medians and ratios are
// printed (the goal is 1.0 at most).
//
//     bench_clisearch [DISCS [FILES_PER_DISC [ROUNDS [FOLDER]]]]
//
// FOLDER keeps the catalogue and plocate's database between runs (they are built there once).
// tessaro-cli is looked for beside this program; plocate and plocate-build (package plocate)
// on the PATH.
#include "bench/support/CatalogueBuilder.h"
#include "bench/support/LocateDatabase.h"
#include "bench/support/ProcessTiming.h"
#include "bench/support/Timing.h"
#include "catalogue/Connection.h"
#include "catalogue/Schema.h"
#include "catalogue/Statement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using Timing::median;
using Timing::processTime;

namespace
{
QString firstLine(const QStringList& command)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0).trimmed();
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int discs = args.size() > 1 ? args.at(1).toInt() : 100;
    const int perDisc = args.size() > 2 ? args.at(2).toInt() : 10000;
    const int rounds = args.size() > 3 ? std::max(1, args.at(3).toInt()) : 11;

    const QString cli = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    const QString plocate = QStandardPaths::findExecutable(QStringLiteral("plocate"));
    QString build = QStandardPaths::findExecutable(QStringLiteral("plocate-build"));
    if (build.isEmpty())
        build =
            QStandardPaths::findExecutable(QStringLiteral("plocate-build"), {QStringLiteral("/usr/sbin")});
    if (!QFileInfo(cli).isExecutable() || plocate.isEmpty() || build.isEmpty()) {
        std::fprintf(stderr, "bench_clisearch: needs tessaro-cli beside it and plocate (package plocate)\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString folder = args.size() > 4 ? args.at(4) : dir.path();
    QDir().mkpath(folder);
    const QString catalogue = QDir(folder).filePath(QStringLiteral("archive.mdb"));
    const QString database = QDir(folder).filePath(QStringLiteral("plocate.db"));
    if (!QFileInfo::exists(catalogue)) {
        std::printf("building %d discs of %d files ...\n", discs, perDisc);
        std::fflush(stdout);
        Schema::createCatalogue(catalogue);
        Connection connection;
        connection.connect(catalogue);
        CatalogueBuilder().build(connection, discs, perDisc, true);
        connection.exec("PRAGMA wal_checkpoint(TRUNCATE)");
        QFile::remove(database);
    }
    if (!QFileInfo::exists(database)) {
        if (!buildLocateDatabase(catalogue, database, build)) {
            std::fprintf(stderr, "bench_clisearch: cannot build plocate's database\n");
            return 1;
        }
    }
    std::printf("catalogue %.1f MB, plocate's database %.1f MB\n", double(QFileInfo(catalogue).size()) / 1e6,
                double(QFileInfo(database).size()) / 1e6);

    struct Case {
        const char* name;
        QStringList tessaro;
        QStringList reference;
    };
    const auto search = [&](QStringList form) {
        return QStringList{cli, QStringLiteral("--catalogue"), catalogue, QStringLiteral("search"),
                           QStringLiteral("--count")} +
               form;
    };
    const auto tessaro = [&](const char* pattern) {
        return search({QStringLiteral("--file"), QString::fromLatin1(pattern)});
    };
    const auto locate = [&](const char* term) { return locateCount(plocate, database, term); };
    // TEXT alone folds every script's letters: it must cost what --file does.
    const std::vector<Case> cases{
        {"common name *report*", tessaro("*report*"), locate("report")},
        {"rare name *img_123*", tessaro("*img_123*"), locate("img_123")},
        {"common, search report", search({QStringLiteral("report")}), locate("report")},
        {"rare, search img_123", search({QStringLiteral("img_123")}), locate("img_123")}};
    std::printf("whole processes, median of %d runs each (hits: tessaro-cli / plocate):\n", rounds);
    bool ok = true;
    for (const Case& c : cases) {
        std::vector<double> ours, theirs, oursCpu, theirsCpu;
        // One warm-up round brings every file into the page cache.
        for (int round = -1; round < rounds; ++round) {
            const Timing::ProcessTime a = processTime(c.tessaro), b = processTime(c.reference);
            if (!a.ok() || !b.ok()) {
                std::fprintf(stderr, "bench_clisearch: a run failed\n");
                return 1;
            }
            if (round >= 0) {
                ours.push_back(a.wall);
                theirs.push_back(b.wall);
                oursCpu.push_back(a.cpu);
                theirsCpu.push_back(b.cpu);
            }
        }
        const double t = median(ours), r = median(theirs);
        const double tc = median(oursCpu), rc = median(theirsCpu);
        std::printf("  %-22s tessaro-cli %7.1f ms  plocate %7.1f ms  ratio %.2f; processor %6.1f / %6.1f ms  "
                    "ratio %.2f (target <= 1.0)  hits %s / %s\n",
                    c.name, t, r, t / r, tc, rc, tc / rc, qPrintable(firstLine(c.tessaro)),
                    qPrintable(firstLine(c.reference)));
        ok = ok && t > 0;
    }
    return ok ? 0 : 1;
}
