#pragma once

#include "scan/DriveTable.h"

#include <QString>
#include <vector>

// A folder or a disc image file read as a disc's root in place of a drive.
namespace DiscRoot
{
// The root's absolute path; raises the program error naming it, with the system's reason, when
// it cannot be read.
QString readable(const QString& root);
// The image's own label, or the label of the mounted volume whose root the folder is (one of
// `drives`); empty for any other folder. At most 49 characters.
QString label(const QString& root, const std::vector<DriveEntry>& drives);
} // namespace DiscRoot
