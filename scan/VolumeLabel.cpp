#include "scan/VolumeLabel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{
class Device
{
  public:
    explicit Device(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
    }
    ~Device()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    bool read(off_t offset, unsigned char* buffer, size_t size) const
    {
        return fd_ >= 0 && ::pread(fd_, buffer, size, offset) == ssize_t(size);
    }

  private:
    int fd_;
};

QString trimmedLatin(const unsigned char* at, int size)
{
    return QString::fromLatin1(reinterpret_cast<const char*>(at), size).trimmed();
}

QString isoLabel(const Device& device)
{
    return VolumeLabel::fromIsoSectors([&device](qint64 sector, unsigned char* buffer) {
        return device.read(off_t(sector) * 2048, buffer, 2048);
    });
}

QString extLabel(const Device& device)
{
    unsigned char sb[136];
    if (!device.read(1024, sb, sizeof sb) || sb[56] != 0x53 || sb[57] != 0xEF)
        return {};
    const char* name = reinterpret_cast<const char*>(sb + 120);
    return QString::fromUtf8(name, qsizetype(strnlen(name, 16)));
}

QString fatLabel(const Device& device)
{
    unsigned char boot[512];
    if (!device.read(0, boot, sizeof boot) || boot[510] != 0x55 || boot[511] != 0xAA)
        return {};
    int at = -1;
    if (std::memcmp(boot + 82, "FAT32", 5) == 0 && boot[66] == 0x29)
        at = 71;
    else if (std::memcmp(boot + 54, "FAT", 3) == 0 && boot[38] == 0x29)
        at = 43;
    if (at < 0)
        return {};
    const QString label = trimmedLatin(boot + at, 11);
    return label == QLatin1String("NO NAME") ? QString() : label;
}
} // namespace

// Volume descriptors follow each other from sector 16 up to the set terminator.
QString
VolumeLabel::fromIsoSectors(const std::function<bool(qint64 sector, unsigned char* buffer)>& readSector)
{
    QString primary;
    unsigned char sector[2048];
    for (int i = 16; i < 16 + 64; ++i) {
        if (!readSector(i, sector) || std::memcmp(sector + 1, "CD001", 5) != 0)
            break;
        const int type = sector[0];
        if (type == 255)
            break;
        if (type == 1 && primary.isEmpty()) {
            primary = trimmedLatin(sector + 40, 32);
        } else if (type == 2 && sector[88] == '%' && sector[89] == '/' &&
                   (sector[90] == '@' || sector[90] == 'C' || sector[90] == 'E')) {
            // Joliet: the label in UCS-2, big-endian, keeping case and characters ISO 9660 forbids.
            QString joliet;
            for (int c = 0; c < 32; c += 2)
                joliet.append(QChar(char16_t((sector[40 + c] << 8) | sector[41 + c])));
            while (!joliet.isEmpty() && (joliet.back().isNull() || joliet.back().isSpace()))
                joliet.chop(1);
            if (!joliet.isEmpty())
                return joliet;
        }
    }
    return primary;
}

QString VolumeLabel::decodeUdevName(const QString& name)
{
    QByteArray bytes;
    const QByteArray in = name.toUtf8();
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in.at(i) == '\\' && i + 3 < in.size() && in.at(i + 1) == 'x') {
            bool ok = false;
            const int value = in.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                bytes.append(char(value));
                i += 3;
                continue;
            }
        }
        bytes.append(in.at(i));
    }
    return QString::fromUtf8(bytes);
}

QString VolumeLabel::fromByLabel(const QString& device, const QString& byLabelFolder)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const QDir folder(byLabelFolder);
    for (const QString& name : folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFileInfo(folder.filePath(name)).canonicalFilePath() == target)
            return decodeUdevName(name);
    return {};
}

QString VolumeLabel::fromMedium(const QString& deviceOrImage)
{
    const Device device(deviceOrImage);
    QString label = isoLabel(device);
    if (label.isEmpty())
        label = extLabel(device);
    if (label.isEmpty())
        label = fatLabel(device);
    return label;
}

QString VolumeLabel::read(const QString& device, const QString& byLabelFolder)
{
    const QString label = fromByLabel(device, byLabelFolder);
    return label.isEmpty() ? fromMedium(device) : label;
}
