#include "scan/UdfTree.h"

#include "common/TessaroError.h"
#include "scan/ArchiveLister.h"
#include "scan/FileNameText.h"
#include "scan/SectorFile.h"

#include <QDateTime>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <udfread/blockinput.h>
#include <udfread/udfread.h>
#include <vector>

namespace
{
constexpr int kFileEntry = 261;
constexpr int kExtendedFileEntry = 266;
constexpr int kLogicalVolume = 6;

[[noreturn]] void fail(const QString& image, const QString& reason)
{
    throw TessaroError(QStringLiteral("Cannot read the disc image %1: %2").arg(image, reason));
}

unsigned le16(const unsigned char* at)
{
    return unsigned(at[0]) | unsigned(at[1]) << 8;
}

// A descriptor tag: its identifier, when the tag's checksum holds.
int tagOf(const unsigned char* block)
{
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i)
        if (i != 4)
            sum += block[i];
    return (sum & 0xFF) == block[4] ? int(le16(block)) : -1;
}

// A UDF timestamp (ECMA-167 1/7.3) in seconds since the epoch, UTC; 0 when it holds no date.
qint64 udfTime(const unsigned char* stamp)
{
    const unsigned typeAndZone = le16(stamp);
    int offset = int(typeAndZone & 0x0FFF);
    if (offset & 0x0800)
        offset -= 0x1000;
    // Only type 1 is local time with an offset; -2047 says the offset is unknown.
    if (typeAndZone >> 12 != 1 || offset == -2047)
        offset = 0;
    const QDate date(qint16(le16(stamp + 2)), stamp[4], stamp[5]);
    const QTime time(stamp[6], stamp[7], stamp[8]);
    if (!date.isValid() || !time.isValid())
        return 0;
    return QDateTime(date, time, Qt::UTC).toSecsSinceEpoch() - qint64(offset) * 60;
}

quint32 le32(const unsigned char* at)
{
    return quint32(le16(at)) | quint32(le16(at + 2)) << 16;
}

// A dstring (ECMA-167 1/7.2.12): its last byte is the length used, its first says 8- or 16-bit.
QString dstring(const unsigned char* field, int size)
{
    const int used = std::min<int>(field[size - 1], size - 1);
    if (used < 1)
        return {};
    QString text;
    if (field[0] == 8) {
        for (int i = 1; i < used; ++i)
            text.append(QChar(field[i]));
    } else if (field[0] == 16) {
        for (int i = 1; i + 1 < used; i += 2)
            text.append(QChar(char16_t(field[i] << 8 | field[i + 1])));
    }
    return text;
}

} // namespace

namespace
{
// The newest logical volume descriptor of the main sequence the anchor at sector 256 points to.
bool newestLogicalVolume(const SectorFile& sectors, unsigned char* lvd)
{
    constexpr int kAnchor = 2, kTerminator = 8;
    unsigned char sector[SectorFile::kSector];
    if (!sectors.readSector(256, sector) || tagOf(sector) != kAnchor)
        return false;
    const qint64 length = le32(sector + 16) / SectorFile::kSector;
    const qint64 location = le32(sector + 20);
    qint64 newest = -1;
    for (qint64 i = 0; i < length && i < 256 && sectors.readSector(location + i, sector); ++i) {
        const int tag = tagOf(sector);
        if (tag == kTerminator)
            break;
        if (tag == kLogicalVolume && qint64(le32(sector + 16)) > newest) {
            newest = le32(sector + 16);
            std::memcpy(lvd, sector, SectorFile::kSector);
        }
    }
    return newest >= 0;
}
} // namespace

QString UdfTree::logicalVolumeId(const SectorFile& sectors)
{
    unsigned char lvd[SectorFile::kSector];
    if (!newestLogicalVolume(sectors, lvd))
        return {};
    const QString id = dstring(lvd + 84, 128);
    return id.isNull() ? QLatin1String("") : id;
}

namespace
{
// The type 2 partition map of the newest logical volume descriptor whose identifier starts with
// `id`, copied into `map`; false when there is none.
bool typeTwoMap(const SectorFile& sectors, const char* id, unsigned char* map)
{
    unsigned char lvd[SectorFile::kSector];
    if (!newestLogicalVolume(sectors, lvd))
        return false;
    const unsigned char* at = lvd + 440;
    const unsigned char* end = at + std::min<quint32>(le32(lvd + 264), SectorFile::kSector - 440);
    for (; end - at >= 2 && at[1] >= 2 && at[1] <= end - at; at += at[1])
        if (at[0] == 2 && at[1] == 64 && std::memcmp(at + 5, id, std::strlen(id)) == 0) {
            std::memcpy(map, at, 64);
            return true;
        }
    return false;
}
} // namespace

