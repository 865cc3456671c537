#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <vector>

class Connection;
class Query;

// The catalogue's id rules and the removal of one disc, all run on the work query.
namespace DiscStore
{
// Largest id plus one; 1 on an empty table. Freed top ids are handed out again. A disc id is
// never below 1, also when a hand-edited catalogue holds only ids below that.
qint64 allocateDiscId(Query& work);
qint64 allocateFileId(Query& work);
// File rows first, then the disc row; the id is part of the statement text.
void removeDisc(Query& work, qint64 discId);

// A disc row as it was read: ids are handed out again, so a remembered disc is this row only
// while its id, type letter and date are all still the same.
struct DiscRow {
    qint64 id = 0;
    QString type;
    QVariant date;
    QString label() const;
};

// Every disc, highest id first.
std::vector<DiscRow> discRows(Query& work);

// Removes the disc in a transaction of its own when the row with its id still is that disc;
// otherwise removes nothing and returns false.
[[nodiscard]] bool removeIfUnchanged(Connection& connection, Query& work, const DiscRow& disc);
// What the user is told when that disc has gone.
QString noLongerThere(const QString& label);
} // namespace DiscStore
