#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// One line of the kernel's mount table.
struct MountEntry {
    QString devNumber; // "major:minor", empty when the table does not say
    QString root;      // the folder of the file system that is mounted ("/" for a whole volume)
    QString mountPoint;
    QString fsType;
    QString source; // the device, or the remote name of a network share
};

namespace MountTable
{
// Parses /proc/self/mountinfo or, told apart by its shape, /proc/mounts.
std::vector<MountEntry> parse(const QByteArray& text);
// The running system's table, without mounts of single files (bind-mounted configuration files).
std::vector<MountEntry> readSystem();
} // namespace MountTable
