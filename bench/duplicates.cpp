// Times the search for files kept on two or more discs (tessaro-cli duplicates) on a catalogue
// of 1,000,000 files (100 discs of 10,000), against one plain read of every file's name and
// size as the reference, and the disc tree of a 100,000-file disc.
//
//     bench_duplicates [DISCS [FILES_PER_DISC [ROUNDS]]]
#include "bench/support/CatalogueBuilder.h"
#include "bench/support/Timing.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Schema.h"
#include "catalogue/Statement.h"
#include "search/DiscTree.h"
#include "search/DuplicateFinder.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
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
    const QString path = dir.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(path);
    Catalogue catalogue;
    catalogue.connect(path);
    std::printf("building %d discs of %d files...\n", discs, perDisc);
    CatalogueBuilder().build(catalogue.connection(), discs, perDisc, false);
    // One big disc for the tree.
    CatalogueBuilder(7).build(catalogue.connection(), 1, 100000, false);

    std::vector<double> reference, duplicates, tree;
    std::size_t copies = 0;
    std::size_t folders = 0;
    for (int round = 0; round < rounds; ++round) {
        reference.push_back(millis([&] {
            Statement all(catalogue.connection(), "select nome, dimensione from files");
            qint64 sum = 0;
            while (all.step())
                sum += all.integer(1) + qint64(all.text(0).size());
            if (sum < 0)
                std::printf("?");
        }));
        duplicates.push_back(
            millis([&] { copies = DuplicateFinder::find(catalogue.connection(), 0).size(); }));
        tree.push_back(
            millis([&] { folders = DiscTree::load(catalogue.connection(), discs + 1).folders().size(); }));
    }
    const double refMs = median(reference);
    const double dupMs = median(duplicates);
    std::printf("reading every name and size:  median %7.1f ms\n", refMs);
    std::printf("duplicates (%zu copies):     median %7.1f ms  ratio to the read %.2f (target < 2000 ms)\n",
                copies, dupMs, dupMs / refMs);
    std::printf("tree of the 100,000-file disc (%zu folders): median %7.1f ms\n", folders, median(tree));
    return 0;
}
