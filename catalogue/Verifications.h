#pragma once

#include "catalogue/DiscStore.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <map>
#include <optional>

class Connection;

// One reading of a disc against its catalogued files: when, what it found, how fast, from where.
struct Verification {
    QString verified; // local time, "YYYY-MM-DD HH:MM:SS"
    qint64 files = 0; // catalogued files looked for
    qint64 ok = 0;
    qint64 changed = 0;
    qint64 unreadable = 0;
    qint64 missing = 0;
    qint64 added = 0; // on the medium, not in the catalogue
    qint64 bytes = 0; // read from the medium
    double seconds = 0;
    QString source; // the folder, device or image read

    bool clean() const { return changed == 0 && unreadable == 0 && missing == 0 && added == 0; }
    // "2 unreadable, 1 missing"; "no problems" when clean.
    QString problems() const;
    // "12034 files verified: 12030 ok, 1 changed, 2 unreadable, 1 missing, 0 new; 9.8 MB/s"
    QString summary() const;
};

// Every verification of every disc, kept in a table of its own (`verification`) keyed like the
// disc records by disc id, type letter and date, so a disc's history never shows on a later disc
// given the same id. Catalogues made before the table existed work without it.
namespace Verifications
{
inline constexpr char kTable[] = "verification";
extern const char* const kCreateTable;
extern const char* const kCreateIndex;

bool present(Connection& connection);

// Keeps the verification, in one statement (whole or not at all), when the disc row still is
// that disc; raises the program error otherwise, or when the catalogue has no such table.
void add(Connection& connection, const DiscStore::DiscRow& disc, const Verification& verification);

// The latest verification of that very disc; none when it has none.
std::optional<Verification> last(Connection& connection, const DiscStore::DiscRow& disc);
// The latest verification of every disc that has one, by disc id.
std::map<qint64, Verification> lastOfEach(Connection& connection);

// Drops the disc's verifications; part of every removal of a disc.
void removeDisc(Connection& connection, qint64 discId);
} // namespace Verifications
