#pragma once

#include "scan/DriveTable.h"

#include <QChar>
#include <QString>
#include <map>
#include <vector>

class DriveSetting;

// Maps a drive letter to a folder or a disc image in the settings, as a line written by hand
// under [Software] would (Quillomat\Tessaro\Drives\i=/home/me/holiday.iso).
class DriveMapping
{
  public:
    // The first letter from d to z that neither a listed drive nor a mapping uses; null when
    // every one is taken.
    static QChar nextFreeLetter(const std::vector<DriveEntry>& listed,
                                const std::map<QChar, QString>& mappings);

    // The letter mapped to `root`: the one it already has, else the next free one, written to
    // the settings. `listed` are the drives as the user sees them now, so that no drive moves.
    static QChar map(const DriveSetting& setting, const QString& root, const std::vector<DriveEntry>& listed);
};
