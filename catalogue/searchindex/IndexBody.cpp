#include "catalogue/searchindex/IndexBody.h"

#include "common/AsciiCase.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace
{
constexpr quint32 kMagic = 0x32585354;     // "TSX2" read as a little-endian integer
constexpr quint32 kOneIndex = 0x31585354;  // "TSX1": a body that is one DiscIndex
constexpr qsizetype kPieceRecord = 16;     // entries, flags, length
constexpr quint32 kAnyText = 1;            // the piece's filter cannot be trusted to say no
constexpr quint32 kInRows = 1;             // layout: the pieces are rows of their own
constexpr quint32 kMaxFilterWords = 65536; // far beyond what the builder writes
constexpr quint64 kMaxExtensions = 65536;  // as one DiscIndex holds

// Bytes a directory entry stands for beside its texts, as DiscIndex counts them, and more.
constexpr quint64 kEntryBytes = 64;

template <typename T> T read(const char* at)
{
    T value;
    std::memcpy(&value, at, sizeof(T));
    return value;
}

template <typename T> void put(QByteArray& out, T value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof(T));
}

// The filter bit of three folded bytes.
quint32 bitOf(unsigned char a, unsigned char b, unsigned char c, quint32 bits)
{
    const quint32 key = quint32(a) | (quint32(b) << 8) | (quint32(c) << 16);
    return quint32((quint64(quint32(key * 0x9E3779B1u)) * bits) >> 32);
}
} // namespace

namespace IndexBody
{
// Eight filter bits an entry: a piece of photos' names sets about a quarter of them.
Builder::Builder(quint32 pieceEntries)
    : pieceEntries_(std::max<quint32>(pieceEntries, 1)),
      filterWords_(std::max<quint32>(pieceEntries_ / 8, 1)), filter_(filterWords_)
{
}

bool Builder::spoil()
{
    spoilt_ = true;
    pieces_.clear();
    return false;
}

void Builder::addText(std::string_view text)
{
    const quint32 bits = filterWords_ * 64;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i + 2 < text.size(); ++i) {
        const quint32 bit =
            bitOf(AsciiCase::fold(p[i]), AsciiCase::fold(p[i + 1]), AsciiCase::fold(p[i + 2]), bits);
        filter_[bit / 64] |= quint64(1) << (bit % 64);
    }
}

bool Builder::add(qint64 id, std::string_view path, std::string_view name, std::string_view extension,
                  qint64 size, std::string_view date)
{
    if (spoilt_)
        return false;
    // The limits of one index hold for the whole disc, so that a disc is indexed or not as before.
    lowestId_ = count_ == 0 ? id : std::min(lowestId_, id);
    highestId_ = count_ == 0 ? id : std::max(highestId_, id);
    bytes_ += kEntryBytes + path.size() + name.size() + extension.size() + date.size();
    if (quint64(highestId_) - quint64(lowestId_) > std::numeric_limits<quint32>::max() ||
        bytes_ > DiscIndex::kMaxBytes ||
        (extensions_.emplace(extension).second && extensions_.size() > kMaxExtensions))
        return spoil();

    const bool pieceStarts = piece_.count() == 0;
    if (!piece_.add(id, path, name, extension, size, date))
        return spoil();
    if (pieceStarts || path != lastPath_) {
        lastPath_.assign(path);
        addText(path);
        // A folder that does not end with "\" runs into its names: text may lie across both.
        if (!path.empty() && path.back() != '\\')
            anyText_ = true;
    }
    addText(name);
    ++count_;
    if (piece_.count() == pieceEntries_ && !closePiece())
        return false;
    return true;
}

bool Builder::closePiece()
{
    QByteArray bytes = piece_.finish();
    if (bytes.isEmpty())
        return spoil();
    entries_.push_back(quint32(piece_.count()));
    flags_.push_back(anyText_ ? kAnyText : 0);
    filters_.insert(filters_.end(), filter_.begin(), filter_.end());
    pieces_.push_back(std::move(bytes));
    piece_ = DiscIndex::Builder();
    std::fill(filter_.begin(), filter_.end(), 0);
    anyText_ = false;
    return true;
}

// Closes the last piece; false when the body would be too long.
bool Builder::complete()
{
    if (spoilt_ || (piece_.count() > 0 && !closePiece()))
        return false;
    if (inlineSize() > DiscIndex::kMaxBytes)
        return spoil();
    return true;
}

quint64 Builder::inlineSize() const
{
    quint64 total = quint64(kHeadBytes) + quint64(pieces_.size()) * (kPieceRecord + filterWords_ * 8);
    for (const QByteArray& piece : pieces_)
        total += quint64(piece.size());
    return total;
}

