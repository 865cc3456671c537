// Times coverage (tessaro-cli coverage) of every disc, the files only on one disc
// (coverage --only-here) and Disc details' coverage line of one disc, on a catalogue of 1,000,000 files (100
// discs of 10,000, a third of the files hashed, a copy's hash the same), against one plain read of every
// file's name and size as the reference.
//
//     bench_coverage [DISCS [FILES_PER_DISC [ROUNDS [CATALOGUE]]]]
//
// A CATALOGUE file that exists is used as it is; one that does not is built and kept there.
#include "search/Coverage.h"
#include "bench/support/CatalogueBuilder.h"
#include "bench/support/Timing.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Schema.h"
#include "catalogue/Statement.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <vector>

using Timing::median;
using Timing::millis;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int discs = args.size() > 1 ? args.at(1).toInt() : 100;
    const int perDisc = args.size() > 2 ? args.at(2).toInt() : 10000;
    const int rounds = args.size() > 3 ? args.at(3).toInt() : 5;

    QTemporaryDir dir;
    const QString path = args.size() > 4 ? args.at(4) : dir.filePath(QStringLiteral("archive.mdb"));
    const bool build = !QFileInfo::exists(path);
    if (build)
        Schema::createCatalogue(path);
    Catalogue catalogue;
    catalogue.connect(path);
    if (build) {
        std::printf("building %d discs of %d files...\n", discs, perDisc);
        CatalogueBuilder().build(catalogue.connection(), discs, perDisc, false);
        // A third of the files hashed; the same name and size make the same hash, so copies agree.
        catalogue.connection().exec(
            "insert into file_hash select id, id_cd, dimensione, cast(substr(lower(nome) || "
            "'#' || dimensione || '################', 1, 16) as blob) from files where id % "
            "3 = 0");
    }

    // Wall and processor time of each run: the machine may be shared and loaded.
    std::vector<double> reference, all, one, line, referenceCpu, allCpu, oneCpu, lineCpu;
    std::size_t onlyHere = 0;
    qint64 copied = 0;
    const auto timed = [](std::vector<double>& wall, std::vector<double>& cpu,
                          const std::function<void()>& run) {
        double used = 0;
        wall.push_back(millis([&] { used = Timing::cpuMillis(run); }));
        cpu.push_back(used);
    };
    for (int round = 0; round < rounds; ++round) {
        timed(reference, referenceCpu, [&] {
            Statement rows(catalogue.connection(), "select nome, dimensione from files");
            qint64 sum = 0;
            while (rows.step())
                sum += rows.integer(1) + qint64(rows.text(0).size());
            if (sum < 0)
                std::printf("?");
        });
        timed(all, allCpu, [&] {
            copied = 0;
            for (const Coverage::DiscCoverage& disc : Coverage::discs(catalogue.connection()))
                copied += disc.copies[Coverage::NameSize];
        });
        timed(one, oneCpu,
              [&] { onlyHere = Coverage::onlyHere(catalogue.connection(), 1 + round % discs).size(); });
        // Disc details' line, which its own thread reads while the window goes on answering.
        timed(line, lineCpu, [&] {
            if (Coverage::line(Coverage::disc(catalogue.connection(), 1 + round % discs), {}).isEmpty())
                std::printf("?");
        });
    }
    const double refMs = median(referenceCpu);
    std::printf("load average %.1f; medians of %d rounds, wall and processor time\n", Timing::loadAverage(),
                rounds);
    std::printf("reading every name and size:        wall %7.1f ms  cpu %7.1f ms\n", median(reference),
                refMs);
    std::printf(
        "coverage of every disc (%lld copied): wall %7.1f ms  cpu %7.1f ms  cpu ratio to the read %.2f "
        "(target <= 2000 ms)\n",
        static_cast<long long>(copied), median(all), median(allCpu), median(allCpu) / refMs);
    std::printf(
        "only here, one disc (%zu files):     wall %7.1f ms  cpu %7.1f ms  cpu ratio to the read %.2f "
        "(target <= 500 ms)\n",
        onlyHere, median(one), median(oneCpu), median(oneCpu) / refMs);
    std::printf("Disc details' coverage line:         wall %7.1f ms  cpu %7.1f ms  (its own thread)\n",
                median(line), median(lineCpu));
    return 0;
}