bool UdfTree::hasVirtualPartition(const SectorFile& sectors)
{
    unsigned char map[64];
    return typeTwoMap(sectors, "*UDF Virtual Partition", map);
}

bool UdfTree::movesPackets(const SectorFile& sectors)
{
    unsigned char map[64];
    if (!typeTwoMap(sectors, "*UDF Sparable Partition", map))
        return false;
    // Each sparing table lists packets and their spares; an original location below 0xFFFFFFF0
    // is a packet that was moved.
    for (int i = 0; i < std::min<int>(map[42], 4); ++i) {
        unsigned char table[SectorFile::kSector];
        if (!sectors.readSector(le32(map + 48 + 4 * i), table) ||
            std::memcmp(table + 17, "*UDF Sparing Table", 18) != 0)
            continue;
        const int entries = std::min<int>(le16(table + 48), (SectorFile::kSector - 56) / 8);
        for (int e = 0; e < entries; ++e)
            if (le32(table + 56 + 8 * e) < 0xFFFFFFF0u)
                return true;
    }
    return false;
}

namespace
{
QString udfName(const char* mutf8)
{
    return mutf8 ? fileNameText(QByteArray(mutf8)) : QString();
}

struct DirCloser {
    void operator()(UDFDIR* dir) const { udfread_closedir(dir); }
};
using DirHandle = std::unique_ptr<UDFDIR, DirCloser>;

struct FileCloser {
    void operator()(UDFFILE* file) const { udfread_file_close(file); }
};
using FileHandle = std::unique_ptr<UDFFILE, FileCloser>;
} // namespace

// libudfread's block input over the image's sectors; it keeps the last file entry read.
struct UdfTree::Input {
    udfread_block_input base; // first, so the pointer libudfread hands back is this
    const SectorFile* sectors;
    unsigned char entry[SectorFile::kSector];
    bool haveEntry = false;
    // The identifiers of the folder read last, as libudfread reads them: inside its entry, or in
    // the blocks read right after it.
    std::vector<unsigned char> folder;
    quint64 folderLength = 0;

    void noteEntry(const unsigned char* block, int tag)
    {
        std::memcpy(entry, block, SectorFile::kSector);
        haveEntry = true;
        constexpr int kFolder = 4, kInline = 3;
        if (block[27] != kFolder)
            return;
        const int adAt = (tag == kExtendedFileEntry ? 216 : 176);
        const quint32 attributes = le32(block + adAt - 8), ads = le32(block + adAt - 4);
        folder.clear();
        folderLength = quint32(le32(block + 56)) | quint64(le32(block + 60)) << 32;
        if ((le16(block + 34) & 7) == kInline) {
            if (quint64(adAt) + attributes + ads <= SectorFile::kSector)
                folder.assign(block + adAt + attributes, block + adAt + attributes + ads);
            folderLength = folder.size();
        }
    }

    // The file characteristics of each identifier but the parent's, in the order the folder
    // records them; empty when they cannot be told.
    std::vector<unsigned char> characteristics() const
    {
        constexpr int kIdentifier = 257;
        std::vector<unsigned char> kinds;
        const std::size_t end = std::min<std::size_t>(folder.size(), folderLength);
        for (std::size_t at = 0; at + 38 <= end;) {
            const unsigned char* fid = folder.data() + at;
            if (tagOf(fid) != kIdentifier)
                return {};
            constexpr unsigned char kParent = 0x08; // not listed by libudfread
            if (!(fid[18] & kParent))
                kinds.push_back(fid[18]);
            at += (38 + std::size_t(fid[19]) + le16(fid + 36) + 3) & ~std::size_t(3);
        }
        return kinds;
    }

    // A sparable partition (rewritable media) is its physical partition with sparing tables for
    // packets moved away from bad sectors. libudfread reads only physical and metadata
    // partitions, so a sparable map is shown to it as the physical map it stands on, which holds
    // while no packet was moved (checked before the image is opened).
    static void plainSparableMaps(unsigned char* lvd)
    {
        constexpr int kMaps = 440;
        const quint32 tableLength = std::min<quint32>(le32(lvd + 264), SectorFile::kSector - kMaps);
        unsigned char* map = lvd + kMaps;
        unsigned char* end = map + tableLength;
        while (end - map >= 2 && map[1] >= 2 && map[1] <= end - map) {
            if (map[0] != 2 || map[1] != 64 || std::memcmp(map + 5, "*UDF Sparable Partition", 23) != 0) {
                map += map[1];
                continue;
            }
            // Type 1: its length, then the volume sequence and partition numbers.
            const unsigned char plain[6] = {1, 6, map[36], map[37], map[38], map[39]};
            std::memcpy(map, plain, sizeof plain);
            std::memmove(map + 6, map + 64, std::size_t(end - (map + 64)));
            end -= 58;
            std::memset(end, 0, 58);
            map += 6;
        }
        const quint32 shorter = quint32(end - (lvd + kMaps));
        for (int i = 0; i < 4; ++i)
            lvd[264 + i] = (unsigned char)(shorter >> (8 * i));
    }

