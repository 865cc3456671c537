// Catalogues and removes discs at random for a bounded time and number of steps, through the
// classes the windows use (DiscCataloguer for runs, DiscStore in a transaction for removals),
// and checks the catalogue after every step: ids follow the allocation rule, no file row is
// left without its disc, stopped and failed runs leave no trace, every disc has its search
// index, and a second instance's search sees exactly the catalogued files.
//
//     bench_soak [SECONDS [MAX_STEPS [SEED]]]      (defaults: 120 s, 100000 steps, from the clock)
#include "bench/support/TreeBuilder.h"
#include "catalogue/Connection.h"
#include "catalogue/DiscStore.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "catalogue/Transaction.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "search/SearchEngine.h"
#include "search/SearchStatement.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <map>
#include <random>
#include <vector>

namespace
{
struct Disc {
    QString folder;
    qint64 files = 0;
};

class Soak
{
  public:
    Soak(const QString& path, std::vector<Disc> discs, quint32 seed)
        : discs_(std::move(discs)), random_(seed), work_(connection_), reader_(readerConnection_)
    {
        connection_.connect(path);
        readerConnection_.connect(path);
    }

    void step()
    {
        const double roll = std::uniform_real_distribution<double>(0, 1)(random_);
        const qint64 discsNow = value("select count(*) from cd");
        if (discsNow > 0 && roll < 0.30)
            removeOne();
        else if (roll < 0.42)
            stoppedRun();
        else if (roll < 0.50)
            failedRun();
        else if (roll < 0.55)
            cancelledRun();
        else
            completedRun();
        checkEveryStep();
    }

    void report(double seconds)
    {
        std::printf("%.1f s, %lld steps:", seconds, steps_);
        for (const auto& [kind, count] : done_)
            std::printf(" %s %lld,", kind.c_str(), count);
        std::printf(" files written %lld\n", filesWritten_);
        std::printf("catalogue at the end: %lld discs, %lld files, highest disc id %lld\n",
                    value("select count(*) from cd"), value("select count(*) from files"),
                    value("select coalesce(max(id), 0) from cd"));
        std::printf("invariants broken: %lld\n", broken_);
        for (const std::string& line : brokenLines_)
            std::printf("  %s\n", line.c_str());
    }
    qint64 broken() const { return broken_; }

  private:
    struct Before {
        qint64 maxDisc, maxFile, discs, files;
    };
    Before before()
    {
        return {value("select coalesce(max(id), 0) from cd"), value("select coalesce(max(id), 0) from files"),
                value("select count(*) from cd"), value("select count(*) from files")};
    }

    qint64 value(const char* sql)
    {
        Query query(connection_);
        query.openWith(QString::fromLatin1(sql));
        return query.value(0).toLongLong();
    }

    void expect(bool holds, const std::string& what)
    {
        if (holds)
            return;
        ++broken_;
        if (brokenLines_.size() < 20)
            brokenLines_.push_back("step " + std::to_string(steps_) + ": " + what);
    }

    const Disc& pickDisc()
    {
        return discs_[std::uniform_int_distribution<size_t>(0, discs_.size() - 1)(random_)];
    }

    // One run over `disc`; stopAt >= 0 stops it from the event pump once the bar reaches it.
    bool walk(const Disc& disc, DiscCataloguer& run, int stopAt)
    {
        bool stopPosted = false;
        DiscCataloguer::Events events;
        events.progress = [&](int position) {
            if (stopAt >= 0 && position >= stopAt && !stopPosted) {
                stopPosted = true;
                QTimer::singleShot(0, [&run] {
                    if (run.running())
                        run.stop();
                });
            }
        };
        run.setEvents(events);
        run.searcher().mapDrive(QLatin1Char('d'), disc.folder);
        run.searcher().OnPump = [] { QCoreApplication::processEvents(); };
        run.countFiles(QStringLiteral("d:\\"));
        const bool type = std::bernoulli_distribution(0.5)(random_);
        const bool completed = run.catalogue(type ? QStringLiteral("C") : QStringLiteral("D"),
                                             QStringLiteral("d:\\"), [] { return QStringLiteral("SOAK"); });
        QCoreApplication::processEvents(); // a stop posted after the last file lands here, too late
        return completed;
    }

