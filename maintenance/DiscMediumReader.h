#pragma once

#include "catalogue/DiscRecord.h"

#include <QString>

// What a drive says about the medium under a root folder: the file system's size and free
// space, and its UUID or serial number as udev lists it under /dev/disk/by-uuid. Only a
// root that is a mount point of its own is a medium; a plain folder or an image file gives
// none of these (its numbers would be those of the disk it lies on), only its path as the source.
namespace DiscMediumReader
{
DiscMedium read(const QString& root);
// The same with the folder that /dev/disk/by-uuid stands for handed in (tests).
DiscMedium read(const QString& root, const QString& byUuidFolder);
} // namespace DiscMediumReader
