// Ten million files on 1,000 discs (unless told otherwise): the window's start-up (connect, the
// disc list and the extension list as the main window fills them) against the two list
// statements run plainly beside it, memory with the catalogue open, the first search after
// start and later ones as the find button runs them, `upgrade-catalogue`, removing one disc,
// the Remove CD window's removal with its refresh of both lists, and `tessaro-cli search --count
// --file` against `plocate -c -i` over the same paths.
//
//     bench_tenmillion [DISCS [FILES_PER_DISC [ROUNDS [FOLDER]]]]
//
// The catalogue and plocate's database are built once into FOLDER (by default a folder named
// after the size in the temporary folder) and kept for later runs: the build takes about a minute
// and 2 GB. tessaro-cli is looked for beside this program; plocate and plocate-build on the PATH.
#include "bench/support/CatalogueBuilder.h"
#include "bench/support/LocateDatabase.h"
#include "bench/support/ProcessMemory.h"
#include "bench/support/ProcessTiming.h"
#include "bench/support/Timing.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Connection.h"
#include "catalogue/DiscStore.h"
#include "catalogue/Schema.h"
#include "catalogue/Statement.h"
#include "catalogue/Statements.h"
#include "search/FilterLists.h"
#include "search/ResultModel.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <vector>

using Timing::median;
using Timing::millis;
using Timing::processMillis;

namespace
{
void removeCatalogue(const QString& path)
{
    for (const char* tail : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(tail));
}

// Builds under a temporary name and renames at the end, so that a build cut short is never taken
// for a catalogue. Without fsyncs and with a large page cache: only the result counts here.
bool buildCatalogue(const QString& path, int discs, int perDisc)
{
    const QString building = path + QStringLiteral(".building");
    removeCatalogue(building);
    std::printf("building %d discs of %d files (once; kept in %s) ...\n", discs, perDisc,
                qPrintable(QFileInfo(path).absolutePath()));
    std::fflush(stdout);
    const double seconds = Timing::seconds([&] {
        Schema::createCatalogue(building);
        Connection connection;
        connection.connect(building);
        connection.exec("PRAGMA synchronous=OFF");
        connection.exec("PRAGMA cache_size=-262144");
        CatalogueBuilder().build(connection, discs, perDisc, true);
        // Gives every disc its record, as cataloguing runs do, so that later upgrades find
        // the catalogue up to date.
        Schema::upgradeCatalogue(connection);
        connection.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    });
    std::printf("built in %.0f s\n", seconds);
    return QFile::rename(building, path);
}

qint64 scalar(Connection& connection, const char* sql)
{
    Statement one(connection, sql);
    return one.step() ? one.integer(0) : 0;
}

// Drops the catalogue's pages from the page cache, as after a restart; other files keep theirs.
void evict(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

// Reads the catalogue through, so that it is in the page cache as on a machine that used it a
// moment ago.
void warm(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.read(1 << 20).isEmpty()) {
        }
    }
}

// The processor time this process has used so far.
double processorMillis()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// What the grid asks for to paint one row.
void readRow(const ResultModel& model, int row)
{
    for (int column = 0; column < model.columnCount(); ++column)
        model.data(model.index(row, column));
}

// The window's session in a process of its own, so that its peak memory is its own: start-up,
// the first search, later searches. Prints its own lines.
int session(const QString& path, int rounds)
{
    qsizetype discs = 0, extensions = 0;
    Catalogue catalogue;
    const auto plainly = [&] {
        return millis([&] {
            Connection connection;
            connection.connect(path);
            for (const QString& sql : {Statements::DiscList, Statements::ExtensionList}) {
                Statement rows(connection, sql.toUtf8());
                while (rows.step()) {
                }
            }
        });
    };
    const auto startUp = [&] {
        catalogue.disconnect();
        return millis([&] {
            catalogue.connect(path);
            discs = FilterLists::discLabels(catalogue).size();
            extensions = FilterLists::extensionEntries(catalogue).size();
        });
    };
    // From a catalogue no longer in the page cache (the first start of the day) ...
    evict(path);
    const double coldPlain = plainly();
    evict(path);
    const double cold = startUp();
    // ... and warm.
    warm(path);
    std::vector<double> startups, plain;
    for (int round = 0; round < rounds; ++round) {
        plain.push_back(plainly());
        startups.push_back(startUp());
    }
    const double ours = median(startups), theirs = median(plain);
    std::printf("window start-up (connect, %lld discs, %lld extensions):\n", static_cast<long long>(discs),
                static_cast<long long>(extensions));
    std::printf("  %-16s Tessaro %8.1f ms (target <= 1000 ms)  the two list statements run plainly %8.1f ms  "
                "ratio %.3f\n",
                "catalogue cold", cold, coldPlain, cold / coldPlain);
    std::printf("  %-16s Tessaro %8.1f ms (target <= 1000 ms)  the two list statements run plainly %8.1f ms  "
                "ratio %.3f\n",
                "warm, median", ours, theirs, ours / theirs);

    ResultSet result(catalogue.connection());
    ResultModel model(result);
    const auto search = [&](const char* pattern) {
        SearchCriteria criteria;
        criteria.byFile = true;
        criteria.pattern = QString::fromLatin1(pattern);
        const SearchStatement statement(criteria);
        return millis([&] {
            result.open(statement);
            for (int row = 0; row < std::min(40, model.rowCount()); ++row)
                readRow(model, row);
        });
    };
    const double cpuBefore = processorMillis();
    const double first = search("*report*");
    const double firstCpu = processorMillis() - cpuBefore;
    std::printf("searches to the count and the first screen of rows, as the find button runs them:\n");
    std::printf(
        "  first after start  *report*   %8.1f ms (target <= 150 ms)  %d rows; processor time %.1f ms\n",
        first, model.rowCount(), firstCpu);
    for (const char* pattern : {"*report*", "*img_123*"}) {
        std::vector<double> later, laterCpu;
        for (int round = 0; round < rounds; ++round) {
            const double before = processorMillis();
            later.push_back(search(pattern));
            laterCpu.push_back(processorMillis() - before);
        }
        std::printf(
            "  later, median of %d %-11s %8.1f ms (target <= 40 ms)  %d rows; processor time %.1f ms\n",
            rounds, pattern, median(later), model.rowCount(), median(laterCpu));
    }
    std::printf("memory with the catalogue open: peak %.0f MB, now %.0f MB (target <= 1000 MB)\n",
                double(ProcessMemory::peakKiB()) / 1024, double(ProcessMemory::currentKiB()) / 1024);
    std::fflush(stdout);
    return 0;
}

