#pragma once

#include "maintenance/IDiscDrive.h"
#include "scan/DiscMounter.h"
#include "settings/DriveSetting.h"

// The machine's drives, as the drive table built afresh from the setting store shows them.
class SystemDiscDrive : public IDiscDrive
{
  public:
    explicit SystemDiscDrive(DriveSetting setting = DriveSetting());

    // Mounts through UDisks2 without blocking the window, with the wait cursor.
    bool DiskInDrive(QChar letter) override;
    void stopWaiting() override;
    QString GetVolumeLabel(QChar letter) override;
    QString rootOf(QChar letter) override;
    QString labelOfRoot(const QString& root) override;

    const DriveSetting& setting() const { return setting_; }

  private:
    DriveSetting setting_;
    UDisksMounter mounter_;
    bool stopped_ = false;
};
