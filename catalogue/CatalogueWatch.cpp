#include "catalogue/CatalogueWatch.h"

#include "catalogue/Connection.h"
#include "catalogue/Statement.h"
#include "common/TessaroError.h"

#include <QFileInfo>

CatalogueWatch::CatalogueWatch(Connection& connection, QObject* parent)
    : QObject(parent), connection_(connection)
{
    settle_.setSingleShot(true);
    settle_.setInterval(150);
    connect(&settle_, &QTimer::timeout, this, &CatalogueWatch::check);
    connect(&files_, &QFileSystemWatcher::fileChanged, &settle_, qOverload<>(&QTimer::start));
    connect(&files_, &QFileSystemWatcher::directoryChanged, &settle_, qOverload<>(&QTimer::start));
}

void CatalogueWatch::start()
{
    if (!connection_.connected())
        return;
    try {
        stamp_ = stamp();
    } catch (const TessaroError&) {
        // The first look that works counts as a change: the lists are filled again once.
    }
    watchFiles();
}

void CatalogueWatch::watchFiles()
{
    // In WAL mode a commit writes only the -wal file, which comes and goes with the last
    // connection; the folder tells when it comes back.
    const QString catalogue = connection_.path();
    QStringList paths{catalogue, catalogue + QStringLiteral("-wal"), QFileInfo(catalogue).absolutePath()};
    const QStringList watched = files_.files() + files_.directories();
    paths.removeIf([&](const QString& path) { return watched.contains(path) || !QFileInfo::exists(path); });
    if (!paths.isEmpty())
        files_.addPaths(paths);
}

qint64 CatalogueWatch::stamp()
{
    Statement version(connection_, "PRAGMA data_version");
    return version.step() ? version.integer(0) : -1;
}

void CatalogueWatch::check()
{
    if (!connection_.connected() || connection_.inTransaction())
        return;
    watchFiles();
    qint64 now = -1;
    try {
        now = stamp();
    } catch (const TessaroError&) {
        // A catalogue busy or gone just now: the next change or look tries again.
        return;
    }
    if (now == stamp_)
        return;
    stamp_ = now;
    Q_EMIT changed();
}
