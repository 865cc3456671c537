#pragma once

#include <QtGlobal>

class Query;

// The catalogue's id rules and the removal of one disc, all run on the work query.
namespace DiscStore
{
// Largest id plus one; 1 on an empty table. Freed top ids are handed out again.
qint64 allocateDiscId(Query& work);
qint64 allocateFileId(Query& work);
// File rows first, then the disc row; the id is part of the statement text.
void removeDisc(Query& work, qint64 discId);
} // namespace DiscStore
