#pragma once

#include "maintenance/IDiscDrive.h"
#include "settings/DriveSetting.h"

// The machine's drives, as the drive table built afresh from the setting store shows them.
class SystemDiscDrive : public IDiscDrive
{
  public:
    explicit SystemDiscDrive(DriveSetting setting = DriveSetting()) : setting_(std::move(setting)) {}

    bool DiskInDrive(QChar letter) override;
    QString GetVolumeLabel(QChar letter) override;
    QString rootOf(QChar letter) override;
    QString labelOfRoot(const QString& root) override;

    const DriveSetting& setting() const { return setting_; }

  private:
    DriveSetting setting_;
};
