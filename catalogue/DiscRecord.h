#pragma once

#include "catalogue/DiscStore.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <map>
#include <optional>

class Connection;

// What the catalogue knows about a disc beyond its `cd` row: where it is kept, notes, its size
// and the medium's identifier. Kept in a table of its own (`disc_record`) keyed by the disc id,
// type letter and date, so the record of a removed disc never shows on a later disc that is
// handed the same id. Catalogues made before the table existed work without it.
struct DiscRecord {
    QString location;
    QString notes;
    std::optional<qint64> totalSpace; // bytes of the medium, as the drive reported them
    std::optional<qint64> freeSpace;
    qint64 folders = 0;
    qint64 files = 0;
    qint64 bytes = 0;     // the files' sizes added up
    QString fileSystemId; // UUID or serial number; empty when the drive gives none
    QString source;       // the image file or folder read as the disc; empty for a medium of its own
    // A random version 4 UUID given when the disc was catalogued, kept through updates and notes
    // and never given to another disc; empty in a catalogue not yet upgraded.
    QString uuid;
    QString updated;       // when its rows were last updated from its medium; empty when never
    qint64 generation = 1; // 1 when catalogued, one more with each update
};

// The medium as the drive reported it when it was catalogued.
struct DiscMedium {
    std::optional<qint64> totalSpace;
    std::optional<qint64> freeSpace;
    QString fileSystemId;
    QString source; // the image file or plain folder that stood for the disc, if one did
};

namespace DiscRecords
{
inline constexpr char kTable[] = "disc_record";
// The table's statement, as create-catalogue and upgrade-catalogue run it.
extern const char* const kCreateTable;

// Whether the catalogue has the table (an older one may not).
bool present(Connection& connection);
// Whether the table has the source column (one made before it was added has not).
bool hasSource(Connection& connection);
// Whether the table has the uuid, updated and generation columns.
bool hasIdentity(Connection& connection);
// Brings a table made by an earlier version to the current form, part of the upgrade of a
// catalogue: the missing columns come, each disc gets a UUID of its own, the rest is kept.
// Returns the names of the columns added ("disc_record.uuid"); none when nothing was missing.
QStringList upgradeTable(Connection& connection);

// The record of that very disc (same id, type letter and date); none when it has none.
std::optional<DiscRecord> find(Connection& connection, const DiscStore::DiscRow& disc);

// The location of every disc that has one, by disc id; only records of the disc now under the id.
std::map<qint64, QString> locations(Connection& connection);
// The UUID of every disc that has one, by disc id, likewise.
std::map<qint64, QString> uuids(Connection& connection);

// The latest disc with this volume label (exactly), file-system identifier and numbers of files
// and folders, as its record holds them: most likely the same disc read again. A disc read from
// an image or a folder (a source) only looks like one read from the same source or from a
// medium. None when no disc matches or the catalogue has no records.
std::optional<DiscStore::DiscRow> lookalike(Connection& connection, const QString& volumeLabel,
                                            const DiscMedium& medium, qint64 files, qint64 folders);

// The totals a cataloguing run kept of the rows it wrote: the number of files and, unless the
// sum left 64 bits, their sizes added up.
struct RunTotals {
    qint64 files = 0;
    std::optional<qint64> bytes;
};

// Writes the record of a disc just catalogued: its totals as the run counted them (without
// sizes, counted from its file rows, whose sum then fails as SQLite's does), the medium's facts,
// no location or notes. Runs inside the caller's transaction; does nothing on a catalogue
// without the table.
void writeCatalogued(Connection& connection, const DiscStore::DiscRow& disc, qint64 folders,
                     const RunTotals& totals, const DiscMedium& medium);

// After an update of the disc's rows, in the update's transaction: the totals and the medium's
// facts become those just read, `updated` now, and the generation one more. Raises the program
// error, changing nothing, when the disc is gone or its record is no longer at `generation`
// (another update came first).
void writeUpdated(Connection& connection, const DiscStore::DiscRow& disc, qint64 generation, qint64 folders,
                  const RunTotals& totals, const DiscMedium& medium);

// Raises the program error when the disc row is no longer that disc (same id, type letter and
// date) or its record no longer at `generation`; reads in the caller's transaction.
void requireSameDisc(Connection& connection, const DiscStore::DiscRow& disc,
                     std::optional<qint64> generation = std::nullopt);

// Sets location and notes of the disc in a transaction of its own, when the disc row still is
// that disc; raises the program error otherwise. The table must be there.
void setTexts(Connection& connection, const DiscStore::DiscRow& disc, const std::optional<QString>& location,
              const std::optional<QString>& notes);

// Drops the record of the disc id; part of every removal of a disc.
void remove(Connection& connection, qint64 discId);

// Fills a record with the totals counted from `files` for every disc that has none (the
// upgrade of an older catalogue); returns how many it made.
int fillMissing(Connection& connection);
} // namespace DiscRecords
