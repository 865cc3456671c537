#include "catalogue/searchindex/IndexBody.h"

#include "common/AsciiCase.h"

#include <algorithm>
#include <cstring>
#include <limits>

// Header-only: the command line loads no library for it.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace
{
constexpr quint32 kMagic = IndexBody::kFormTag;
constexpr qsizetype kDirectorySize = 20;  // magic, pieces, entries, check
constexpr quint64 kMaxExtensions = 65536; // as one DiscIndex holds
// Bytes a directory entry stands for beside its texts, as DiscIndex counts them, and more.
constexpr quint64 kEntryBytes = 64;
// What a check covers, so that no part can pass for another kind.
enum class Part : char { Directory = 'D', Piece = 'P', Posting = 'T' };
// Posting forms: one bit a piece, or the piece numbers as rising gaps.
constexpr char kBitmap = 0;
constexpr char kGaps = 1;

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

// XXH3 of the bytes, seeded with the place they belong to (its low 32 bits). It reads a piece
// several times as fast as CRC-32 did (form "TSX3"), and a search checks every piece it reads.
quint32 check(Part part, qint64 disc, qint64 generation, quint32 key, const char* bytes, qsizetype size)
{
    char place[21];
    place[0] = char(part);
    std::memcpy(place + 1, &disc, 8);
    std::memcpy(place + 9, &generation, 8);
    std::memcpy(place + 17, &key, 4);
    const XXH64_hash_t seed = XXH3_64bits(place, sizeof(place));
    return quint32(XXH3_64bits_withSeed(bytes, size_t(size), seed));
}

// Appends the check of everything in `out`.
void seal(QByteArray& out, Part part, qint64 disc, qint64 generation, quint32 key)
{
    put(out, check(part, disc, generation, key, out.constData(), out.size()));
}

// The bytes before the check when it holds; -1 otherwise.
qsizetype unsealed(const QByteArray& row, Part part, qint64 disc, qint64 generation, quint32 key)
{
    const qsizetype size = row.size() - 4;
    if (size < 0 ||
        read<quint32>(row.constData() + size) != check(part, disc, generation, key, row.constData(), size))
        return -1;
    return size;
}

void putNumber(QByteArray& out, quint32 value)
{
    while (value >= 0x80) {
        out.append(char(value | 0x80));
        value >>= 7;
    }
    out.append(char(value));
}

QByteArray encodePosting(const std::vector<quint32>& pieces, quint32 pieceCount)
{
    QByteArray gaps;
    gaps.append(kGaps);
    quint32 next = 0;
    for (quint32 piece : pieces) {
        putNumber(gaps, piece - next);
        next = piece + 1;
    }
    const qsizetype bitmapSize = 1 + qsizetype((pieceCount + 7) / 8);
    if (gaps.size() <= bitmapSize)
        return gaps;
    QByteArray bitmap(bitmapSize, '\0');
    bitmap[0] = kBitmap;
    for (quint32 piece : pieces)
        bitmap[1 + piece / 8] = char(bitmap[1 + piece / 8] | (1 << (piece % 8)));
    return bitmap;
}
} // namespace

namespace IndexBody
{
void addTrigrams(std::string_view text, std::vector<quint32>& keys)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i + 2 < text.size(); ++i)
        keys.push_back(trigram(AsciiCase::fold(p[i]), AsciiCase::fold(p[i + 1]), AsciiCase::fold(p[i + 2])));
}

void trigramsOf(const DiscIndex& piece, std::vector<quint32>& keys)
{
    for (quint32 run = 0; run < piece.runCount(); ++run)
        addTrigrams(piece.runPath(run), keys);
    for (quint32 i = 0; i < piece.count(); ++i)
        addTrigrams(piece.name(i), keys);
}

Builder::Builder(quint32 pieceEntries) : pieceEntries_(std::max<quint32>(pieceEntries, 1)) {}

