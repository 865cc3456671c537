#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

class Query;

// The catalogue's id rules and the removal of one disc, all run on the work query; Catalogue
// offers them to the program.
namespace DiscStore
{
// Largest id plus one; 1 on an empty table. Freed top ids are handed out again. A disc id is
// never below 1, also when a hand-edited catalogue holds only ids below that.
qint64 allocateDiscId(Query& work);
qint64 allocateFileId(Query& work);
// File rows first, then the disc row, then its record, hashes and verifications; the id is part
// of the statement text.
// Every removal of a disc goes through here.
void removeDisc(Query& work, qint64 discId);

// A disc row as it was read: ids are handed out again, so a remembered disc is this row only
// while its id, type letter and date are all still the same.
struct DiscRow {
    qint64 id = 0;
    QString type;
    QVariant date;
    QString volumeLabel;
    QString label() const;
};

// What the user is told when that disc has gone.
QString noLongerThere(const QString& label);
} // namespace DiscStore