QByteArray Builder::directory(quint32 layout) const
{
    QByteArray out;
    put(out, kMagic);
    put(out, quint32(pieces_.size()));
    put(out, filterWords_);
    put(out, layout);
    for (size_t i = 0; i < pieces_.size(); ++i) {
        put(out, entries_[i]);
        put(out, flags_[i]);
        put(out, quint64(pieces_[i].size()));
    }
    out.append(reinterpret_cast<const char*>(filters_.data()), qsizetype(filters_.size() * sizeof(quint64)));
    return out;
}

QByteArray Builder::finish()
{
    if (!complete())
        return {};
    QByteArray out = directory(0);
    out.reserve(qsizetype(inlineSize()));
    for (const QByteArray& piece : pieces_)
        out.append(piece);
    return out;
}

QByteArray Builder::finishDirectory()
{
    if (!complete())
        return {};
    return directory(kInRows);
}

qint64 Directory::sizeFor(const QByteArray& head, qint64 bodySize)
{
    if (head.size() < 8 || bodySize < head.size() || quint64(bodySize) > DiscIndex::kMaxBytes)
        return -1;
    const quint32 magic = read<quint32>(head.constData());
    if (magic == kOneIndex)
        return 8;
    if (magic != kMagic || head.size() < kHeadBytes)
        return -1;
    const quint64 pieces = read<quint32>(head.constData() + 4);
    const quint64 words = read<quint32>(head.constData() + 8);
    if (words == 0 || words > kMaxFilterWords)
        return -1;
    const quint64 size = quint64(kHeadBytes) + pieces * (quint64(kPieceRecord) + words * 8);
    return size <= quint64(bodySize) ? qint64(size) : -1;
}

std::optional<Directory> Directory::parse(const QByteArray& bytes, qint64 bodySize)
{
    const qint64 size = sizeFor(bytes.left(kHeadBytes), bodySize);
    if (size < 0 || bytes.size() < size)
        return std::nullopt;
    const char* at = bytes.constData();
    Directory d;
    if (read<quint32>(at) == kOneIndex) {
        d.entries_ = read<quint32>(at + 4);
        d.pieces_.push_back({quint32(d.entries_), 0, bodySize, true});
        return d;
    }
    const quint32 pieces = read<quint32>(at + 4);
    d.filterWords_ = read<quint32>(at + 8);
    const quint32 layout = read<quint32>(at + 12);
    if (layout != 0 && layout != kInRows)
        return std::nullopt;
    d.piecesInRows_ = layout == kInRows;
    // Pieces in rows are measured against the most a body could hold.
    const qint64 end = d.piecesInRows_ ? qint64(DiscIndex::kMaxBytes) : bodySize;
    qint64 offset = size;
    for (quint32 i = 0; i < pieces; ++i) {
        const char* record = at + kHeadBytes + qsizetype(i) * kPieceRecord;
        Piece piece;
        piece.entries = read<quint32>(record);
        const quint32 flags = read<quint32>(record + 4);
        const quint64 length = read<quint64>(record + 8);
        if (piece.entries == 0 || (flags & ~kAnyText) != 0 || length > quint64(end - offset))
            return std::nullopt;
        piece.anyText = flags & kAnyText;
        piece.offset = offset;
        piece.length = qint64(length);
        offset += piece.length;
        d.entries_ += piece.entries;
        d.pieces_.push_back(piece);
    }
    if ((d.piecesInRows_ ? size != bodySize : offset != bodySize) ||
        d.entries_ > std::numeric_limits<quint32>::max())
        return std::nullopt;
    const char* filters = at + kHeadBytes + qsizetype(pieces) * kPieceRecord;
    d.filters_.resize(size_t(pieces) * d.filterWords_);
    std::memcpy(d.filters_.data(), filters, d.filters_.size() * sizeof(quint64));
    return d;
}

bool Directory::mayHold(quint32 i, std::string_view folded) const
{
    const Piece& piece = pieces_[i];
    if (piece.anyText || filterWords_ == 0)
        return true;
    const quint64* words = filters_.data() + size_t(i) * filterWords_;
    const quint32 bits = filterWords_ * 64;
    const auto* p = reinterpret_cast<const unsigned char*>(folded.data());
    for (size_t k = 0; k + 2 < folded.size(); ++k) {
        const quint32 bit = bitOf(p[k], p[k + 1], p[k + 2], bits);
        if (!(words[bit / 64] & (quint64(1) << (bit % 64))))
            return false;
    }
    return true;
}
} // namespace IndexBody