bool Builder::spoil()
{
    spoilt_ = true;
    pieces_.clear();
    postings_.clear();
    return false;
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
        addTrigrams(path, pieceKeys_);
        // A folder that does not end with "\" runs into its names: text may lie across both.
        if (!path.empty() && path.back() != '\\')
            anyText_ = true;
    }
    addTrigrams(name, pieceKeys_);
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
    const auto number = quint32(pieces_.size());
    // One bit a key tells the piece's keys seen before: sorting them (about 1,600 for 64 names)
    // cost more than the rest of the postings. The table is the thread's, cleared after use.
    thread_local std::vector<quint64> seen(kEveryPiece / 64);
    {
        // Cleared before the keys go, also when a posting could not grow.
        struct Clear {
            const std::vector<quint32>& keys;
            ~Clear()
            {
                for (quint32 key : keys)
                    seen[key / 64] = 0;
            }
        } clear{pieceKeys_};
        for (quint32 key : pieceKeys_) {
            quint64& word = seen[key / 64];
            const quint64 bit = quint64(1) << (key % 64);
            if (word & bit)
                continue;
            word |= bit;
            postings_[key].push_back(number);
        }
    }
    if (anyText_)
        postings_[kEveryPiece].push_back(number);
    pieces_.push_back(std::move(bytes));
    piece_ = DiscIndex::Builder();
    pieceKeys_.clear();
    anyText_ = false;
    return true;
}

std::optional<Parts> Builder::finish(qint64 disc, qint64 generation)
{
    if (spoilt_ || (piece_.count() > 0 && !closePiece()))
        return std::nullopt;
    Parts parts;
    const auto pieceCount = quint32(pieces_.size());
    put(parts.directory, kMagic);
    put(parts.directory, pieceCount);
    put(parts.directory, quint64(count_));
    seal(parts.directory, Part::Directory, disc, generation, 0);
    parts.largest = parts.directory.size();
    for (quint32 i = 0; i < pieceCount; ++i) {
        QByteArray& row = pieces_[i];
        seal(row, Part::Piece, disc, generation, i);
        parts.largest = std::max(parts.largest, row.size());
    }
    parts.pieces = std::move(pieces_);
    // Every disc has the key of the pieces every search reads, also when it lists none.
    postings_[kEveryPiece];
    std::vector<quint32> keys;
    keys.reserve(postings_.size());
    for (const auto& posting : postings_)
        keys.push_back(posting.first);
    std::sort(keys.begin(), keys.end());
    parts.postings.reserve(keys.size());
    for (quint32 key : keys) {
        QByteArray row = encodePosting(postings_[key], pieceCount);
        seal(row, Part::Posting, disc, generation, key);
        parts.largest = std::max(parts.largest, row.size());
        parts.postings.emplace_back(key, std::move(row));
    }
    postings_.clear();
    spoilt_ = true; // the parts are handed out once
    return parts;
}

std::optional<Directory> Directory::parse(const QByteArray& bytes, qint64 disc, qint64 generation)
{
    if (bytes.size() != kDirectorySize || unsealed(bytes, Part::Directory, disc, generation, 0) < 0 ||
        read<quint32>(bytes.constData()) != kMagic)
        return std::nullopt;
    Directory d;
    d.pieces_ = read<quint32>(bytes.constData() + 4);
    d.entries_ = read<quint64>(bytes.constData() + 8);
    if (d.entries_ > std::numeric_limits<quint32>::max() || (d.pieces_ == 0) != (d.entries_ == 0) ||
        d.pieces_ > d.entries_)
        return std::nullopt;
    return d;
}

std::shared_ptr<const DiscIndex> readPiece(const QByteArray& row, qint64 disc, qint64 generation,
                                           quint32 piece)
{
    const qsizetype size = unsealed(row, Part::Piece, disc, generation, piece);
    if (size < 0)
        return nullptr;
    return DiscIndex::fromBytes(row, 0, size);
}

bool readPosting(const QByteArray& row, qint64 disc, qint64 generation, quint32 key, quint32 pieceCount,
                 std::vector<quint64>& words)
{
    words.assign((size_t(pieceCount) + 63) / 64, 0);
    const qsizetype size = unsealed(row, Part::Posting, disc, generation, key);
    if (size < 1)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(row.constData());
    if (p[0] == kBitmap) {
        const size_t bytes = (size_t(pieceCount) + 7) / 8;
        if (size_t(size) != 1 + bytes)
            return false;
        std::memcpy(words.data(), p + 1, bytes); // the words are little-endian, as the bytes
        // No piece beyond the last.
        return pieceCount % 64 == 0 || (words.back() >> (pieceCount % 64)) == 0;
    }
    if (p[0] != kGaps)
        return false;
    quint64 next = 0;
    for (qsizetype at = 1; at < size;) {
        quint64 gap = 0;
        for (int shift = 0;; shift += 7) {
            if (at == size || shift > 28)
                return false;
            const unsigned char c = p[at++];
            gap |= quint64(c & 0x7F) << shift;
            if (!(c & 0x80))
                break;
        }
        next += gap;
        if (next >= pieceCount)
            return false;
        words[next / 64] |= quint64(1) << (next % 64);
        ++next;
    }
    return true;
}
} // namespace IndexBody
