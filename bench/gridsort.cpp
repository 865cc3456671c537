// Times a click on a grid title, the rows of a search sorted by a column, on 1,000,000 files
// (100 discs of 10,000, searched through their indexes), against SQLite sorting the same rows
// by the same key (ORDER BY, every row read) as the reference.
//
//     bench_gridsort [DISCS [FILES_PER_DISC [ROUNDS]]]
#include "bench/support/CatalogueBuilder.h"
#include "bench/support/Timing.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Schema.h"
#include "catalogue/Statement.h"
#include "search/ResultModel.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"

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
    const int rounds = args.size() > 3 ? args.at(3).toInt() : 3;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(path);
    Catalogue catalogue;
    catalogue.connect(path);
    std::printf("building %d discs of %d files...\n", discs, perDisc);
    CatalogueBuilder().build(catalogue.connection(), discs, perDisc, true);

    ResultSet result(catalogue.connection());
    result.open(SearchStatement(SearchCriteria{}));
    ResultModel model(result);
    std::printf("%lld rows\n", static_cast<long long>(result.rowCount()));

    struct Column {
        const char* name;
        int column;
        const char* key;
    };
    const Column columns[] = {{"File", ResultModel::File, "(files.path || files.nome) collate nocase"},
                              {"Dim.", ResultModel::Size, "files.dimensione"},
                              {"Date", ResultModel::Date, "files.data"},
                              {"CD", ResultModel::Cd, "cd.id desc"}};
    for (const Column& c : columns) {
        const QByteArray sql = QByteArray("select cd.id, files.path, files.nome from cd, files where"
                                          " files.id_cd = cd.id order by ") +
                               c.key + ", cd.id, files.path, files.nome";
        std::vector<double> reference, sorting;
        for (int round = 0; round < rounds; ++round) {
            reference.push_back(millis([&] {
                Statement ordered(catalogue.connection(), sql);
                qint64 sum = 0;
                while (ordered.step())
                    sum += ordered.integer(0) + qint64(ordered.text(2).size());
                if (sum < 0)
                    std::printf("?");
            }));
            sorting.push_back(millis([&] {
                model.sort(c.column, Qt::DescendingOrder);
                model.sort(-1);
            }));
        }
        const double refMs = median(reference);
        const double sortMs = median(sorting);
        std::printf("%-5s SQLite ORDER BY %7.1f ms   grid sort %7.1f ms   ratio %.2f (target <= 1.0)\n",
                    c.name, refMs, sortMs, sortMs / refMs);
    }
    return 0;
}
