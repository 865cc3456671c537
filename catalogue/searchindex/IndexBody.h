#pragma once

#include "catalogue/searchindex/DiscIndex.h"

#include <QByteArray>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// A disc's search index as the catalogue stores it, in three parts:
// - a directory (search_index.body): how many pieces and entries the index has;
// - the disc's entries in pieces of a few dozen, in the grid's order, each a DiscIndex of its
//   own in a row of search_index_piece;
// - postings (rows of search_trigram): for each three-byte stretch (A-Z folded) of the disc's
//   folders and names, the pieces that hold it, so that a search reads only the pieces that
//   hold every stretch of its literal text. Key kEveryPiece lists the pieces every search
//   reads (where a folder without a closing "\" runs into its names); every disc has it.
//
// Every part carries a check (XXH3) over its bytes, its disc, its index's generation and its place
// (piece number or stretch), so that damaged, stale or moved parts are refused, never read
// as fewer rows. A posting row deleted by hand is caught by a trigger that drops the index.
namespace IndexBody
{
// Smaller pieces let rare names skip more text; larger ones cost less to store and to read for
// common ones.
constexpr quint32 kPieceEntries = 64;
// Posting key of the pieces every search reads; above every stretch's key.
constexpr quint32 kEveryPiece = 0x1000000;
// The first four bytes of a directory of today's form, "TSX4" read as a little-endian integer.
constexpr quint32 kFormTag = 0x34585354;

// The key of three folded bytes.
constexpr quint32 trigram(unsigned char a, unsigned char b, unsigned char c)
{
    return quint32(a) | (quint32(b) << 8) | (quint32(c) << 16);
}
// Appends the keys of the text's three-byte stretches, A-Z folded.
void addTrigrams(std::string_view text, std::vector<quint32>& keys);

// One disc's index, ready to store.
struct Parts {
    QByteArray directory;
    std::vector<QByteArray> pieces;                       // rows of search_index_piece, by number
    std::vector<std::pair<quint32, QByteArray>> postings; // rows of search_trigram, by key
    qsizetype largest = 0;                                // bytes of the longest part
};

class Builder
{
  public:
    // `pieceEntries` other than the default serve tests that want many pieces from few files.
    explicit Builder(quint32 pieceEntries = kPieceEntries);

    // As DiscIndex::Builder::add, for the whole disc: entries in the grid's order; false, and
    // the builder spoilt, for what no index holds.
    bool add(qint64 id, std::string_view path, std::string_view name, std::string_view extension, qint64 size,
             std::string_view date);
    bool spoilt() const { return spoilt_; }
    qint64 count() const { return count_; }
    // The parts for the disc's index of that generation; none when spoilt.
    std::optional<Parts> finish(qint64 disc, qint64 generation);

  private:
    bool spoil();
    bool closePiece();

    quint32 pieceEntries_;
    bool spoilt_ = false;
    qint64 count_ = 0;
    qint64 lowestId_ = 0;
    qint64 highestId_ = 0;
    quint64 bytes_ = 0;
    std::unordered_set<std::string> extensions_;
    DiscIndex::Builder piece_;
    bool anyText_ = false;
    std::string lastPath_;
    std::vector<quint32> pieceKeys_;
    std::unordered_map<quint32, std::vector<quint32>> postings_;
    std::vector<QByteArray> pieces_;
};

// The checked directory of a disc's index.
class Directory
{
  public:
    // None when the bytes are not the directory of the disc's index of that generation.
    static std::optional<Directory> parse(const QByteArray& bytes, qint64 disc, qint64 generation);
    quint32 pieceCount() const { return pieces_; }
    quint64 entries() const { return entries_; }

  private:
    quint32 pieces_ = 0;
    quint64 entries_ = 0;
};

// The piece from its row; null unless the bytes are piece `piece` of the disc's index of that
// generation.
std::shared_ptr<const DiscIndex> readPiece(const QByteArray& row, qint64 disc, qint64 generation,
                                           quint32 piece);

// The pieces a posting row lists, as bits (piece i is bit i % 64 of word i / 64) of `words`
// for an index of `pieceCount` pieces; false when the bytes are not the posting of key `key`
// of the disc's index of that generation.
bool readPosting(const QByteArray& row, qint64 disc, qint64 generation, quint32 key, quint32 pieceCount,
                 std::vector<quint64>& words);

// The keys of every stretch in the piece's folders and names (as postings list them).
void trigramsOf(const DiscIndex& piece, std::vector<quint32>& keys);
} // namespace IndexBody