    // Why the last read that fell short did: errno, or 0 past the end of a cut image.
    int failure = 0;

    static int read(udfread_block_input* input, uint32_t lba, void* buffer, uint32_t blocks, int)
    {
        auto* self = reinterpret_cast<Input*>(input);
        const qint64 got = self->sectors->read(qint64(lba) * SectorFile::kSector, static_cast<char*>(buffer),
                                               qint64(blocks) * SectorFile::kSector);
        if (got < qint64(blocks) * SectorFile::kSector)
            self->failure = got < 0 ? errno : 0;
        if (got < 0)
            return -1;
        const int whole = int(got / SectorFile::kSector);
        for (int i = 0; i < whole; ++i) {
            auto* block = static_cast<unsigned char*>(buffer) + qint64(i) * SectorFile::kSector;
            const int tag = tagOf(block);
            if (tag == kLogicalVolume)
                plainSparableMaps(block);
            if (tag == kFileEntry || tag == kExtendedFileEntry)
                self->noteEntry(block, tag);
            else if (self->folder.size() < self->folderLength)
                self->folder.insert(self->folder.end(), block, block + SectorFile::kSector);
        }
        return whole;
    }

    static uint32_t size(udfread_block_input* input)
    {
        return uint32_t(reinterpret_cast<Input*>(input)->sectors->size() / SectorFile::kSector);
    }

    // The modification time of the entry read last: a file entry records it at byte 84, an
    // extended one (with its object size and creation time) at byte 92.
    qint64 modified() const
    {
        if (!haveEntry)
            return 0;
        return udfTime(entry + (tagOf(entry) == kExtendedFileEntry ? 92 : 84));
    }
};

namespace
{
// libudfread looks for the file set descriptor block by block through the extent the logical
// volume records, logging each miss, and never asks the image's size or whether the extent's
// partition exists: a hostile four-gigabyte extent held it for tens of seconds, out of reach
// of Stop. The extent must name a partition map and fit in the image.
bool fileSetExtentFits(const SectorFile& sectors)
{
    unsigned char lvd[SectorFile::kSector];
    if (!newestLogicalVolume(sectors, lvd))
        return true;
    const quint32 length = le32(lvd + 248);
    const unsigned partition = le16(lvd + 256);
    return partition < le32(lvd + 268) &&
           length / SectorFile::kSector <= sectors.size() / SectorFile::kSector;
}
} // namespace

UdfTree::UdfTree(const QString& image, const SectorFile& sectors) : image_(image), input_(new Input)
{
    if (!fileSetExtentFits(sectors))
        fail(image, QStringLiteral("the UDF file system cannot be read"));
    input_->base = {nullptr, &Input::read, &Input::size};
    input_->sectors = &sectors;
    udf_ = udfread_init();
    if (udf_ && udfread_open_input(udf_, &input_->base) >= 0)
        return;
    // A constructor that throws runs no destructor.
    if (udf_)
        udfread_close(udf_);
    fail(image, QStringLiteral("the UDF file system cannot be read"));
}

UdfTree::~UdfTree()
{
    if (udf_)
        udfread_close(udf_);
}

QString UdfTree::label() const
{
    const QString logical = logicalVolumeId(*input_->sectors);
    return (logical.isNull() ? QString::fromUtf8(udfread_get_volume_id(udf_)) : logical).trimmed();
}

bool UdfTree::read(ListedFiles& out, const ImageReading& how, ImageTally& tally)
{
    return walk(how, tally, [&](const QString& path, const QString& name, UDFFILE* opened) {
        ListedFile file;
        file.path = path;
        file.name = name;
        file.size = qint64(udfread_file_size(opened));
        file.modified = input_->modified();
        const QString inside = file.path + name + QLatin1Char('\\');
        out.push_back(std::move(file));
        if (how.archives && ArchiveLister::isArchiveName(name)) {
            const ArchiveLister::Reader reader = [opened](char* buffer, qint64 size) -> qint64 {
                const ssize_t got = udfread_file_read(opened, buffer, size_t(size));
                return got < 0 ? -1 : qint64(got);
            };
            if (QString why; !how.archives->list(reader, inside, out, &why, how.going))
                tally.unlisted.push_back({inside.chopped(1), why});
        }
    });
}

