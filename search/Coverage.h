#pragma once

#include "catalogue/searchindex/ResultSnapshot.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <vector>

class Connection;

// Which files of each disc have a copy on another disc, and on what evidence. Levels, strongest
// first: the same size and content hash (both files hashed); the same name (letters A to Z of
// either case alike, as the catalogue compares names), size and date; the same name and size.
// Where both files have hashes the hashes decide: the same name, size and date with another
// content is no copy. A file counts at a level when its best evidence is that level or stronger.
// Zero-byte files, and unhashed files whose name is on more than `commonDiscs` discs
// (Thumbs.db, desktop.ini), are left out of the shares and counted apart.
namespace Coverage
{
enum Level { Hash = 0, NameSizeDate = 1, NameSize = 2, None = 3 };
inline constexpr int kLevels = 3;
const char* levelName(int level); // "hash", "name+size+date", "name+size"

struct Options {
    int commonDiscs = 10;
};

struct DiscCoverage {
    qint64 id = 0;
    qint64 files = 0;
    qint64 bytes = 0;
    qint64 empty = 0;  // zero-byte files
    qint64 common = 0; // unhashed files with a name too common to mean anything
    qint64 counted = 0;
    qint64 countedBytes = 0;
    std::array<qint64, kLevels> copies{}; // counted files with a copy at that level or stronger
    std::array<qint64, kLevels> copiedBytes{};
    // Discs holding the copies found (one per copied file, the first met), by id.
    std::set<qint64> copyDiscs;
    // The strongest level at which every counted file has a copy; None when some have none.
    int bestWhole() const;
};

// Both read in the caller's transaction, when one is open, so that they see one moment.

// Coverage of every disc, by id.
std::vector<DiscCoverage> discs(Connection& connection, const Options& options = {});

// Coverage of the one disc, reading only the rows that could be copies of its files.
DiscCoverage disc(Connection& connection, qint64 discId, const Options& options = {});

// "Copies elsewhere: 97 % of files, 99 % of bytes, on C0003, D0012 (name, size and date)": the
// shares at the strongest level that holds every copy found, rounded down, so that no figure
// claims more than its evidence; the discs named by `labels` (by id).
QString line(const DiscCoverage& coverage, const std::map<qint64, QString>& labels);

// The file ids of the disc's counted files that have no copy on any other disc, at any level,
// in the catalogue's order of folder and name.
std::vector<qint64> onlyHere(Connection& connection, qint64 discId, const Options& options = {});
// The same files as rows of the grid, under the disc's label; in a read transaction of its own.
ResultSnapshot onlyHereRows(Connection& connection, qint64 discId, const QString& label,
                            const Options& options = {});
} // namespace Coverage
