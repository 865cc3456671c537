#include "maintenance/MediumMatcher.h"

#include "catalogue/Catalogue.h"
#include "catalogue/DiscRecord.h"
#include "catalogue/Statement.h"

namespace
{
QString text(const Statement& statement, int column)
{
    const std::string_view bytes = statement.text(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}
} // namespace

std::optional<DiscStore::DiscRow> MediumMatcher::match(const QString& label,
                                                       const QString& fileSystemId) const
{
    Connection& connection = catalogue_.connection();
    if (fileSystemId.isEmpty() || !DiscRecords::present(connection))
        return std::nullopt;
    // The record must belong to the disc now under its id (same type letter and date).
    Statement read(connection,
                   QByteArray("select cd.id, cd.tipo, cd.data, cd.etichetta from disc_record r join cd on "
                              "cd.id = r.id_cd and cd.tipo = r.tipo collate binary and cd.data is r.data "
                              "where cd.etichetta = ?1 collate binary and r.fs_id = ?2 collate binary") +
                       (DiscRecords::hasSource(connection) ? " and r.source = ''" : "") +
                       " order by cd.id desc limit 1");
    read.bindText(1, label.left(49).toUtf8());
    read.bindText(2, fileSystemId.toUtf8());
    if (!read.step())
        return std::nullopt;
    return DiscStore::DiscRow{read.integer(0), text(read, 1), text(read, 2), text(read, 3)};
}
