#pragma once

#include "catalogue/searchindex/DiscIndex.h"

#include <QByteArray>
#include <QtGlobal>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// A disc's search index as the catalogue stores it: a directory, then the disc's entries in
// pieces of a few hundred, each a DiscIndex of its own, in the grid's order. For each
// piece the directory holds a filter of the three-byte stretches of its folders and names
// (A-Z folded), so that a search reads and scans only the pieces that can hold its literal
// text. A filter may let a piece through that holds nothing, never the other way round.
//
// The pieces follow the directory in the body, or (where the catalogue has the table for them)
// are rows of their own, so that reading one does not mean going through the body to it. A
// body of the earlier form, one DiscIndex for the whole disc, reads as a single piece that
// every search takes.
namespace IndexBody
{
// Smaller pieces let rare names skip more text; larger ones cost less to read for common ones.
constexpr quint32 kPieceEntries = 256;
// Bytes at the start of a body that tell how long its directory is.
constexpr qsizetype kHeadBytes = 16;

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
    // The body with the pieces in it; empty when spoilt.
    QByteArray finish();
    // The body for pieces kept in rows of their own: the directory alone; empty when spoilt.
    // The pieces are then pieces(), and inlineSize() what finish() would have made.
    QByteArray finishDirectory();
    const std::vector<QByteArray>& pieces() const { return pieces_; }
    quint64 inlineSize() const;

  private:
    bool spoil();
    bool closePiece();
    bool complete();
    QByteArray directory(quint32 layout) const;
    void addText(std::string_view text);

    quint32 pieceEntries_;
    quint32 filterWords_;
    bool spoilt_ = false;
    qint64 count_ = 0;
    qint64 lowestId_ = 0;
    qint64 highestId_ = 0;
    quint64 bytes_ = 0;
    std::unordered_set<std::string> extensions_;
    DiscIndex::Builder piece_;
    quint32 pieceCount_ = 0;
    bool anyText_ = false;
    std::string lastPath_;
    std::vector<quint64> filter_;
    std::vector<QByteArray> pieces_;
    std::vector<quint32> entries_;
    std::vector<quint32> flags_;
    std::vector<quint64> filters_;
};

// Where each piece lies in the body, how many entries it has, and what it may hold.
class Directory
{
  public:
    struct Piece {
        quint32 entries = 0;
        qint64 offset = 0; // in the body, when the pieces are in it
        qint64 length = 0;
        bool anyText = false; // the filter says nothing: a search always reads it
    };

    // The bytes of the body a directory takes, from its first kHeadBytes (fewer when the body is
    // shorter); -1 when they cannot begin a body of `bodySize` bytes.
    static qint64 sizeFor(const QByteArray& head, qint64 bodySize);
    // The directory from its bytes; none when they do not describe a body of `bodySize` bytes.
    static std::optional<Directory> parse(const QByteArray& bytes, qint64 bodySize);

    // Whether the pieces are kept in rows of their own (numbered from 0, with the index's
    // generation) rather than in the body.
    bool piecesInRows() const { return piecesInRows_; }
    quint32 pieceCount() const { return quint32(pieces_.size()); }
    const Piece& piece(quint32 i) const { return pieces_[i]; }
    quint64 entries() const { return entries_; }
    // Whether piece `i` may hold the folded text in one of its folders or names; stretches
    // shorter than three bytes are held everywhere.
    bool mayHold(quint32 i, std::string_view folded) const;

  private:
    std::vector<Piece> pieces_;
    std::vector<quint64> filters_;
    quint32 filterWords_ = 0;
    quint64 entries_ = 0;
    bool piecesInRows_ = false;
};
} // namespace IndexBody
