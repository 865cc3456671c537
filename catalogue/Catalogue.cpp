#include "catalogue/Catalogue.h"

#include "catalogue/Statements.h"
#include "catalogue/Transaction.h"
#include "common/AsciiCase.h"

Catalogue::Catalogue() : work_(connection_) {}

Catalogue::~Catalogue()
{
    disconnect();
}

void Catalogue::connect(const QString& path)
{
    work_.close();
    connection_.connect(path);
}

void Catalogue::disconnect() noexcept
{
    work_.close();
    connection_.disconnect();
}

std::vector<DiscStore::DiscRow> Catalogue::discs()
{
    std::vector<DiscStore::DiscRow> rows;
    work_.openWith(Statements::DiscRows);
    for (; !work_.eof(); work_.next())
        rows.push_back({work_.fieldAsInt(QStringLiteral("id")), work_.fieldAsString(QStringLiteral("tipo")),
                        work_.field(QStringLiteral("data")),
                        work_.fieldAsString(QStringLiteral("etichetta"))});
    work_.close();
    return rows;
}

std::optional<DiscStore::DiscRow> Catalogue::findDisc(const QString& label)
{
    for (DiscStore::DiscRow& disc : discs()) {
        if (AsciiCase::equal(disc.label(), label))
            return std::move(disc);
    }
    return std::nullopt;
}

QStringList Catalogue::extensions()
{
    QStringList stored;
    work_.openWith(Statements::ExtensionList);
    for (; !work_.eof(); work_.next())
        stored.append(work_.value(0).toString());
    work_.close();
    return stored;
}

std::map<qint64, qint64> Catalogue::fileCounts()
{
    std::map<qint64, qint64> counts;
    work_.openWith(Statements::FileCounts);
    for (; !work_.eof(); work_.next())
        counts[work_.fieldAsInt(QStringLiteral("id_cd"))] = work_.fieldAsInt(QStringLiteral("files"));
    work_.close();
    return counts;
}

void Catalogue::removeDisc(qint64 discId)
{
    std::optional<Transaction> own;
    if (!connection_.inTransaction())
        own.emplace(connection_);
    DiscStore::removeDisc(work_, discId);
    if (own)
        own->commit();
}

bool Catalogue::removeIfUnchanged(const DiscStore::DiscRow& disc)
{
    // The check and both deletes in one transaction: nobody can put another disc under the id
    // between them.
    Transaction transaction(connection_);
    work_.openWith(Statements::SameDisc, {{QStringLiteral("vid"), disc.id},
                                          {QStringLiteral("vtipo"), disc.type},
                                          {QStringLiteral("vdata"), disc.date}});
    const bool same = !work_.eof();
    work_.close();
    if (!same)
        return false;
    DiscStore::removeDisc(work_, disc.id);
    transaction.commit();
    return true;
}
