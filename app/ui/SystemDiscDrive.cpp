#include "app/ui/SystemDiscDrive.h"

#include "maintenance/DiscRoot.h"
#include "scan/DiscImage.h"
#include "scan/UnVolumeInfo.h"

#include <QApplication>

SystemDiscDrive::SystemDiscDrive(DriveSetting setting) : setting_(std::move(setting))
{
    mounter_.OnWaiting = [](bool waiting) {
        if (waiting)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
}

bool SystemDiscDrive::DiskInDrive(QChar letter)
{
    stopped_ = false;
    return ::DiskInDrive(
        setting_.driveTable(), letter,
        [this] {
            if (!stopped_)
                QApplication::beep();
        },
        mounter_);
}

void SystemDiscDrive::stopWaiting()
{
    stopped_ = true;
    mounter_.stop();
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
