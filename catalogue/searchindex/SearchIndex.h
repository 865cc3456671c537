#pragma once

#include "catalogue/searchindex/IndexBody.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

class Connection;
class DiscIndexFeed;
class Transaction;

// The catalogue's search index: one body (see IndexBody) per disc in the table search_index,
// built in one go once a disc's files are written. Triggers on `files` drop a disc's index
// as soon as any of its rows changes, so an index is either exact or absent; a disc without
// one is searched with the plain statement.
namespace SearchIndex
{
// Whether the catalogue has the search_index table (older catalogues lack it until upgraded).
bool present(Connection& connection);
// Builds or rebuilds the disc's index from its file rows. Call it when a cataloguing run has
// written its last file, inside the run's transaction (or in a transaction of its own right
// after the commit). Returns false, leaving the disc to the plain statement, when the
// catalogue has no search_index table or the disc's rows hold values the index cannot carry.
bool indexDisc(Connection& connection, qint64 discId, quint32 pieceEntries = IndexBody::kPieceEntries);
// The same from the rows the run fed in as it wrote them, in the run's transaction: `rows`
// must hold every file row of the disc, and nothing else may have written any.
bool indexDisc(Connection& connection, qint64 discId, const DiscIndexFeed& rows);
// Indexes every disc that has no index or one of an earlier form, and drops indexes of discs
// that no longer exist. Returns how many discs were indexed.
int indexMissing(Connection& connection);
// Drops the index pieces of a disc being removed, in the removal's transaction: the triggers
// that drop its index row do not reach the pieces' own table.
void removeDisc(Connection& connection, qint64 discId);
// A read transaction for one search, or null when the connection is already in a transaction.
std::unique_ptr<Transaction> readTransaction(Connection& connection);
} // namespace SearchIndex

// Keeps the parts of the discs' indexes that searches have read in memory; an index is read
// again only when the catalogue holds a different one (each build stamps a fresh random
// generation). Whenever the catalogue has changed since the last search, each index's row
// count is checked against the disc's rows, so that rows added to an indexed disc are never
// missed.
class SearchIndexCache
{
  public:
    using Pieces = std::vector<std::shared_ptr<const DiscIndex>>;
    // Whether a search needs piece `piece` of the directory.
    using Wanted = std::function<bool(const IndexBody::Directory& directory, quint32 piece)>;

    // The pieces `wanted` picks from the current index of each of `discs` that has a usable
    // one, in order, by disc id; every piece when `wanted` is empty. Run it inside the search's
    // read transaction so that the indexes match the rows the search sees.
    std::map<qint64, Pieces> load(Connection& connection, const std::vector<qint64>& discs,
                                  const Wanted& wanted = {});
    void clear();

  private:
    struct Stamp {
        qint64 generation = 0;
        qint64 entries = 0;
    };
    struct Slot {
        qint64 generation = 0;
        std::optional<IndexBody::Directory> directory; // none when the stored bytes were unusable
        Pieces pieces;                                 // null until read
    };
    void check(Connection& connection, const std::map<qint64, Stamp>& stamps,
               const std::vector<qint64>& malformed);

    QString path_;
    std::unordered_map<qint64, Slot> slots_;
    bool checked_ = false;
    qint64 dataVersion_ = 0;
    qint64 changes_ = 0;
    std::set<qint64> trusted_; // discs whose index held as many rows as the disc at the check
};
