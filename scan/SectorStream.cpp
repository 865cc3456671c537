#include "scan/SectorStream.h"

#include "scan/SectorFile.h"

#include <algorithm>
#include <archive.h>
#include <cerrno>
#include <cstring>

SectorStream::SectorStream(const SectorFile& sectors, qint64 length, bool salvage)
    : sectors_(sectors), length_(salvage ? std::max(length, sectors.size()) : sectors.size()),
      salvage_(salvage)
{
}

struct SectorStream::Callbacks {
    static la_ssize_t read(archive*, void* data, const void** block)
    {
        return la_ssize_t(static_cast<SectorStream*>(data)->read(block));
    }
    static la_int64_t skip(archive*, void* data, la_int64_t request)
    {
        return la_int64_t(static_cast<SectorStream*>(data)->skip(qint64(request)));
    }
    static la_int64_t seek(archive*, void* data, la_int64_t offset, int whence)
    {
        return la_int64_t(static_cast<SectorStream*>(data)->seek(qint64(offset), whence));
    }
};

void SectorStream::attach(archive* a)
{
    archive_read_set_callback_data(a, this);
    archive_read_set_read_callback(a, &Callbacks::read);
    archive_read_set_skip_callback(a, &Callbacks::skip);
    archive_read_set_seek_callback(a, &Callbacks::seek);
}

qint64 SectorStream::read(const void** block)
{
    *block = buffer_;
    const qint64 size = std::min<qint64>(qint64(sizeof buffer_), std::max<qint64>(0, length_ - position_));
    if (size == 0)
        return 0;
    const qint64 got = sectors_.read(position_, buffer_, size);
    if (got == size || (!salvage_ && got >= 0)) {
        position_ += got;
        return got;
    }
    if (got < 0 && !salvage_)
        return -1;
    // A damaged stretch is read sector by sector, so that only the sectors that fail are lost;
    // past the end of a cut image come zeros.
    if (got < 0)
        readSectors(position_, size);
    else
        std::memset(buffer_ + got, 0, size_t(size - got));
    position_ += size;
    return size;
}

void SectorStream::readSectors(qint64 offset, qint64 size)
{
    for (qint64 at = 0; at < size; at += SectorFile::kSector) {
        const qint64 take = std::min<qint64>(SectorFile::kSector, size - at);
        const qint64 got = sectors_.read(offset + at, buffer_ + at, take);
        if (got == take)
            continue;
        if (got < 0)
            bad_.emplace(offset + at, errno);
        std::memset(buffer_ + at, 0, size_t(take));
    }
}

qint64 SectorStream::skip(qint64 request)
{
    const qint64 step = std::min<qint64>(request, std::max<qint64>(0, length_ - position_));
    position_ += step;
    return step;
}

qint64 SectorStream::seek(qint64 offset, int whence)
{
    const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position_ : length_;
    if (base + offset < 0)
        return ARCHIVE_FATAL;
    position_ = base + offset;
    return position_;
}

qint64 SectorStream::firstGap(qint64 from, qint64 to, QString* why) const
{
    qint64 gap = to;
    const auto bad = bad_.upper_bound(from - SectorFile::kSector);
    if (bad != bad_.end() && bad->first < to) {
        gap = std::max(from, bad->first);
        if (why)
            *why = QString::fromLocal8Bit(std::strerror(bad->second));
    }
    if (sectors_.size() < gap && sectors_.size() < to) {
        gap = std::max(from, sectors_.size());
        if (why)
            *why = QStringLiteral("cut short");
    }
    return gap;
}
