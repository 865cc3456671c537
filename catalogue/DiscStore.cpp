#include "catalogue/DiscStore.h"

#include "catalogue/DiscLabel.h"
#include "catalogue/DiscRecord.h"
#include "catalogue/FileHashes.h"
#include "catalogue/Query.h"
#include "catalogue/Statements.h"
#include "catalogue/Verifications.h"
#include "catalogue/searchindex/SearchIndex.h"

#include <algorithm>

namespace
{
qint64 allocate(Query& work, const QString& statement)
{
    work.openWith(statement);
    const qint64 id =
        work.fieldIsNull(QStringLiteral("new_id")) ? 1 : work.fieldAsInt(QStringLiteral("new_id"));
    work.close();
    return id;
}
} // namespace

namespace DiscStore
{
qint64 allocateDiscId(Query& work)
{
    // Zero and below mean "no disc" to the cataloguing run.
    return std::max<qint64>(allocate(work, Statements::NewDiscId), 1);
}

qint64 allocateFileId(Query& work)
{
    return allocate(work, Statements::NewFileId);
}

void removeDisc(Query& work, qint64 discId)
{
    const bool stamped = SearchIndex::stampHolds(work.connection());
    work.execWith(Statements::DeleteDiscFiles + QString::number(discId));
    work.execWith(Statements::DeleteDisc + QString::number(discId));
    DiscRecords::remove(work.connection(), discId);
    FileHashes::removeDisc(work.connection(), discId);
    Verifications::removeDisc(work.connection(), discId);
    SearchIndex::removeDisc(work.connection(), discId, stamped);
}

QString DiscRow::label() const
{
    return discLabel(type, id);
}

QString noLongerThere(const QString& label)
{
    return QStringLiteral("Disc %1 is no longer in the catalogue").arg(label);
}
} // namespace DiscStore