    void completedRun()
    {
        const Disc& disc = pickDisc();
        const Before was = before();
        DiscCataloguer cataloguer(connection_, work_, [](QChar) { return QString(); });
        bool completed = false;
        try {
            completed = walk(disc, cataloguer, -1);
        } catch (const TessaroError& error) {
            expect(false, "run failed: " + error.message().toStdString());
            return;
        }
        ++done_["completed runs"];
        expect(completed, "run not completed");
        const qint64 id = cataloguer.NewDiscId;
        expect(id == was.maxDisc + 1,
               "disc id " + std::to_string(id) + " after highest " + std::to_string(was.maxDisc));
        expect(cataloguer.FilesAdded == disc.files, "files added differ from the disc's files");
        Query query(connection_);
        query.openWith(
            QStringLiteral("select count(*), coalesce(min(id), 0), coalesce(max(id), 0) from files "
                           "where id_cd = :d"),
            {{QStringLiteral("d"), id}});
        const qint64 count = query.value(0).toLongLong();
        expect(count == disc.files,
               "disc holds " + std::to_string(count) + " of " + std::to_string(disc.files));
        if (disc.files > 0)
            expect(query.value(1).toLongLong() == was.maxFile + 1 &&
                       query.value(2).toLongLong() == was.maxFile + disc.files,
                   "file ids do not follow the highest file id");
        filesWritten_ += count;
    }

    void stoppedRun()
    {
        const Disc& disc = pickDisc();
        if (disc.files < 2)
            return completedRun();
        const Before was = before();
        DiscCataloguer cataloguer(connection_, work_, [](QChar) { return QString(); });
        const int stopAt = std::uniform_int_distribution<int>(0, 99)(random_);
        bool completed = true;
        try {
            completed = walk(disc, cataloguer, stopAt);
        } catch (const TessaroError& error) {
            expect(false, "stopped run failed: " + error.message().toStdString());
            return;
        }
        if (completed) {
            // The stop came after the last file: a completed run, whole.
            ++done_["runs stopped too late"];
            expect(cataloguer.NewDiscId == was.maxDisc + 1, "late-stopped disc has the wrong id");
            return;
        }
        ++done_["stopped runs"];
        expect(cataloguer.NewDiscId == 0, "stopped run keeps a disc id");
        unchanged(was, "stopped run");
    }

    void failedRun()
    {
        const Disc& disc = pickDisc();
        const Before was = before();
        const qint64 pages = value("pragma page_count");
        const int room = std::uniform_int_distribution<int>(0, 12)(random_);
        connection_.exec(QStringLiteral("pragma max_page_count = %1").arg(pages + room).toUtf8().constData());
        DiscCataloguer cataloguer(connection_, work_, [](QChar) { return QString(); });
        bool completed = false;
        bool failed = false;
        try {
            completed = walk(disc, cataloguer, -1);
        } catch (const TessaroError&) {
            failed = true;
        }
        connection_.exec("pragma max_page_count = 1073741823");
        if (completed) {
            ++done_["runs that fitted the page limit"];
            expect(cataloguer.NewDiscId == was.maxDisc + 1, "disc id after a fitting run");
            filesWritten_ += disc.files;
            return;
        }
        ++done_["runs failed on a full disk"];
        expect(failed && cataloguer.NewDiscId == 0, "failed run keeps a disc id");
        unchanged(was, "failed run");
    }

    void cancelledRun()
    {
        const Disc& disc = pickDisc();
        const Before was = before();
        DiscCataloguer cataloguer(connection_, work_, [](QChar) { return QString(); });
        try {
            if (walk(disc, cataloguer, -1))
                cataloguer.removeCommitted();
        } catch (const TessaroError& error) {
            expect(false, "cancelled run failed: " + error.message().toStdString());
            return;
        }
        ++done_["runs cancelled after their end"];
        unchanged(was, "cancelled run");
    }

