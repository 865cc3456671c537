#pragma once

#include "scan/ImageReading.h"
#include "scan/ListedFile.h"

#include <QString>
#include <functional>
#include <memory>

class SectorFile;

// A UDF file system on a disc image (revisions 1.02 to 2.60: plain and extended file entries,
// metadata partitions, sparable partitions whose sparing tables move no packet) read through
// libudfread from the image's sectors. libudfread gives no times; each file's entry passes
// through the sector reader when the file is opened, and its modification time is taken from
// there.
class UdfTree
{
  public:
    // Opens the file system; raises an error naming the image when it cannot be read.
    UdfTree(const QString& image, const SectorFile& sectors);
    ~UdfTree();
    UdfTree(const UdfTree&) = delete;
    UdfTree& operator=(const UdfTree&) = delete;

    // The logical volume identifier (what systems show as the disc's label; writers may give the
    // primary volume descriptor another one).
    QString label() const;
    // The same, read from the newest logical volume descriptor of the main sequence the anchor
    // at sector 256 points to; null when there is none.
    static QString logicalVolumeId(const SectorFile& sectors);
    // Whether the volume is one of write-once media, whose files are found through a virtual
    // allocation table that neither library reads.
    static bool hasVirtualPartition(const SectorFile& sectors);
    // Whether the sparing tables of a rewritable volume record packets moved to spare ones; the
    // volume is then read wrongly by both libraries.
    static bool movesPackets(const SectorFile& sectors);

    // Appends the files depth first, each folder in the order it records its entries, the
    // members of listed archives right after their archive. Returns false when told to stop.
    bool read(ListedFiles& out, const ImageReading& how, ImageTally& tally);
    // Reads the bytes of each file `content` wants, in the same order. Returns false when told
    // to stop.
    bool readContents(const ImageReading& how, const ImageContent& content);

  private:
    struct Input;
    // Each file of the tree, opened, with its drive-relative folder and name; the entry read last
    // is the file's own while it is visited.
    bool walk(const ImageReading& how, ImageTally& tally,
              const std::function<void(const QString& path, const QString& name,
                                       struct udfread_file* opened)>& visit);

    QString image_;
    std::unique_ptr<Input> input_;
    struct udfread* udf_ = nullptr;
};
