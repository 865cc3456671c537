#pragma once

#include "scan/DiscMounter.h"
#include "scan/DriveTable.h"

#include <QChar>
#include <QString>
#include <functional>

// True when the drive's root is a mounted, readable medium whose size can be read. An optical
// drive holding a disc that nobody mounted yet is mounted first. Otherwise beeps once (the
// windows pass QApplication::beep, the command line the terminal bell) and returns false.
bool DiskInDrive(const DriveTable& drives, QChar letter, const std::function<void()>& beep,
                 IDiscMounter& mounter = systemDiscMounter());

// The file system's label of the drive, at most 49 characters; empty when it has none or it
// cannot be read.
QString GetVolumeLabel(const DriveTable& drives, QChar letter);
