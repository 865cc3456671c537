#pragma once

#include "scan/FolderWalk.h"
#include "scan/ImageReading.h"
#include "scan/ListedFile.h"

#include <QString>
#include <functional>

class TFileSearcher;
class WildcardPattern;

// Files that come as a list (a disc image's tree, an archive's members) reported through a
// searcher exactly as its folder walk reports files on disc: FoundFiles, OnFile, the event pump
// after each file and the stop test before each further one. Without a searcher it only counts.
namespace ListedWalk
{
// Reports or counts the files of the list below the drive-relative folder path (only those
// right in it when not recursive) whose names match the pattern.
qint64 report(TFileSearcher* searcher, const ListedFiles& files, const QString& drive, const QString& path,
              const WildcardPattern& pattern, bool recursive);

// A test for long readings (an image's tree, one archive): it runs the searcher's pump at its
// first call and then every few milliseconds, not on each call, which would slow the reading
// down, and answers false once the run is to stop. Empty without a searcher.
std::function<bool()> going(TFileSearcher* searcher);

// Walks or counts an image file standing for the drive's root: the files reported (or counted)
// and the image's folders at and below the path. Archives on it are listed when a lister is
// given, and those left unlisted go to the searcher's list of them. A walk runs the searcher's
// pump while the image is read too, so a Stop is seen before its files are reported.
WalkTally image(TFileSearcher* searcher, const QString& file, ImageReading how, const QString& drive,
                const QString& path, const QString& pattern, bool recursive);
} // namespace ListedWalk
