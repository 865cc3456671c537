#pragma once

#include <QChar>
#include <QString>

// The drive the new-disc dialog reads discs from: whether a disc is in it, its volume label
// and the folder that stands for its root. Behind an interface so that tests can fake a drive.
class IDiscDrive
{
  public:
    virtual ~IDiscDrive() = default;
    // False, after one beep, when no readable medium is in the drive. A disc not yet mounted is
    // mounted, which may take a while: the event loop runs meanwhile.
    virtual bool DiskInDrive(QChar letter) = 0;
    // Ends the wait of DiskInDrive for a mount (Stop), from the event loop it runs; it then
    // returns false without a beep.
    virtual void stopWaiting() {}
    virtual QString GetVolumeLabel(QChar letter) = 0;
    // Empty when the drive has no root folder.
    virtual QString rootOf(QChar letter) = 0;
    // The volume label of a folder or disc image read in place of the drive: the image's own;
    // for a folder none here, the mounted volume's where the machine's drives are known.
    virtual QString labelOfRoot(const QString& root);
};
