#pragma once

#include "scan/DriveTable.h"

#include <QChar>
#include <QString>
#include <map>

// The drive letter setting and the drive mappings, kept in tessaro.ini beside the executable.
// Read afresh on every call: nothing is cached.
class DriveSetting
{
  public:
    // The store; tests pass a file in a temporary folder.
    explicit DriveSetting(QString iniPath = defaultPath());
    static QString defaultPath();
    const QString& path() const { return path_; }

    // The first character of the stored text; "d", written back, when it is missing or empty.
    QChar ReadDriveSetting() const;
    void WriteDriveSetting(QChar letter) const;

    // Whether members of archives are catalogued as files; off when missing or not "true".
    bool ListArchives() const;
    void WriteListArchives(bool on) const;

    // Drives/<letter> = folder or device; entries that are not text or not one letter are ignored.
    std::map<QChar, QString> DriveMappings() const;
    // The machine's drive table with these mappings.
    DriveTable driveTable() const;

  private:
    void write(const QString& text) const;
    QString path_;
};
