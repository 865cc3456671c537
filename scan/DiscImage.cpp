#include "scan/DiscImage.h"

#include "common/TessaroError.h"
#include "scan/ArchiveLister.h"
#include "scan/CdioUdfTree.h"
#include "scan/FileNameText.h"
#include "scan/IsoContents.h"
#include "scan/SectorFile.h"
#include "scan/SectorStream.h"
#include "scan/UdfTree.h"
#include "scan/VolumeLabel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace
{
constexpr qint64 kSector = SectorFile::kSector;

[[noreturn]] void fail(const QString& file, const QString& reason)
{
    throw TessaroError(QStringLiteral("Cannot read the disc image %1: %2").arg(file, reason));
}

// Where the data track of an image lies: the file itself, or the track file a .cue sheet names.
struct Track {
    QString file;
    qint64 sectorSize = kSector;
    qint64 dataOffset = 0;
};

Track trackOf(const QString& image)
{
    if (!image.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive))
        return {image};
    QFile cue(image);
    if (!cue.open(QIODevice::ReadOnly))
        fail(image, cue.errorString());
    const QString sheet = QString::fromUtf8(cue.read(1 << 20));
    static const QRegularExpression fileLine(QStringLiteral("^\\s*FILE\\s+(\"([^\"]*)\"|(\\S+))"),
                                             QRegularExpression::MultilineOption |
                                                 QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression trackLine(QStringLiteral("^\\s*TRACK\\s+\\d+\\s+(\\S+)"),
                                              QRegularExpression::MultilineOption |
                                                  QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch f = fileLine.match(sheet);
    const QRegularExpressionMatch t = trackLine.match(sheet);
    if (!f.hasMatch() || !t.hasMatch())
        fail(image, QStringLiteral("the cue sheet names no track"));
    Track track;
    const QString name = f.captured(2).isEmpty() ? f.captured(3) : f.captured(2);
    track.file = QFileInfo(image).dir().filePath(name);
    const QString mode = t.captured(1).toUpper();
    if (mode == QLatin1String("MODE1/2352")) {
        track.sectorSize = 2352;
        track.dataOffset = 16;
    } else if (mode != QLatin1String("MODE1/2048")) {
        fail(image, QStringLiteral("the first track is not a Mode 1 data track"));
    }
    return track;
}

enum class Kind { None, Iso, Udf };

// The volume recognition sequence from sector 16: "CD001" descriptors for ISO 9660, an "NSR02" or
// "NSR03" descriptor for UDF (a bridge has both).
Kind kindOf(const SectorFile& sectors)
{
    bool iso = false;
    unsigned char sector[kSector];
    for (qint64 i = 16; i < 16 + 64 && sectors.readSector(i, sector); ++i) {
        const char* id = reinterpret_cast<const char*>(sector + 1);
        if (std::memcmp(id, "NSR02", 5) == 0 || std::memcmp(id, "NSR03", 5) == 0)
            return Kind::Udf;
        if (std::memcmp(id, "CD001", 5) == 0)
            iso = true;
        else if (std::memcmp(id, "BEA01", 5) != 0 && std::memcmp(id, "TEA01", 5) != 0 &&
                 std::memcmp(id, "BOOT2", 5) != 0)
            break;
    }
    return iso ? Kind::Iso : Kind::None;
}

quint32 le32(const unsigned char* at)
{
    return quint32(at[0]) | quint32(at[1]) << 8 | quint32(at[2]) << 16 | quint32(at[3]) << 24;
}

int udfTag(const unsigned char* sector)
{
    return sector[0] | sector[1] << 8;
}

// libudf reads a cut-off UDF image as one with empty folders; the partitions the volume
// descriptors record must lie wholly inside the image.
bool udfComplete(const SectorFile& sectors)
{
    unsigned char sector[kSector];
    constexpr int kAnchor = 2, kPartition = 5, kTerminator = 8;
    if (!sectors.readSector(256, sector) || udfTag(sector) != kAnchor)
        return false;
    const qint64 length = le32(sector + 16) / kSector;
    const qint64 location = le32(sector + 20);
    for (qint64 i = 0; i < length && i < 256; ++i) {
        if (!sectors.readSector(location + i, sector))
            return false;
        const int tag = udfTag(sector);
        if (tag == kTerminator)
            break;
        if (tag == kPartition && (qint64(le32(sector + 188)) + le32(sector + 192)) * kSector > sectors.size())
            return false;
    }
    return true;
}

QString isoLabel(const SectorFile& sectors)
{
    return VolumeLabel::fromIsoSectors(
        [&sectors](qint64 sector, unsigned char* buffer) { return sectors.readSector(sector, buffer); });
}

// A folder of the image while its tree is gathered; files keep their place among the folders.
struct Folder {
    struct Entry {
        QString name;
        bool folder = false;
        ListedFile file;
        ListedFiles members;
    };
    std::vector<Entry> entries;
};

class IsoReader
{
  public:
    IsoReader(const QString& image, const SectorFile& sectors, const ImageReading& how)
        : image_(image), sectors_(sectors), how_(how),
          stream_(sectors, IsoContents::volumeBytes(sectors), how.cutImages)
    {
    }

    // Returns false when told to stop.
    bool read(ListedFiles& out, ImageTally& tally)
    {
        if (!how_.cutImages)
            checkVolumeSize();
        std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
        archive_read_support_format_iso9660(a.get());
        stream_.attach(a.get());
        if (archive_read_open1(a.get()) != ARCHIVE_OK)
            fail(image_, QString::fromLocal8Bit(archive_error_string(a.get())));
        archive_entry* entry = nullptr;
        for (;;) {
            const int status = archive_read_next_header(a.get(), &entry);
            if (status == ARCHIVE_EOF)
                break;
            if (status < ARCHIVE_WARN)
                fail(image_, QString::fromLocal8Bit(archive_error_string(a.get())));
            add(a.get(), entry, tally);
            if (how_.stop())
                return false;
        }
        emitFolder(folders_[QString()], QStringLiteral("\\"), out, tally);
        return true;
    }

  private:
    // A cut-off image still has its directories at the front; its recorded size gives it away.
    void checkVolumeSize() const
    {
        unsigned char pvd[kSector];
        if (!sectors_.readSector(16, pvd) || IsoContents::volumeBytes(sectors_) > sectors_.size())
            fail(image_, QStringLiteral("the image is truncated"));
    }

    // Iterative: a hostile image may nest folders thousands deep.
    Folder& folderOf(const QString& path)
    {
        QString missing = path;
        std::vector<QString> created;
        while (!missing.isEmpty() && folders_.find(missing) == folders_.end()) {
            created.push_back(missing);
            const qsizetype slash = missing.lastIndexOf(QLatin1Char('/'));
            missing = slash < 0 ? QString() : missing.left(slash);
        }
        // Create from the outermost missing folder inwards, each named in its parent.
        for (auto it = created.rbegin(); it != created.rend(); ++it) {
            folders_[*it];
            const qsizetype slash = it->lastIndexOf(QLatin1Char('/'));
            Folder::Entry e;
            e.name = slash < 0 ? *it : it->mid(slash + 1);
            e.folder = true;
            folders_[slash < 0 ? QString() : it->left(slash)].entries.push_back(std::move(e));
        }
        return folders_[path];
    }

    // Folders are keyed by their names on the image joined with "/"; a "\\" inside a name is
    // part of the name (see fileNameText), never a step.
    void add(archive* a, archive_entry* entry, ImageTally& tally)
    {
        const QStringList names = ArchiveLister::entryPathNames(entry);
        if (names.isEmpty() || (names.size() == 1 && names.first() == QLatin1String(".")))
            return;
        const QString full = names.join(QLatin1Char('/'));
        if (archive_entry_filetype(entry) == AE_IFDIR) {
            folderOf(full);
            return;
        }
        const qsizetype slash = full.lastIndexOf(QLatin1Char('/'));
        Folder::Entry e;
        e.name = names.last();
        e.file.size = qint64(archive_entry_size(entry));
        // A Rock Ridge hard link is reported once with its data; the other names show the same file.
        if (archive_entry_hardlink(entry)) {
            const QString target = ArchiveLister::entryHardlinkNames(entry).join(QLatin1Char('/'));
            const auto it = sizes_.find(target);
            if (it != sizes_.end())
                e.file.size = it->second;
        }
        sizes_[full] = e.file.size;
        e.file.modified = qint64(archive_entry_mtime(entry));
        if (how_.archives && archive_entry_filetype(entry) == AE_IFREG &&
            ArchiveLister::isArchiveName(e.name)) {
            const ArchiveLister::Reader reader = [a](char* buffer, qint64 size) -> qint64 {
                const la_ssize_t got = archive_read_data(a, buffer, size_t(size));
                return got < 0 ? -1 : qint64(got);
            };
            // Members' folder: filled in when the tree is emitted, once the archive's path is known.
            if (QString why; !how_.archives->list(reader, QString(), e.members, &why, how_.going))
                tally.unlisted.push_back(
                    {QLatin1Char('\\') + QString(full).replace(QLatin1Char('/'), QLatin1Char('\\')), why});
        }
        folderOf(slash < 0 ? QString() : full.left(slash)).entries.push_back(std::move(e));
    }

    // Depth first in name order, with an explicit stack so deep images cannot exhaust the call stack.
    void emitFolder(Folder& root, const QString& rootPath, ListedFiles& out, ImageTally& tally)
    {
        struct Level {
            Folder* folder;
            QString path; // drive-relative, ending in "\\"
            QString key;  // the folder's key in folders_
            std::size_t next;
        };
        const auto enter = [](Folder& folder, const QString& path, const QString& key) {
            std::stable_sort(folder.entries.begin(), folder.entries.end(),
                             [](const Folder::Entry& x, const Folder::Entry& y) { return x.name < y.name; });
            return Level{&folder, path, key, 0};
        };
        std::vector<Level> stack;
        stack.push_back(enter(root, rootPath, QString()));
        tally.folders.push_back(rootPath);
        while (!stack.empty()) {
            Level& level = stack.back();
            if (level.next == level.folder->entries.size()) {
                stack.pop_back();
                continue;
            }
            Folder::Entry& e = level.folder->entries[level.next++];
            if (e.folder) {
                if (!e.name.startsWith(QLatin1Char('.')) || how_.dotFolders) {
                    const QString path = level.path + e.name + QLatin1Char('\\');
                    const QString key = level.key.isEmpty() ? e.name : level.key + QLatin1Char('/') + e.name;
                    tally.folders.push_back(path);
                    // `level` lives in the stack, which the push may move.
                    stack.push_back(enter(folders_[key], path, key));
                }
                continue;
            }
            e.file.path = level.path;
            e.file.name = e.name;
            out.push_back(e.file);
            const QString inside = level.path + e.name + QLatin1Char('\\');
            for (ListedFile& member : e.members) {
                member.path.prepend(inside);
                out.push_back(std::move(member));
            }
        }
    }

    QString image_;
    const SectorFile& sectors_;
    const ImageReading& how_;
    std::map<QString, Folder> folders_; // by the image's own path, "" for the root
    std::map<QString, qint64> sizes_;
    SectorStream stream_;
};

void checkReadable(const QString& file)
{
    const QFileInfo info(file);
    if (!info.exists())
        fail(file, QStringLiteral("no such file"));
    // Checked without opening it: a FIFO would hold the run until a writer came.
    if (!info.isFile())
        fail(file, QStringLiteral("it is not a regular file"));
    if (!info.isReadable())
        fail(file, QStringLiteral("permission denied"));
}
} // namespace

bool DiscImage::isImage(const QString& root)
{
    return !root.isEmpty() && QFileInfo(root).isFile();
}

DiscImage::DiscImage(const QString& file, const ImageReading& how)
{
    checkReadable(file);
    const Track track = trackOf(file);
    checkReadable(track.file);
    const SectorFile sectors(track.file, track.sectorSize, track.dataOffset);
    if (!sectors.isOpen())
        fail(file, QStringLiteral("cannot open it"));
    bool whole = true;
    switch (kindOf(sectors)) {
    case Kind::Udf: {
        // UDF is preferred on a bridge image: its names and dates are the full ones.
        // An image of write-once media ends where recording stopped, short of its partition.
        if (UdfTree::hasVirtualPartition(sectors))
            fail(file,
                 QStringLiteral("UDF for write-once discs (a virtual allocation table) cannot be read"));
        if (UdfTree::movesPackets(sectors))
            fail(file, QStringLiteral("the disc's sparing table moves packets, which cannot be read"));
        const bool complete = udfComplete(sectors);
        if (!complete && !how.cutImages)
            fail(file, QStringLiteral("the image is truncated"));
        // libudfread reads every revision; libudf is tried up to 1.50 when it refuses.
        std::unique_ptr<UdfTree> udf;
        try {
            udf = std::make_unique<UdfTree>(file, sectors);
        } catch (const TessaroError&) {
            // libudf reads a cut image as one with empty folders.
            const std::unique_ptr<CdioUdfTree> older = complete ? CdioUdfTree::open(track.file) : nullptr;
            if (!older)
                throw;
            label_ = UdfTree::logicalVolumeId(sectors);
            whole = older->read(files_, how, tally_);
            break;
        }
        label_ = udf->label();
        whole = udf->read(files_, how, tally_);
        break;
    }
    case Kind::Iso:
        label_ = isoLabel(sectors);
        whole = IsoReader(file, sectors, how).read(files_, tally_);
        break;
    case Kind::None:
        fail(file, QStringLiteral("it is not an ISO 9660 or UDF image"));
    }
    // A stopped reading reports nothing: the run it serves is being stopped.
    if (!whole) {
        stopped_ = true;
        files_.clear();
        tally_ = {};
    }
}

DiscImage::Contents DiscImage::readContents(const QString& file, const ImageReading& how,
                                            const ImageContent& content)
{
    checkReadable(file);
    const Track track = trackOf(file);
    checkReadable(track.file);
    const SectorFile sectors(track.file, track.sectorSize, track.dataOffset);
    if (!sectors.isOpen())
        fail(file, QStringLiteral("cannot open it"));
    switch (kindOf(sectors)) {
    case Kind::Udf: {
        std::unique_ptr<UdfTree> udf;
        try {
            udf = std::make_unique<UdfTree>(file, sectors);
        } catch (const TessaroError&) {
            // Only libudf reads it, and libudf trusts the lengths an image's entries record when it
            // reads their data: a damaged image made it read out of bounds. Its files are
            // compared by their listing alone.
            return Contents::NotRead;
        }
        return udf->readContents(how, content) ? Contents::Read : Contents::Stopped;
    }
    case Kind::Iso:
        return IsoContents::read(file, sectors, how, content) ? Contents::Read : Contents::Stopped;
    case Kind::None:
        break;
    }
    fail(file, QStringLiteral("it is not an ISO 9660 or UDF image"));
}

QString DiscImage::readLabel(const QString& file)
{
    try {
        const Track track = trackOf(file);
        const SectorFile sectors(track.file, track.sectorSize, track.dataOffset);
        switch (kindOf(sectors)) {
        case Kind::Udf:
            return UdfTree::logicalVolumeId(sectors);
        case Kind::Iso:
            return isoLabel(sectors);
        case Kind::None:
            break;
        }
    } catch (const TessaroError&) {
    }
    return {};
}
