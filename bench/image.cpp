// Catalogues a disc image of a synthetic tree and the same tree from its folder, in one run,
// and prints the ratio of the two (the counting pass and the run with its rows, as a New CD run).
//
//     bench_image [files] [folders] [rounds]
#include "bench/support/Timing.h"
#include "bench/support/TreeBuilder.h"
#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "maintenance/DiscCataloguer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

using Timing::median;
using Timing::seconds;

namespace
{
// Empty files with the planned names and dates: an image holds their data, and the walk never
// reads it, so sizes would only make the image big.
bool writeEmptyTree(const TreeBuilder& tree, const QString& root)
{
    for (const QString& folder : tree.folders())
        if (!QDir().mkpath(root + QString(folder).replace(QLatin1Char('\\'), QLatin1Char('/'))))
            return false;
    for (const TreeFile& f : tree.files()) {
        QFile file(root + QString(f.path).replace(QLatin1Char('\\'), QLatin1Char('/')) + f.name);
        if (!file.open(QIODevice::WriteOnly) ||
            !file.setFileTime(QDateTime::fromSecsSinceEpoch(f.mtime), QFileDevice::FileModificationTime))
            return false;
    }
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = args.size() > 1 ? args.at(1).toInt() : 100000;
    const int folders = args.size() > 2 ? args.at(2).toInt() : 5000;
    const int rounds = args.size() > 3 ? args.at(3).toInt() : 3;

    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("disc"));
    const QString image = dir.filePath(QStringLiteral("disc.iso"));
    const TreeBuilder tree(files, folders);
    if (!writeEmptyTree(tree, root)) {
        std::fprintf(stderr, "cannot write the tree\n");
        return 1;
    }
    QProcess mkisofs;
    mkisofs.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mkisofs.start(QStringLiteral("genisoimage"),
                  {QStringLiteral("-quiet"), QStringLiteral("-R"), QStringLiteral("-J"),
                   QStringLiteral("-joliet-long"), QStringLiteral("-o"), image, root});
    if (!mkisofs.waitForFinished(-1) || mkisofs.exitCode() != 0) {
        std::fprintf(stderr, "genisoimage failed (tools/install-deps --test installs it)\n");
        return 1;
    }
    std::printf("tree: %d files in %d folders; image of %lld bytes\n", tree.fileCount(), folders,
                QFileInfo(image).size());

    const QString catalogue = dir.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(catalogue);
    Connection connection;
    connection.connect(catalogue);
    Query work(connection);
    const auto catalogueFrom = [&](const QString& disc, qint64& rows) {
        return seconds([&] {
            DiscCataloguer run(connection, work, [&disc](QChar) { return disc; });
            run.countFiles(QStringLiteral("x:\\"));
            if (!run.catalogue(QStringLiteral("C"), QStringLiteral("x:\\"), {}))
                std::exit(1);
            rows = run.FilesAdded;
        });
    };

    std::vector<double> imageTimes, folderTimes;
    qint64 imageRows = 0, folderRows = 0;
    catalogueFrom(root, folderRows); // warms the caches
    for (int r = 0; r < rounds; ++r) {
        imageTimes.push_back(catalogueFrom(image, imageRows));
        folderTimes.push_back(catalogueFrom(root, folderRows));
    }
    const double fromImage = median(imageTimes), fromFolder = median(folderTimes);
    std::printf("rows: image %lld, folder %lld\n", imageRows, folderRows);
    std::printf("median of %d rounds:\n", rounds);
    std::printf("  from the image   %7.3f s  %8.0f files/s\n", fromImage, double(imageRows) / fromImage);
    std::printf("  from the folder  %7.3f s  %8.0f files/s\n", fromFolder, double(folderRows) / fromFolder);
    std::printf("  ratio image to folder %.2f (target <= 1.5)\n", fromImage / fromFolder);
    return imageRows == folderRows ? 0 : 1;
}
