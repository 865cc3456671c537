#include "catalogue/DiscStore.h"

#include "catalogue/Query.h"
#include "catalogue/Statements.h"

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
    return allocate(work, Statements::NewDiscId);
}

qint64 allocateFileId(Query& work)
{
    return allocate(work, Statements::NewFileId);
}

void removeDisc(Query& work, qint64 discId)
{
    work.execWith(Statements::DeleteDiscFiles + QString::number(discId));
    work.execWith(Statements::DeleteDisc + QString::number(discId));
}
} // namespace DiscStore
