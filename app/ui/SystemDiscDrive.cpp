#include "app/ui/SystemDiscDrive.h"

#include "maintenance/DiscRoot.h"
#include "scan/DiscImage.h"
#include "scan/UnVolumeInfo.h"

#include <QApplication>

bool SystemDiscDrive::DiskInDrive(QChar letter)
{
    return ::DiskInDrive(setting_.driveTable(), letter, [] { QApplication::beep(); });
}

QString SystemDiscDrive::GetVolumeLabel(QChar letter)
{
    return ::GetVolumeLabel(setting_.driveTable(), letter);
}

QString SystemDiscDrive::rootOf(QChar letter)
{
    return setting_.driveTable().rootOf(letter);
}

QString SystemDiscDrive::labelOfRoot(const QString& root)
{
    // Only a folder needs the machine's drives, whose labels take a while to read.
    if (DiscImage::isImage(root))
        return IDiscDrive::labelOfRoot(root);
    return DiscRoot::label(root, setting_.driveTable().drives());
}
