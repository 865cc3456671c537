#include "scan/UnVolumeInfo.h"

#include "scan/DiscImage.h"

#include <QFile>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace
{
bool readableMedium(const QString& root)
{
    if (root.isEmpty())
        return false;
    // An image file is a disc that is always in its drive; reading it tells whether it is sound.
    if (DiscImage::isImage(root))
        return ::access(QFile::encodeName(root).constData(), R_OK) == 0;
    const QByteArray path = QFile::encodeName(root);
    struct statvfs vfs;
    if (::statvfs(path.constData(), &vfs) != 0)
        return false;
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}
} // namespace

bool DiskInDrive(const DriveTable& drives, QChar letter, const std::function<void()>& beep,
                 IDiscMounter& mounter)
{
    const DriveEntry* drive = drives.find(letter);
    QString root = drive ? drive->root : QString();
    if (drive && root.isEmpty() && drive->kind == DriveKind::Optical && drive->medium &&
        !drive->device.isEmpty())
        root = mounter.mount(drive->device);
    if (readableMedium(root))
        return true;
    if (beep)
        beep();
    return false;
}

QString GetVolumeLabel(const DriveTable& drives, QChar letter)
{
    const DriveEntry* drive = drives.find(letter);
    return drive ? drive->label.left(49) : QString();
}
