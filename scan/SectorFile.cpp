#include "scan/SectorFile.h"

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Opened without waiting: a FIFO in the image's place (or named by a cue sheet) would wait for a
// writer for ever. Anything but a regular file is no image and stays closed.
SectorFile::SectorFile(const QString& path, qint64 sectorSize, qint64 dataOffset)
    : fd_(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)),
      sectorSize_(sectorSize), dataOffset_(dataOffset)
{
    struct stat st;
    if (fd_ >= 0 && (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ >= 0)
        size_ = qint64(st.st_size) / sectorSize_ * kSector;
}

SectorFile::~SectorFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

qint64 SectorFile::read(qint64 offset, char* buffer, qint64 size) const
{
    if (sectorSize_ == kSector) {
        const ssize_t got = ::pread(fd_, buffer, size_t(size), off_t(offset));
        return got < 0 ? -1 : qint64(got);
    }
    qint64 done = 0;
    while (done < size) {
        const qint64 sector = (offset + done) / kSector;
        const qint64 within = (offset + done) % kSector;
        const qint64 take = std::min(size - done, kSector - within);
        const ssize_t got =
            ::pread(fd_, buffer + done, size_t(take), off_t(sector * sectorSize_ + dataOffset_ + within));
        if (got < 0)
            return -1;
        done += got;
        if (got < take)
            break;
    }
    return done;
}

bool SectorFile::readSector(qint64 sector, unsigned char* buffer) const
{
    return read(sector * kSector, reinterpret_cast<char*>(buffer), kSector) == kSector;
}
