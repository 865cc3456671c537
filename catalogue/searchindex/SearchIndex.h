#pragma once

#include <QString>
#include <QtGlobal>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

class Connection;
class DiscIndex;
class DiscIndexFeed;
class Transaction;

// The catalogue's search index: one packed DiscIndex per disc in the table search_index,
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
bool indexDisc(Connection& connection, qint64 discId);
// The same from the rows the run fed in as it wrote them, in the run's transaction: `rows`
// must hold every file row of the disc, and nothing else may have written any.
bool indexDisc(Connection& connection, qint64 discId, const DiscIndexFeed& rows);
// Indexes every disc that has no index and drops indexes of discs that no longer exist.
// Returns how many discs were indexed.
int indexMissing(Connection& connection);
// A read transaction for one search, or null when the connection is already in a transaction.
std::unique_ptr<Transaction> readTransaction(Connection& connection);
} // namespace SearchIndex

// Keeps the discs' indexes in memory between searches; an index is read again only when the
// catalogue holds a different one (each build stamps a fresh random generation). Whenever the
// catalogue has changed since the last search, each index's row count is checked against
// the disc's rows, so that rows added to an indexed disc are never missed.
class SearchIndexCache
{
  public:
    // The current index of each of `discs` that has a usable one, by disc id. Run it inside
    // the search's read transaction so that the indexes match the rows the search sees.
    std::map<qint64, std::shared_ptr<const DiscIndex>> load(Connection& connection,
                                                            const std::vector<qint64>& discs);
    void clear();

  private:
    struct Stamp {
        qint64 generation = 0;
        qint64 entries = 0;
    };
    struct Slot {
        qint64 generation = 0;
        std::shared_ptr<const DiscIndex> index; // null when the stored bytes were unusable
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
