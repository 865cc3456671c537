// Times searches on a catalogue of 1,000,000 files (100 discs of 10,000) as the find button
// runs them: to the count and the first screen of rows, then to every row read; start-up's
// two list statements; the catalogue's size with and without the search index; memory while
// a 1,000,000-row result is in the grid's model; and the cost of the index to cataloguing.
//
//     bench_search [DISCS [FILES_PER_DISC [ROUNDS]]]
#include "bench/support/CatalogueBuilder.h"
#include "bench/support/Timing.h"
#include "bench/support/TreeBuilder.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Connection.h"
#include "catalogue/DiscLabel.h"
#include "catalogue/DiscStore.h"
#include "catalogue/Query.h"
#include "catalogue/Savepoint.h"
#include "catalogue/Schema.h"
#include "catalogue/Statements.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/DiscIndex.h"
#include "catalogue/searchindex/IndexFilter.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "maintenance/DiscCataloguer.h"
#include "search/FilterLists.h"
#include "search/ResultModel.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using Timing::median;
using Timing::millis;

namespace
{
long statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double megabytes(const QString& path)
{
    return double(QFileInfo(path).size()) / 1e6;
}

void checkpoint(Connection& connection)
{
    connection.exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

// What the grid asks for to paint one row.
qint64 readRow(const ResultModel& model, int row)
{
    qint64 bytes = 0;
    for (int column = 0; column < model.columnCount(); ++column)
        bytes += model.data(model.index(row, column)).toString().size();
    return bytes;
}

struct Case {
    const char* name;
    SearchCriteria criteria;
};

std::vector<Case> cases(const QString& oneDisc)
{
    const QDateTime yearFrom(QDate(2010, 1, 1), QTime(0, 0, 0));
    const QDateTime yearTo(QDate(2010, 12, 31), QTime(23, 59, 59));
    std::vector<Case> list;
    SearchCriteria c;
    c.byFile = true;
    c.pattern = QStringLiteral("*report*");
    list.push_back({"*report*", c});
    c.pattern = QStringLiteral("\\photos\\*.jpg");
    list.push_back({"\\photos\\*.jpg", c});
    c = {};
    c.byExtension = true;
    c.extension = QStringLiteral("jpg");
    list.push_back({"extension jpg", c});
    c = {};
    c.byDisc = true;
    c.discLabel = oneDisc;
    list.push_back({"one disc", c});
    c = {};
    c.byDateFrom = c.byDateTo = true;
    c.dateFrom = yearFrom;
    c.dateTo = yearTo;
    list.push_back({"one year", c});
    c.byDisc = c.byFile = c.byExtension = true;
    c.discLabel = oneDisc;
    c.pattern = QStringLiteral("*\\photos\\*");
    c.extension = QStringLiteral("jpg");
    list.push_back({"all five filters", c});
    c = {};
    list.push_back({"no filter", c});
    c.byFile = true;
    c.pattern = QStringLiteral("*img_123*");
    list.push_back({"rare *img_123*", c});
    c.pattern = QStringLiteral("*a*");
    list.push_back({"broad *a*", c});
    c = {};
    c.name =
        NamePattern::Terms{NamePattern::Syntax::Like, NamePattern::Scope::Name, QStringLiteral("%report%")};
    list.push_back({"names anywhere", c});
    c.name->text = QStringLiteral("%img_123%");
    list.push_back({"rare anywhere", c});
    return list;
}

void searches(const QString& path, int rounds)
{
    Connection connection;
    connection.connect(path);
    QString oneDisc;
    {
        Query q(connection);
        q.openWith(QStringLiteral("select ") + Statements::DiscLabelExpression +
                   QStringLiteral(" from cd where id = 42"));
        oneDisc = q.eof() ? QStringLiteral("C0001") : q.value(0).toString();
    }
    ResultSet result(connection);
    ResultModel model(result);
    std::printf("\n%-18s %10s %12s %12s %12s\n", "search", "rows", "first ms", "median ms", "all rows ms");
    bool firstSearch = true;
    for (const Case& test : cases(oneDisc)) {
        const SearchStatement statement(test.criteria);
        std::vector<double> toScreen;
        double all = 0;
        double first = 0;
        for (int r = 0; r < rounds; ++r) {
            const double ms = millis([&] {
                result.open(statement);
                for (int row = 0; row < std::min(40, model.rowCount()); ++row)
                    readRow(model, row);
            });
            if (r == 0)
                first = ms;
            else
                toScreen.push_back(ms);
        }
        all = millis([&] {
            for (int row = 0; row < model.rowCount(); ++row)
                readRow(model, row);
        });
        std::printf("%-18s %10d %12.1f %12.1f %12.1f%s\n", test.name, model.rowCount(), first,
                    median(toScreen), all, firstSearch ? "   (first: reads every disc's index)" : "");
        firstSearch = false;
    }
    SearchCriteria none;
    result.open(SearchStatement(none));
    std::printf("\nmemory with the 1,000,000-row result open: %ld MiB now, %ld MiB peak\n",
                statusKiB("VmRSS") / 1024, statusKiB("VmHWM") / 1024);
}

// The same searches with every disc's index dropped: the statement itself, disc by disc.
void searchesWithoutIndex(const QString& path)
{
    Connection connection;
    connection.connect(path);
    connection.exec("begin");
    connection.exec("delete from search_index");
    ResultSet result(connection);
    ResultModel model(result);
    std::printf("\nwithout the search index (the plain statement, one disc at a time):\n");
    std::printf("%-18s %10s %12s\n", "search", "rows", "median ms");
    for (const Case& test : cases(QStringLiteral("C0042"))) {
        const SearchStatement statement(test.criteria);
        std::vector<double> toScreen;
        for (int r = 0; r < 3; ++r) {
            toScreen.push_back(millis([&] {
                result.open(statement);
                for (int row = 0; row < std::min(40, model.rowCount()); ++row)
                    readRow(model, row);
            }));
        }
        std::printf("%-18s %10d %12.1f\n", test.name, model.rowCount(), median(toScreen));
    }
    result.close();
    connection.exec("rollback");
}

void startup(const QString& path)
{
    std::vector<double> times;
    int discs = 0;
    int extensions = 0;
    for (int r = 0; r < 5; ++r) {
        times.push_back(millis([&] {
            Catalogue catalogue;
            catalogue.connect(path);
            const QStringList labels = FilterLists::discLabels(catalogue);
            const QStringList list = FilterLists::extensionEntries(catalogue);
            discs = int(labels.size());
            extensions = int(list.size());
        }));
    }
    std::printf("start-up (connect, disc list of %d, extension list of %d): median %.1f ms\n", discs,
                extensions, median(times));
}

// Whole cataloguing runs of the 100,000-file tree (count, walk, one row per file, through
// the class the new-disc dialog uses), without and with the disc's search index built right
// after the run's commit, taken in turns.
void cataloguing(const QString& folder, int rounds)
{
    const QString root = folder + QStringLiteral("/disc");
    {
        const TreeBuilder tree(100000, 5000);
        if (!tree.writeTo(root)) {
            std::printf("cannot write the tree\n");
            return;
        }
    }
    std::vector<double> totals[2];
    std::vector<double> removals[2];
    std::vector<double> builds;
    qint64 files = 0;
    for (int r = 0; r < rounds; ++r) {
        for (int way = 0; way < 2; ++way) {
            const QString path = folder + QStringLiteral("/run%1.mdb").arg(way);
            for (const char* tail : {"", "-wal", "-shm"})
                QFile::remove(path + QLatin1String(tail));
            Schema::createCatalogue(path);
            Catalogue catalogue;
            catalogue.connect(path);
            DiscCataloguer run(catalogue, [](QChar) { return QString(); });
            run.searcher().mapDrive(QLatin1Char('d'), root);
            totals[way].push_back(millis([&] {
                run.countFiles(QStringLiteral("d:\\"));
                run.catalogue(QStringLiteral("C"), QStringLiteral("d:\\"), [] { return QString(); });
                if (way == 1)
                    builds.push_back(
                        millis([&] { SearchIndex::indexDisc(catalogue.connection(), run.NewDiscId); }));
            }));
            files = run.FilesAdded;
            removals[way].push_back(millis([&] { catalogue.removeDisc(run.NewDiscId); }));
        }
    }
    const char* names[] = {"whole run, no search index", "whole run and the disc's search index"};
    for (int way = 0; way < 2; ++way) {
        const double ms = median(totals[way]);
        std::printf("%-40s median %5.0f ms = %6.0f files/s\n", names[way], ms, double(files) / (ms / 1000));
    }
    std::printf("%-40s median %5.0f ms (%.1f us per file)\n", "of which the index build", median(builds),
                median(builds) * 1000 / double(std::max<qint64>(files, 1)));
    std::printf("removing the disc: median %.0f ms without its index, %.0f ms with it\n", median(removals[0]),
                median(removals[1]));
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int discs = args.size() > 1 ? args.at(1).toInt() : 100;
    const int perDisc = args.size() > 2 ? args.at(2).toInt() : 10000;
    const int rounds = args.size() > 3 ? args.at(3).toInt() : 7;

    QTemporaryDir dir;
    if (args.contains(QStringLiteral("--cataloguing"))) {
        cataloguing(dir.path(), 5);
        return 0;
    }
    // --catalogue FILE keeps the built catalogue for later runs.
    const qsizetype keep = args.indexOf(QStringLiteral("--catalogue"));
    const QString path =
        keep > 0 && keep + 1 < args.size() ? args.at(keep + 1) : dir.filePath(QStringLiteral("archive.mdb"));
    if (!QFileInfo::exists(path)) {
        Schema::createCatalogue(path);
        Connection connection;
        connection.connect(path);
        const double rows = millis([&] { CatalogueBuilder().build(connection, discs, perDisc, false); });
        checkpoint(connection);
        const double without = megabytes(path);
        int indexed = 0;
        const double index = millis([&] { indexed = SearchIndex::indexMissing(connection); });
        checkpoint(connection);
        std::printf(
            "catalogue: %d discs, %d files: rows written in %.1f s; search index of %d discs built in "
            "%.1f s (%.1f us per file)\n",
            discs, discs * perDisc, rows / 1000, indexed, index / 1000, index * 1000 / (discs * perDisc));
        std::printf("size on disk: %.1f MB without the search index, %.1f MB with it\n", without,
                    megabytes(path));
    }
    {
        Connection connection;
        connection.connect(path);
        std::vector<qint64> ids;
        Query q(connection);
        for (q.openWith(QStringLiteral("select id from cd")); !q.eof(); q.next())
            ids.push_back(q.value(0).toLongLong());
        q.close();
        SearchIndexCache cache;
        const IndexFilter every{IndexFilter::Conditions()};
        qint64 bytes = 0;
        const double load = millis([&] {
            const Savepoint read(connection, Transaction::Kind::Deferred);
            for (const auto& [disc, pieces] : cache.load(connection, ids, every))
                for (const auto& piece : pieces)
                    bytes += piece->byteSize();
        });
        const double again = millis([&] {
            const Savepoint read(connection, Transaction::Kind::Deferred);
            cache.load(connection, ids, every);
        });
        std::printf(
            "reading every disc's index (%.1f MB) into memory: %.1f ms; checking it is current: %.2f ms\n",
            double(bytes) / 1e6, load, again);
    }
    startup(path);
    searches(path, rounds);
    if (args.contains(QStringLiteral("--without-index")))
        searchesWithoutIndex(path);
    {
        Connection connection;
        connection.connect(path);
        ResultSet result(connection);
        // The grid's model, as the grid reads it: the row count, then the last screen of rows.
        ResultModel model(result);
        const long before = statusKiB("VmRSS");
        result.open(SearchStatement(SearchCriteria()));
        const int rows = model.rowCount();
        for (int row = std::max(0, rows - 40); row < rows; ++row)
            for (int column = 0; column < ResultModel::ColumnCount; ++column)
                model.data(model.index(row, column));
        std::printf("grid model holding %d rows: process memory %ld MiB (%ld MiB before the search)\n",
                    int(result.rowCount()), statusKiB("VmRSS") / 1024, before / 1024);
    }
    std::printf("\ncataloguing the 100,000-file tree:\n");
    cataloguing(dir.path(), 3);
    return 0;
}
