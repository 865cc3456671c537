#pragma once

#include <QString>
#include <map>

struct archive;
class SectorFile;

// An image's logical data handed to libarchive as one stream from its first byte. Reading a
// whole image it fails where the image fails. Reading what is left of a damaged one (`salvage`)
// it goes on: the bytes past the end of a cut image, up to the length its volume records, and
// those of sectors that cannot be read come as zeros, and where they lie is kept, so that each
// file can be told how far it was really read.
class SectorStream
{
  public:
    SectorStream(const SectorFile& sectors, qint64 length, bool salvage);
    SectorStream(const SectorStream&) = delete;
    SectorStream& operator=(const SectorStream&) = delete;

    // Sets the archive's read, skip and seek callbacks to this stream.
    void attach(archive* a);

    // The first byte in [from, to) that was not read from the image, and why ("cut short" past
    // its end, the system's reason for a sector that could not be read); `to` when there is none.
    qint64 firstGap(qint64 from, qint64 to, QString* why) const;

  private:
    struct Callbacks; // libarchive's, in its own types
    friend struct Callbacks;
    qint64 read(const void** block);
    qint64 skip(qint64 request);
    qint64 seek(qint64 offset, int whence);
    void readSectors(qint64 offset, qint64 size);

    const SectorFile& sectors_;
    qint64 length_;
    bool salvage_;
    qint64 position_ = 0;
    std::map<qint64, int> bad_; // sectors that could not be read, by offset, with errno
    char buffer_[65536];
};