QString lastDiscLabel(const QString& catalogue)
{
    Connection connection;
    connection.connect(catalogue);
    Statement label(connection, (QStringLiteral("select ") + Statements::DiscLabelExpression +
                                 QStringLiteral(" from cd order by id desc limit 1"))
                                    .toUtf8());
    return label.step() ? QString::fromUtf8(label.text(0).data(), qsizetype(label.text(0).size()))
                        : QString();
}

// Removes the latest disc with the command line, then puts a disc of the same size back under the
// same id (the builder counts on from the highest ids), outside the timing.
std::vector<double> removals(const QString& cli, const QString& catalogue, int perDisc, int rounds)
{
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        const QString label = lastDiscLabel(catalogue);
        times.push_back(
            processMillis({cli, QStringLiteral("--catalogue"), catalogue, QStringLiteral("remove"), label}));
        Connection connection;
        connection.connect(catalogue);
        CatalogueBuilder(quint32(round) + 7).build(connection, 1, perDisc, true);
        Schema::upgradeCatalogue(connection);
        connection.exec("PRAGMA wal_checkpoint(TRUNCATE)");
        if (times.back() < 0)
            break;
    }
    return times;
}

// The Remove CD window's OK: the removal, then both filter lists filled again; beside it the same
// removal with the two list statements run plainly. The disc is put back after each.
void windowRemoval(const QString& catalogue, int perDisc)
{
    double ours = 0, plain = 0;
    for (int way = 0; way < 2; ++way) {
        Catalogue session;
        session.connect(catalogue);
        const std::optional<DiscStore::DiscRow> disc = session.findDisc(lastDiscLabel(catalogue));
        if (!disc)
            return;
        const double ms = millis([&] {
            if (!session.removeIfUnchanged(*disc))
                return;
            if (way == 0) {
                FilterLists::discLabels(session);
                FilterLists::extensionEntries(session);
                return;
            }
            for (const QString& sql : {Statements::DiscList, Statements::ExtensionList}) {
                Statement rows(session.connection(), sql.toUtf8());
                while (rows.step()) {
                }
            }
        });
        (way == 0 ? ours : plain) = ms;
        CatalogueBuilder(quint32(way) + 11).build(session.connection(), 1, perDisc, true);
        Schema::upgradeCatalogue(session.connection());
    }
    std::printf("  %-24s in the window %8.1f ms  with the list statements run plainly %8.1f ms  ratio %.3f\n",
                "remove and refresh lists", ours, plain, ours / plain);
}

