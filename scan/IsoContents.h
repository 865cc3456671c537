#pragma once

#include "scan/ImageReading.h"

#include <QString>

class SectorFile;

// The bytes of the files of an ISO 9660 image (Rock Ridge and Joliet names, as the image's
// listing names them), read through libarchive in the order they lie on the image: one pass
// from start to end, which is what a dying disc reads best.
namespace IsoContents
{
// The bytes the primary volume descriptor says the volume holds; 0 when it cannot be read.
qint64 volumeBytes(const SectorFile& sectors);

// Hands each wanted file's bytes to `content`, going on past damage (see ImageContent).
// Returns false when told to stop; raises the program error naming the image when its
// directories cannot be read.
bool read(const QString& image, const SectorFile& sectors, const ImageReading& how,
          const ImageContent& content);
} // namespace IsoContents
