#pragma once

#include <QByteArray>
#include <QtGlobal>

class Connection;

// The content hashes of files (128-bit XXH3, 16 bytes, most significant first), one row per file
// id in a table of their own (`file_hash`). A row also keeps the disc id and the size the file had
// when it was read: a hash counts only while its file row still has both, so a hash left behind by
// another program never lends itself to a later file given the same id. Catalogues made before
// the table existed work without it.
namespace FileHashes
{
inline constexpr char kTable[] = "file_hash";
inline constexpr int kSize = 16;
// The table's and its index's statements, as create-catalogue and upgrade-catalogue run them.
extern const char* const kCreateTable;
extern const char* const kCreateIndex;

bool present(Connection& connection);

// Hashes of rows no longer there (or no longer of that disc and size) go; part of the upgrade.
void dropOrphans(Connection& connection);

// Drops the hashes of the disc; part of every removal of a disc.
void removeDisc(Connection& connection, qint64 discId);
} // namespace FileHashes