void ratioLine(const char* name, double ours, double theirs, const char* target)
{
    std::printf("  %-24s tessaro-cli %8.1f ms  reference %8.1f ms  ratio %.2f (target %s)\n", name, ours,
                theirs, ours / theirs, target);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--session"))
        return session(args.at(2), std::max(1, args.at(3).toInt()));

    const int discs = args.size() > 1 ? args.at(1).toInt() : 1000;
    const int perDisc = args.size() > 2 ? args.at(2).toInt() : 10000;
    const int rounds = args.size() > 3 ? std::max(1, args.at(3).toInt()) : 7;
    const QString folder =
        args.size() > 4
            ? args.at(4)
            : QDir::temp().filePath(QStringLiteral("tessaro-bench-%1x%2").arg(discs).arg(perDisc));

    const QString cli = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    const QString plocate = QStandardPaths::findExecutable(QStringLiteral("plocate"));
    QString locateBuild = QStandardPaths::findExecutable(QStringLiteral("plocate-build"));
    if (locateBuild.isEmpty())
        locateBuild =
            QStandardPaths::findExecutable(QStringLiteral("plocate-build"), {QStringLiteral("/usr/sbin")});
    const QString sqlite = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (!QFileInfo(cli).isExecutable() || plocate.isEmpty() || locateBuild.isEmpty() || sqlite.isEmpty()) {
        std::fprintf(stderr, "bench_tenmillion: needs tessaro-cli beside it, plocate and sqlite3\n");
        return 1;
    }
    QDir().mkpath(folder);
    const QString catalogue = QDir(folder).filePath(QStringLiteral("archive.mdb"));
    const QString database = QDir(folder).filePath(QStringLiteral("plocate.db"));
    if (!QFileInfo::exists(catalogue)) {
        QFile::remove(database);
        if (!buildCatalogue(catalogue, discs, perDisc)) {
            std::fprintf(stderr, "bench_tenmillion: cannot build the catalogue\n");
            return 1;
        }
    }
    if (!QFileInfo::exists(database) && !buildLocateDatabase(catalogue, database, locateBuild)) {
        std::fprintf(stderr, "bench_tenmillion: cannot build plocate's database\n");
        return 1;
    }
    qint64 files = 0;
    {
        Connection connection;
        connection.connect(catalogue);
        files = scalar(connection, "select count(*) from files");
    }
    std::printf("catalogue: %lld files, %.2f GB; plocate's database %.0f MB; %d cores\n",
                static_cast<long long>(files), double(QFileInfo(catalogue).size()) / 1e9,
                double(QFileInfo(database).size()) / 1e6, QThread::idealThreadCount());
    std::fflush(stdout);

    {
        QProcess window;
        window.setProcessChannelMode(QProcess::ForwardedChannels);
        window.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--session"), catalogue, QString::number(rounds)});
        window.waitForFinished(-1);
        if (window.exitCode() != 0) {
            std::fprintf(stderr, "bench_tenmillion: the window's session failed\n");
            return 1;
        }
    }

    warm(catalogue);
    const auto tessaro = [&](QStringList command) {
        return QStringList{cli, QStringLiteral("--catalogue"), catalogue} + command;
    };
    const auto interleaved = [&](const QStringList& ours, const QStringList& theirs, const char* name,
                                 const char* target) {
        std::vector<double> a, b, ac, bc;
        // One warm-up round first.
        for (int round = -1; round < rounds; ++round) {
            const Timing::ProcessTime x = Timing::processTime(ours), y = Timing::processTime(theirs);
            if (!x.ok() || !y.ok()) {
                std::fprintf(stderr, "bench_tenmillion: a run of %s failed\n", name);
                return false;
            }
            if (round >= 0) {
                a.push_back(x.wall);
                b.push_back(y.wall);
                ac.push_back(x.cpu);
                bc.push_back(y.cpu);
            }
        }
        ratioLine(name, median(a), median(b), target);
        std::printf("  %-24s processor   %8.1f ms  reference %8.1f ms  ratio %.2f\n", "", median(ac),
                    median(bc), median(ac) / median(bc));
        return true;
    };
    std::printf("whole processes, median of %d runs each, interleaved with the reference:\n", rounds);
    const QStringList count{sqlite, catalogue, QStringLiteral("select count(*) from cd")};
    bool ok = interleaved(tessaro({QStringLiteral("upgrade-catalogue")}), count, "upgrade-catalogue",
                          "< 1000 ms; reference: sqlite3 counting the discs");
    ok = ok && interleaved(tessaro({QStringLiteral("discs")}), count, "discs", "none; reference as above");
    ok = ok && interleaved(tessaro({QStringLiteral("extensions")}), count, "extensions",
                           "none; reference as above");
    const auto search = [&](const char* pattern) {
        return tessaro({QStringLiteral("search"), QStringLiteral("--count"), QStringLiteral("--file"),
                        QString::fromLatin1(pattern)});
    };
    const auto locate = [&](const char* term) { return locateCount(plocate, database, term); };
    ok = ok && interleaved(search("*report*"), locate("report"), "search *report*", "<= 1.0 x plocate");
    ok = ok && interleaved(search("*img_123*"), locate("img_123"), "search *img_123*", "<= 1.0 x plocate");
    const std::vector<double> removed = removals(cli, catalogue, perDisc, 3);
    if (std::find_if(removed.begin(), removed.end(), [](double ms) { return ms < 0; }) != removed.end()) {
        std::fprintf(stderr, "bench_tenmillion: removing a disc failed\n");
        return 1;
    }
    std::printf("  %-24s tessaro-cli %8.1f ms  (median of %zu; target < 1000 ms)\n", "remove (one disc)",
                median(removed), removed.size());
    windowRemoval(catalogue, perDisc);
    return ok ? 0 : 1;
}
