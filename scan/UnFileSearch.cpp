#include "scan/UnFileSearch.h"

#include "common/TessaroError.h"
#include "scan/DriveTable.h"
#include "scan/FileLimit.h"

#include <QFile>
#include <ctime>

TFileSearcher::TFileSearcher(DriveResolver resolver) : resolver_(std::move(resolver))
{
    raiseOpenFileLimit();
}

void TFileSearcher::mapDrive(QChar letter, const QString& folder)
{
    mapped_[letter.toLower()] = folder;
}

TFileSearcher::Start TFileSearcher::resolve(const QString& folder) const
{
    if (folder.size() < 2 || folder.at(1) != QLatin1Char(':') || !folder.at(0).isLetter())
        throw TessaroError(QStringLiteral("Not a drive folder: %1").arg(folder));
    Start start;
    start.drive = folder.left(2);
    start.path = folder.mid(2);
    if (!start.path.startsWith(QLatin1Char('\\')))
        start.path.prepend(QLatin1Char('\\'));
    if (!start.path.endsWith(QLatin1Char('\\')))
        start.path.append(QLatin1Char('\\'));

    const QChar letter = folder.at(0).toLower();
    QString root;
    if (const auto it = mapped_.find(letter); it != mapped_.end())
        root = it->second;
    else if (resolver_)
        root = resolver_(letter);
    else {
        DriveTable::Sources system = DriveTable::systemSources();
        system.readLabel = nullptr;
        root = DriveTable(system).rootOf(letter);
    }
    if (root.isEmpty())
        return start;
    QString relative = start.path;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (root.endsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    start.folder = QFile::encodeName(root + relative);
    return start;
}

void TFileSearcher::Execute(const QString& folder, const QString& pattern, bool recursive)
{
    FoundFiles.clear();
    Stopped = false;
    if (OnStart)
        OnStart(folder, pattern, recursive);
    const Start start = resolve(folder);
    // One look at the zone per walk; each date then converts with the offset of its own moment.
    tzset();
    LastRun = {};
    LastRun = FolderWalk(this, pattern, {recursive, DotFolders}, start.drive, start.folder).run(start.path);
    if (OnEnd)
        OnEnd(Stopped);
}

qint64 TFileSearcher::CountFiles(const QString& folder, const QString& pattern, bool recursive) const
{
    return Count(folder, pattern, recursive).files;
}

WalkTally TFileSearcher::Count(const QString& folder, const QString& pattern, bool recursive) const
{
    const Start start = resolve(folder);
    return FolderWalk(nullptr, pattern, {recursive, DotFolders}, start.drive, start.folder).run(start.path);
}