    void removeOne()
    {
        std::vector<qint64> ids;
        Query query(connection_);
        for (query.openWith(QStringLiteral("select id from cd")); !query.eof(); query.next())
            ids.push_back(query.value(0).toLongLong());
        query.close();
        const qint64 id = ids[std::uniform_int_distribution<size_t>(0, ids.size() - 1)(random_)];
        const Before was = before();
        query.openWith(QStringLiteral("select count(*) from files where id_cd = :d"),
                       {{QStringLiteral("d"), id}});
        const qint64 files = query.value(0).toLongLong();
        query.close();
        try {
            Transaction transaction(connection_);
            DiscStore::removeDisc(work_, id);
            transaction.commit();
        } catch (const TessaroError& error) {
            expect(false, "removal failed: " + error.message().toStdString());
            return;
        }
        ++done_["removals"];
        const Before now = before();
        expect(now.discs == was.discs - 1 && now.files == was.files - files, "removal left rows behind");
    }

    void unchanged(const Before& was, const std::string& what)
    {
        const Before now = before();
        expect(now.discs == was.discs && now.files == was.files && now.maxDisc == was.maxDisc &&
                   now.maxFile == was.maxFile,
               what + " left rows behind");
    }

    void checkEveryStep()
    {
        ++steps_;
        expect(value("select count(*) from files where id_cd not in (select id from cd)") == 0,
               "file rows without their disc");
        expect(value("select count(*) from cd where id not in (select id_cd from search_index)") == 0,
               "a disc without its search index");
        expect(value("select count(*) from search_index where id_cd not in (select id from cd)") == 0,
               "a search index without its disc");
        expect(value("select count(*) from cd where id <= 0") == 0, "a disc id below 1");
        // The other instance keeps its indexes in memory from search to search.
        const qint64 files = value("select count(*) from files");
        const qint64 found = reader_.run(SearchStatement(SearchCriteria{})).rowCount();
        expect(found == files,
               "a search found " + std::to_string(found) + " of " + std::to_string(files) + " files");
        if (steps_ % 100 == 0) {
            Query query(connection_);
            query.openWith(QStringLiteral("pragma quick_check"));
            expect(query.value(0).toString() == QLatin1String("ok"), "quick_check failed");
        }
    }

    std::vector<Disc> discs_;
    std::mt19937 random_;
    Connection connection_;
    Query work_;
    Connection readerConnection_;
    SearchEngine reader_;
    std::map<std::string, qint64> done_;
    qint64 steps_ = 0;
    qint64 filesWritten_ = 0;
    qint64 broken_ = 0;
    std::vector<std::string> brokenLines_;
};
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const double seconds = args.size() > 1 ? args.at(1).toDouble() : 120.0;
    const qint64 maxSteps = args.size() > 2 ? args.at(2).toLongLong() : 100000;
    const quint32 seed = args.size() > 3 ? args.at(3).toUInt() : quint32(QDateTime::currentMSecsSinceEpoch());

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    // Small discs of several shapes, an empty one among them.
    std::vector<Disc> discs;
    const int shapes[][2] = {{0, 3}, {1, 1}, {37, 5}, {250, 20}, {1000, 60}, {3000, 150}};
    for (const auto& [files, folders] : shapes) {
        const QString folder = dir.filePath(QStringLiteral("disc%1").arg(discs.size()));
        const TreeBuilder tree(files, folders, seed + quint32(files));
        if (!tree.writeTo(folder)) {
            std::fprintf(stderr, "cannot write a disc tree\n");
            return 1;
        }
        discs.push_back({folder, files});
    }
    const QString path = dir.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(path);
    std::printf("soak: up to %.0f s or %lld steps, seed %u\n", seconds, maxSteps, seed);

    Soak soak(path, discs, seed);
    QElapsedTimer clock;
    clock.start();
    qint64 steps = 0;
    while (steps < maxSteps && double(clock.elapsed()) / 1000.0 < seconds) {
        soak.step();
        ++steps;
    }
    soak.report(double(clock.elapsed()) / 1000.0);
    return soak.broken() == 0 ? 0 : 1;
}
