#pragma once

#include "scan/MountTable.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

enum class DriveKind { Removable, Fixed, Network, Optical, Ram };

// "removable", "fixed", "network", "optical", "ram".
QString driveKindName(DriveKind kind);

struct DriveEntry {
    QChar letter; // lower case
    DriveKind kind = DriveKind::Fixed;
    QString root;   // empty while an optical drive holds no mounted disc
    QString device; // block device, when there is one
    QString label;
    QString remoteName; // network drives: the share
    bool medium = true; // optical drives: a disc is inserted, mounted or not
};

// An optical drive as sysfs lists it, mounted disc or not.
struct OpticalDevice {
    QString name;      // "sr0"
    QString devNumber; // "11:0"
    bool medium = false;
};

// Linux has no drive letters: this maps letters to roots, built afresh from the mount table,
// sysfs and the user's explicit mappings each time the list of drives is needed.
class DriveTable
{
  public:
    struct Sources {
        std::function<std::vector<MountEntry>()> mounts;
        std::function<std::vector<OpticalDevice>()> opticalDevices; // in device order
        std::function<bool(const MountEntry&)> isRemovable;
        std::function<QString(const QString& device)> readLabel; // none: labels stay empty
        std::map<QChar, QString> mappings;                       // letter -> folder or device
    };
    // The running machine, labels included.
    static Sources systemSources(std::map<QChar, QString> mappings = {});

    explicit DriveTable(const Sources& sources);

    // In letter order.
    const std::vector<DriveEntry>& drives() const { return drives_; }
    // Either case; null when the letter names no drive.
    const DriveEntry* find(QChar letter) const;
    QString rootOf(QChar letter) const;
    // The drive of a block device (the same device file or a link to it), or of a medium
    // mounted at one of the folders; null when it has no letter.
    const DriveEntry* findMedium(const QString& device, const QStringList& mountPoints = {}) const;

    // The kind a mounted file system counts as; none for pseudo file systems and unknown kinds.
    static std::optional<DriveKind> classify(const MountEntry& mount, const Sources& sources);

  private:
    std::vector<DriveEntry> drives_;
};
