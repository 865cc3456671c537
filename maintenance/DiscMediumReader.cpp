#include "maintenance/DiscMediumReader.h"

#include "scan/MountTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/statvfs.h>

namespace
{
QString deviceOf(const QString& mountPoint)
{
    const QString clean = QDir::cleanPath(mountPoint);
    QString device;
    // The last mount on a folder is the one that shows there.
    for (const MountEntry& mount : MountTable::readSystem()) {
        if (QDir::cleanPath(mount.mountPoint) == clean && mount.root == QLatin1String("/"))
            device = mount.source;
    }
    return device;
}
} // namespace

namespace DiscMediumReader
{
DiscMedium read(const QString& root)
{
    return read(root, QStringLiteral("/dev/disk/by-uuid"));
}

DiscMedium read(const QString& root, const QString& byUuidFolder)
{
    DiscMedium medium;
    if (root.isEmpty())
        return medium;
    const QFileInfo info(root);
    // An image file, or a folder that is no mount point, is where the disc came from; a device
    // is a medium, which tells nothing here until it is mounted.
    if (!info.isDir()) {
        if (info.isFile())
            medium.source = info.absoluteFilePath();
        return medium;
    }
    const QString device = deviceOf(root);
    if (device.isEmpty()) {
        medium.source = QDir::cleanPath(info.absoluteFilePath());
        return medium;
    }
    struct statvfs fs {
    };
    if (::statvfs(QFile::encodeName(root).constData(), &fs) == 0) {
        medium.totalSpace = qint64(fs.f_blocks) * qint64(fs.f_frsize);
        medium.freeSpace = qint64(fs.f_bavail) * qint64(fs.f_frsize);
    }
    if (device.startsWith(QLatin1String("/dev/"))) {
        const QString real = QFileInfo(device).canonicalFilePath();
        const QDir ids(byUuidFolder);
        for (const QFileInfo& link : ids.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            if (!real.isEmpty() && link.canonicalFilePath() == real) {
                medium.fileSystemId = link.fileName();
                break;
            }
        }
    }
    return medium;
}
} // namespace DiscMediumReader
