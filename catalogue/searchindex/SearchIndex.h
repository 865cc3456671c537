#pragma once

#include <QString>
#include <QtGlobal>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

class Connection;
class DiscIndex;
class DiscIndexFeed;
class IndexFilter;

// The catalogue's search index: for each disc a directory (table search_index), pieces
// (search_index_piece) and postings (search_trigram), see IndexBody, built in one go once a
// disc's files are written. Triggers on `files` drop a disc's index as soon as any of its rows
// changes, so an index is either exact or absent; a disc without one is searched with the
// plain statement.
//
// Rows added to an indexed disc with the triggers switched off (as a cataloguing run writes its
// own disc) would go unseen; the stamp (table search_stamp) guards against them: the highest
// file id when the program last wrote, written only when every row below it was accounted
// for. While it equals max(files.id) no such row exists; otherwise each index is trusted only
// while it counts as many rows as its disc has.
namespace SearchIndex
{
// Whether the catalogue has the search_index table (older catalogues lack it until upgraded).
bool present(Connection& connection);
// Builds or rebuilds the disc's index from its file rows. Call it when a cataloguing run has
// written its last file, inside the run's transaction (or in a transaction of its own right
// after the commit). Returns false, leaving the disc to the plain statement, when the
// catalogue lacks the index's tables or the disc's rows hold values the index cannot carry.
bool indexDisc(Connection& connection, qint64 discId);
// The same in pieces of `pieceEntries` entries, for tests that want many pieces from few files.
bool indexDisc(Connection& connection, qint64 discId, quint32 pieceEntries);
// The same from the rows the run fed in as it wrote them, in the run's transaction: `rows`
// must hold every file row of the disc, and nothing else may have written any.
bool indexDisc(Connection& connection, qint64 discId, const DiscIndexFeed& rows);
// Indexes every disc that has no index, one of an earlier form or one that no longer counts
// its disc's rows, drops the parts of indexes that are gone, and stamps the catalogue. With
// `rebuild` every index is built again from the rows. Returns how many discs were indexed.
int indexMissing(Connection& connection, bool rebuild = false);
// Whether the stamp is that of the catalogue's rows; take it before a removal's deletes.
bool stampHolds(Connection& connection);
// Drops the index parts of a disc being removed, in the removal's transaction after its rows
// went, and stamps the catalogue again when the stamp held before (`stampHeld`).
void removeDisc(Connection& connection, qint64 discId, bool stampHeld);
// The number of file rows of each disc that has any, by disc id: the count of its index where
// it has a trusted one, its rows counted where not.
std::map<qint64, qint64> fileCounts(Connection& connection);
} // namespace SearchIndex

// Keeps the pieces of the discs' indexes that searches have read in memory; a piece is read
// again only when the catalogue holds a different index (each build has a fresh random
// generation). Whenever the catalogue has changed since the last search, the stamp is checked
// (or each index's count against its disc's rows), so that rows added to an indexed disc are
// never missed.
class SearchIndexCache
{
  public:
    using Pieces = std::vector<std::shared_ptr<const DiscIndex>>;

    // The pieces that may hold rows meeting `filter`'s conditions, by disc id, of each of
    // `discs` that has a usable index, in order; a disc missing from the answer is searched
    // without its index. Run it inside the search's read transaction so that the indexes match
    // the rows the search sees.
    std::map<qint64, Pieces> load(Connection& connection, const std::vector<qint64>& discs,
                                  const IndexFilter& filter);
    void clear();

  private:
    struct Stamp {
        qint64 generation = 0;
        qint64 entries = 0;
        quint32 pieceCount = 0;
    };
    struct Slot {
        qint64 generation = 0;
        Pieces pieces; // null until read
    };
    void check(Connection& connection, const std::map<qint64, Stamp>& stamps,
               const std::vector<qint64>& malformed);
    // The pieces each disc of `stamps` needs for the filter's stretches (piece i is bit i % 64
    // of word i / 64); discs whose postings are unusable are left out.
    std::map<qint64, std::vector<quint64>>
    choose(Connection& connection, const std::map<qint64, Stamp>& discs, const std::vector<quint32>& keys);

    QString path_;
    std::unordered_map<qint64, Slot> slots_;
    bool checked_ = false;
    qint64 dataVersion_ = 0;
    qint64 changes_ = 0;
    std::set<qint64> trusted_; // discs whose index was found exact at the check
};
