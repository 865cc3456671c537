#include "catalogue/DiscStore.h"

#include "catalogue/DiscLabel.h"
#include "catalogue/Query.h"
#include "catalogue/Statements.h"
#include "catalogue/Transaction.h"

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
    work.execWith(Statements::DeleteDiscFiles + QString::number(discId));
    work.execWith(Statements::DeleteDisc + QString::number(discId));
}

QString DiscRow::label() const
{
    return discLabel(type, id);
}

std::vector<DiscRow> discRows(Query& work)
{
    std::vector<DiscRow> rows;
    work.openWith(Statements::DiscRows);
    for (; !work.eof(); work.next())
        rows.push_back({work.fieldAsInt(QStringLiteral("id")), work.fieldAsString(QStringLiteral("tipo")),
                        work.field(QStringLiteral("data"))});
    work.close();
    return rows;
}

bool removeIfUnchanged(Connection& connection, Query& work, const DiscRow& disc)
{
    // The check and both deletes in one transaction: nobody can put another disc under the id
    // between them.
    Transaction transaction(connection);
    work.openWith(Statements::SameDisc, {{QStringLiteral("vid"), disc.id},
                                         {QStringLiteral("vtipo"), disc.type},
                                         {QStringLiteral("vdata"), disc.date}});
    const bool same = !work.eof();
    work.close();
    if (!same)
        return false;
    removeDisc(work, disc.id);
    transaction.commit();
    return true;
}

QString noLongerThere(const QString& label)
{
    return QStringLiteral("Disc %1 is no longer in the catalogue").arg(label);
}
} // namespace DiscStore
