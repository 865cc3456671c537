#include "bench/support/TreeBuilder.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <cmath>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
struct Kind {
    const char* extension; // empty: no extension
    int weight;
    double medianBytes;
    const char* const* stems;
};

const char* const photoStems[] = {"IMG_%1", "DSC%1", "P%1", "Scan %1", nullptr};
const char* const musicStems[] = {"%1 - Track", "Track %1", "%1 - Intro", "%1 - Live", nullptr};
const char* const docStems[] = {"report_%1", "Letter %1", "invoice-%1", "notes %1", "Minutes %1", nullptr};
const char* const codeStems[] = {"module%1", "util_%1", "main", "parser%1", "test_%1", nullptr};
const char* const miscStems[] = {"setup", "readme", "data%1", "backup_%1", "install", "file%1", nullptr};

const Kind kinds[] = {
    {"jpg", 24, 1.5e6, photoStems}, {"JPG", 6, 2.5e6, photoStems}, {"png", 4, 3e5, photoStems},
    {"gif", 2, 4e4, photoStems},    {"mp3", 14, 5e6, musicStems},  {"wav", 1, 4e7, musicStems},
    {"txt", 6, 8e3, docStems},      {"pdf", 5, 4e5, docStems},     {"doc", 4, 1e5, docStems},
    {"xls", 2, 6e4, docStems},      {"htm", 3, 2e4, docStems},     {"c", 3, 1.5e4, codeStems},
    {"h", 3, 4e3, codeStems},       {"cpp", 3, 2e4, codeStems},    {"exe", 3, 1e6, miscStems},
    {"dll", 4, 5e5, miscStems},     {"zip", 2, 5e6, miscStems},    {"ini", 2, 1e3, miscStems},
    {"log", 1, 2e4, miscStems},     {"avi", 1, 3e8, miscStems},    {"iso", 1, 7e8, miscStems},
    {"", 3, 2e3, miscStems},        {"tar.gz", 1, 3e6, codeStems},
};

const char* const folderNames[] = {
    "Photos", "Music",   "Documents", "Software", "Backup", "Video",   "Projects", "Drivers", "eBooks",
    "2003",   "2004",    "2005",      "2006",     "2007",   "2008",    "src",      "include", "lib",
    "bin",    "docs",    "images",    "data",     "Disc 1", "CD2",     "Holiday",  "Family",  "Work",
    "Old",    "Archive", "Setup",     "Misc",     "Scans",  "Letters", "Album",    "Live",    "Demos"};
} // namespace

TreeBuilder::TreeBuilder(int files, int folders, quint32 seed)
{
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return int(random() % quint32(n)); };

    // A random recursive tree: each folder hangs below one made before it, so parents come first.
    std::vector<QString> paths{QStringLiteral("\\")};
    std::vector<int> depth{0};
    std::vector<QSet<QString>> names(1);
    const int folderNameCount = int(std::size(folderNames));
    for (int i = 0; i < folders; ++i) {
        int parent = pick(int(paths.size()));
        while (depth[size_t(parent)] >= 8)
            parent = pick(int(paths.size()));
        QString name = QString::fromLatin1(folderNames[pick(folderNameCount)]);
        if (names[size_t(parent)].contains(name))
            name += QStringLiteral(" %1").arg(i);
        names[size_t(parent)].insert(name);
        paths.push_back(paths[size_t(parent)] + name + QLatin1Char('\\'));
        depth.push_back(depth[size_t(parent)] + 1);
        names.emplace_back();
        folders_.append(paths.back());
    }

    int totalWeight = 0;
    for (const Kind& k : kinds)
        totalWeight += k.weight;
    std::lognormal_distribution<double> spread(0.0, 1.0);
    const qint64 from = 883612800; // 1998-01-01
    const qint64 to = 1356998400;  // 2013-01-01
    files_.reserve(size_t(files));
    for (int i = 0; i < files; ++i) {
        int w = pick(totalWeight);
        const Kind* kind = kinds;
        while (w >= kind->weight) {
            w -= kind->weight;
            ++kind;
        }
        int stems = 0;
        while (kind->stems[stems])
            ++stems;
        QString name = QString::fromLatin1(kind->stems[pick(stems)]);
        const int number = pick(10000);
        if (name.contains(QLatin1String("%1")))
            name = name.arg(number, 4, 10, QLatin1Char('0'));
        if (*kind->extension)
            name += QLatin1Char('.') + QString::fromLatin1(kind->extension);
        const int folder = pick(int(paths.size()));
        if (names[size_t(folder)].contains(name))
            name = QStringLiteral("%1 (%2)").arg(name, QString::number(i));
        names[size_t(folder)].insert(name);
        const qint64 size = qint64(std::min(kind->medianBytes * spread(random), 4.4e9));
        const qint64 mtime = from + qint64(random() % quint32(to - from));
        files_.push_back({paths[size_t(folder)], name, size, mtime});
    }
}

bool TreeBuilder::writeTo(const QString& root) const
{
    const QString base = QDir(root).absolutePath();
    const auto real = [&](const QString& path) {
        QString p = path;
        p.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return QFile::encodeName(base + p);
    };
    if (!QDir().mkpath(base))
        return false;
    for (const QString& folder : folders_)
        if (::mkdir(real(folder).constData(), 0755) != 0 && errno != EEXIST)
            return false;
    for (const File& f : files_) {
        const QByteArray path = real(f.path) + QFile::encodeName(f.name);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const bool sized = ::ftruncate(fd, off_t(f.size)) == 0;
        const timespec times[2] = {{time_t(f.mtime), 0}, {time_t(f.mtime), 0}};
        const bool dated = ::futimens(fd, times) == 0;
        ::close(fd);
        if (!sized || !dated)
            return false;
    }
    return true;
}
