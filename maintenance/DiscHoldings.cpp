#include "maintenance/DiscHoldings.h"

#include "scan/ArchiveLister.h"

DiscHoldings DiscHoldings::of(const std::set<QString>& folders, const std::vector<QString>& files)
{
    DiscHoldings holdings;
    for (const QString& folder : folders)
        holdings.dotFolders = holdings.dotFolders || folder.contains(QLatin1String("\\."));
    for (const QString& file : files) {
        if (!ArchiveLister::isArchiveName(file.mid(file.lastIndexOf(QLatin1Char('\\')) + 1)))
            continue;
        // An archive listed is a folder of its own name holding its members.
        const QString inside = file + QLatin1Char('\\');
        const auto next = folders.lower_bound(inside);
        if (next != folders.end() && next->startsWith(inside)) {
            holdings.archiveMembers = true;
            break;
        }
    }
    return holdings;
}
