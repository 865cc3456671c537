#include "maintenance/DiscRoot.h"

#include "common/TessaroError.h"
#include "scan/DiscImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{
constexpr int kLabelLength = 49;
} // namespace

QString DiscRoot::readable(const QString& root)
{
    const QFileInfo info(root);
    if (DiscImage::isImage(root)) {
        if (!info.isReadable())
            throw TessaroError(QStringLiteral("Cannot read the disc image %1: Permission denied").arg(root));
        return info.absoluteFilePath();
    }
    // The folder is there or it is not: the system's own reason says which.
    const int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw TessaroError(QStringLiteral("Cannot read the folder %1: %2")
                               .arg(root, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);
    return info.absoluteFilePath();
}

QString DiscRoot::label(const QString& root, const std::vector<DriveEntry>& drives)
{
    if (DiscImage::isImage(root))
        return DiscImage::readLabel(root).left(kLabelLength);
    for (const DriveEntry& entry : drives) {
        if (!entry.root.isEmpty() && QDir(entry.root) == QDir(root))
            return entry.label.left(kLabelLength);
    }
    return {};
}
