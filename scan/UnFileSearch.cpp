#include "scan/UnFileSearch.h"

#include "common/TessaroError.h"
#include "scan/DiscImage.h"
#include "scan/DriveTable.h"
#include "scan/FileLimit.h"
#include "scan/ListedWalk.h"

#include <QElapsedTimer>
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
    start.root = root;
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
    NotListed = 0;
    Unlisted.clear();
    if (OnStart)
        OnStart(folder, pattern, recursive);
    const Start start = resolve(folder);
    LastRoot = start.root;
    // One look at the zone per walk; each date then converts with the offset of its own moment.
    tzset();
    LastRun = {};
    const ArchiveLister archives(Limits);
    const ArchiveLister* lister = ListArchives ? &archives : nullptr;
    if (DiscImage::isImage(start.root))
        LastRun = ListedWalk::image(this, start.root, {lister, DotFolders, {}, CutImages}, start.drive,
                                    start.path, pattern, recursive);
    else
        LastRun = FolderWalk(this, pattern, {recursive, DotFolders}, start.drive, start.folder, lister)
                      .run(start.path);
    if (OnEnd)
        OnEnd(Stopped);
}

qint64 TFileSearcher::CountFiles(const QString& folder, const QString& pattern, bool recursive) const
{
    const WalkTally tally = Count(folder, pattern, recursive);
    return tally.files + tally.members;
}

WalkTally TFileSearcher::Count(const QString& folder, const QString& pattern, bool recursive) const
{
    const Start start = resolve(folder);
    const ArchiveLister archives(Limits);
    const ArchiveLister* lister = ListArchives ? &archives : nullptr;
    // The caller's pump runs every few milliseconds, not for each entry, which would slow the
    // count down; a Stop it handles ends the count.
    QElapsedTimer sincePump;
    const auto going = [this, &sincePump] {
        if (OnPump && (!sincePump.isValid() || sincePump.elapsed() >= 10)) {
            OnPump();
            sincePump.start();
        }
        return !Stopped;
    };
    if (DiscImage::isImage(start.root)) {
        return ListedWalk::image(nullptr, start.root, {lister, DotFolders, going}, start.drive, start.path,
                                 pattern, recursive);
    }
    FolderWalk walk(nullptr, pattern, {recursive, DotFolders}, start.drive, start.folder, lister);
    walk.Going = going;
    if (OnCounting)
        walk.OnFolderRead = [this](const WalkTally& tally) { OnCounting(tally.files + tally.members); };
    return walk.run(start.path);
}
