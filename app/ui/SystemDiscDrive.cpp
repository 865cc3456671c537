#include "app/ui/SystemDiscDrive.h"

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
