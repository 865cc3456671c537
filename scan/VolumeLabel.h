#pragma once

#include <QString>
#include <functional>

// File-system labels of block devices (or image files of them), without mounting anything.
namespace VolumeLabel
{
// udev's name for the device in the by-label folder, or the label stored on the medium.
QString read(const QString& device, const QString& byLabelFolder = QStringLiteral("/dev/disk/by-label"));
// The label stored on the medium: Joliet, else ISO 9660 primary, ext2/3/4 or FAT; empty when none.
QString fromMedium(const QString& deviceOrImage);
// The by-label link pointing at the device, its name decoded; empty when there is none.
QString fromByLabel(const QString& device, const QString& byLabelFolder);
// The Joliet label, else the ISO 9660 primary one, from the volume descriptors that readSector
// hands out as 2048-byte sectors; empty when there is none.
QString fromIsoSectors(const std::function<bool(qint64 sector, unsigned char* buffer)>& readSector);
// udev writes unsafe bytes of a label as \xHH.
QString decodeUdevName(const QString& name);
} // namespace VolumeLabel
