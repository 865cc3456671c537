#pragma once

#include <QString>

// The 2048-byte logical sectors of a disc image, wherever they sit in the file: a plain image
// holds them back to back, a raw Mode 1 track (2352 bytes a sector) after each sector's
// 16-byte header.
class SectorFile
{
  public:
    static constexpr qint64 kSector = 2048;

    SectorFile(const QString& path, qint64 sectorSize, qint64 dataOffset);
    ~SectorFile();
    SectorFile(const SectorFile&) = delete;
    SectorFile& operator=(const SectorFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // Bytes of logical data the image holds.
    qint64 size() const { return size_; }

    // Reads up to size bytes of logical data at offset; short only at the end of the image.
    qint64 read(qint64 offset, char* buffer, qint64 size) const;
    bool readSector(qint64 sector, unsigned char* buffer) const;

  private:
    int fd_;
    qint64 sectorSize_;
    qint64 dataOffset_;
    qint64 size_ = 0;
};
