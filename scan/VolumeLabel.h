#pragma once

#include <QString>

// File-system labels of block devices (or image files of them), without mounting anything.
namespace VolumeLabel
{
// udev's name for the device in the by-label folder, or the label stored on the medium.
QString read(const QString& device, const QString& byLabelFolder = QStringLiteral("/dev/disk/by-label"));
// The label stored on the medium: Joliet, else ISO 9660 primary, ext2/3/4 or FAT; empty when none.
QString fromMedium(const QString& deviceOrImage);
// The by-label link pointing at the device, its name decoded; empty when there is none.
QString fromByLabel(const QString& device, const QString& byLabelFolder);
// udev writes unsafe bytes of a label as \xHH.
QString decodeUdevName(const QString& name);
} // namespace VolumeLabel