bool UdfTree::readContents(const ImageReading& how, const ImageContent& content)
{
    constexpr qint64 kPiece = qint64(32) * SectorFile::kSector;
    std::unique_ptr<char[]> buffer(new char[kPiece]);
    ImageTally tally;
    bool going = true;
    const bool walked = walk(how, tally, [&](const QString& path, const QString& name, UDFFILE* opened) {
        const qint64 size = qint64(udfread_file_size(opened));
        if (!going || !content.wanted(path, name, size))
            return;
        qint64 total = 0;
        QString failure;
        while (total < size) {
            ssize_t got = udfread_file_read(opened, buffer.get(), size_t(std::min(kPiece, size - total)));
            if (got <= 0) {
                // The piece again sector by sector: the file was read as far as the first that fails.
                input_->failure = 0;
                udfread_file_seek(opened, total, UDF_SEEK_SET);
                while (total < size &&
                       (got = udfread_file_read(opened, buffer.get(),
                                                size_t(std::min(SectorFile::kSector, size - total)))) > 0) {
                    content.bytes(buffer.get(), qint64(got));
                    total += got;
                }
                if (total < size) {
                    failure = input_->failure == 0 ? QStringLiteral("cut short")
                                                   : QString::fromLocal8Bit(std::strerror(input_->failure));
                    break;
                }
                continue;
            }
            content.bytes(buffer.get(), qint64(got));
            total += got;
            if (how.stop()) {
                going = false;
                return;
            }
        }
        content.end(total, failure);
    });
    return walked && going;
}

bool UdfTree::walk(
    const ImageReading& how, ImageTally& tally,
    const std::function<void(const QString& path, const QString& name, UDFFILE* opened)>& visit)
{
    // A mounted disc shows no hidden or deleted entries; libudfread lists them, so each folder's
    // entries are matched with its identifiers' characteristics, when they can be told.
    struct Level {
        DirHandle dir;
        QString path;
        std::vector<unsigned char> kinds;
        std::size_t next = 0;
    };
    const auto level = [](DirHandle dir, QString path, std::vector<unsigned char> kinds) {
        udfread_dirent entry;
        std::size_t count = 0;
        while (udfread_readdir(dir.get(), &entry))
            ++count;
        udfread_rewinddir(dir.get());
        if (count != kinds.size())
            kinds.clear();
        return Level{std::move(dir), std::move(path), std::move(kinds)};
    };
    // The root was the last folder read when the file system was opened.
    DirHandle root(udfread_opendir(udf_, "/"));
    if (!root)
        fail(image_, QStringLiteral("the UDF file system cannot be read"));
    std::vector<Level> stack;
    stack.push_back(level(std::move(root), QStringLiteral("\\"), input_->characteristics()));
    tally.folders.push_back(QStringLiteral("\\"));
    std::set<quint32> folders;
    // Depth first in directory order, with an explicit stack so deep images cannot exhaust the call stack.
    while (!stack.empty()) {
        if (how.stop())
            return false;
        Level& top = stack.back();
        udfread_dirent entry;
        if (!udfread_readdir(top.dir.get(), &entry)) {
            stack.pop_back();
            continue;
        }
        constexpr unsigned char kHidden = 0x01, kDeleted = 0x04;
        if (top.next < top.kinds.size() && (top.kinds[top.next++] & (kHidden | kDeleted)))
            continue;
        const QString name = udfName(entry.d_name);
        if (entry.d_type == UDF_DT_DIR) {
            if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
                (name.startsWith(QLatin1Char('.')) && !how.dotFolders))
                continue;
            QString path = top.path + name + QLatin1Char('\\');
            input_->haveEntry = false;
            input_->folder.clear();
            input_->folderLength = 0;
            DirHandle sub(udfread_opendir_at(top.dir.get(), entry.d_name));
            if (!sub)
                fail(image_, QStringLiteral("cannot read the folder %1").arg(path));
            // UDF records each folder once; a hostile image pointing a folder back at one above it
            // would otherwise be walked without end. Entries are told apart by where they lie.
            if (input_->haveEntry && !folders.insert(le32(input_->entry + 12)).second)
                fail(image_, QStringLiteral("the folder %1 is recorded more than once").arg(path));
            tally.folders.push_back(path);
            // `top` lives in the stack, which the push may move.
            stack.push_back(level(std::move(sub), std::move(path), input_->characteristics()));
            continue;
        }
        input_->haveEntry = false;
        const FileHandle opened(udfread_file_openat(top.dir.get(), entry.d_name));
        if (!opened)
            fail(image_, QStringLiteral("cannot read the file %1%2").arg(top.path, name));
        // `top` may move while the visit reads an archive; the path is copied first.
        const QString path = top.path;
        visit(path, name, opened.get());
    }
    return true;
}
