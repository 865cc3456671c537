#include "scan/ListedWalk.h"

#include "scan/DiscImage.h"
#include "scan/UnFileSearch.h"
#include "scan/WildcardPattern.h"

#include <QElapsedTimer>

qint64 ListedWalk::report(TFileSearcher* searcher, const ListedFiles& files, const QString& drive,
                          const QString& path, const WildcardPattern& pattern, bool recursive)
{
    qint64 count = 0;
    bool first = true;
    for (const ListedFile& file : files) {
        // As on disc, the first file is handled before any stop test.
        if (searcher && !first && searcher->Stopped)
            break;
        if (recursive ? !file.path.startsWith(path) : file.path != path)
            continue;
        if (!pattern.matchesEverything() && !pattern.matches(file.name))
            continue;
        first = false;
        ++count;
        if (!searcher)
            continue;
        searcher->FoundFiles.append(file.path + file.name);
        if (searcher->OnFile)
            searcher->OnFile(drive, file.path, file.name, file.size,
                             LocalDateTime::fromTime(time_t(file.modified)));
        if (searcher->OnPump)
            searcher->OnPump();
    }
    return count;
}

std::function<bool()> ListedWalk::going(TFileSearcher* searcher)
{
    if (!searcher)
        return {};
    return [searcher, sincePump = QElapsedTimer()]() mutable {
        if (!sincePump.isValid() || sincePump.elapsed() >= 10) {
            if (searcher->OnPump)
                searcher->OnPump();
            sincePump.start();
        }
        return !searcher->Stopped;
    };
}

WalkTally ListedWalk::image(TFileSearcher* searcher, const QString& file, ImageReading how,
                            const QString& drive, const QString& path, const QString& pattern, bool recursive)
{
    how.going = going(searcher);
    const DiscImage disc(file, how);
    if (searcher) {
        for (const UnlistedArchive& archive : disc.tally().unlisted)
            searcher->archiveNotListed(archive);
    }
    WalkTally tally;
    for (const QString& folder : disc.tally().folders)
        tally.folders += recursive ? folder.startsWith(path) : folder == path;
    tally.files = report(searcher, disc.files(), drive, path, WildcardPattern(pattern), recursive);
    return tally;
}
