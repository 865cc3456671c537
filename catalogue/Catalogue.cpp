#include "catalogue/Catalogue.h"

#include "catalogue/Savepoint.h"
#include "catalogue/Statement.h"
#include "catalogue/Statements.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "common/AsciiCase.h"

#include <optional>
#include <string_view>

namespace
{
// The extension list without a pass over every file: from one extension to the next in the
// order of the extension index, one seek each. Rows, order, and which of the spellings that
// compare equal stands for them (the first in the index) are those of the plain statement,
// which reads the same index in the same order.
constexpr char kNullExtension[] = "select 1 from files where estensione is null limit 1";
constexpr char kFirstExtension[] =
    "select estensione from files where estensione is not null order by estensione limit 1";
constexpr char kNextExtension[] =
    "select estensione from files where estensione > ?1 order by estensione limit 1";

// Whether SQLite takes the next extension by seeking in an index. A catalogue without the
// extension index, or with one of another collation, would pay a pass per extension instead.
bool seeksInIndex(Connection& connection)
{
    Statement plan(connection, QByteArray("explain query plan ") + kNextExtension);
    bool seeks = false;
    while (plan.step()) {
        const std::string_view detail = plan.text(3);
        if (detail.find("TEMP B-TREE") != std::string_view::npos)
            return false;
        seeks =
            seeks || (detail.substr(0, 6) == "SEARCH" && detail.find(" INDEX ") != std::string_view::npos);
    }
    return seeks;
}

// A value as stored, of its own type, so that the next seek compares it as the index orders it.
struct Stored {
    Statement::Type type = Statement::Type::Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes;

    explicit Stored(const Statement& row)
    {
        // The type first: reading a blob as text makes it text.
        type = row.type(0);
        if (type == Statement::Type::Integer)
            integer = row.integer(0);
        else if (type == Statement::Type::Float)
            real = row.real(0);
        const std::string_view text = row.text(0);
        bytes = QByteArray(text.data(), qsizetype(text.size()));
    }
    bool operator==(const Stored&) const = default;
};

// None when a seek did not move on, which only a collation SQLite does not apply alike to
// the index and the comparison could cause.
std::optional<QStringList> extensionsBySeeking(Connection& connection)
{
    QStringList list;
    {
        // Only a table made by another tool can hold one; it comes first, as in the statement.
        Statement nulls(connection, kNullExtension);
        if (nulls.step())
            list.append(QString());
    }
    Statement first(connection, kFirstExtension);
    Statement next(connection, kNextExtension);
    Statement* at = &first;
    std::optional<Stored> last; // bound to `next`, which reads a blob in place
    while (at->step()) {
        Stored value(*at);
        if (last && value == *last)
            return std::nullopt;
        list.append(Query::valueOf(*at, 0).toString());
        at->reset();
        last = std::move(value);
        switch (last->type) {
        case Statement::Type::Integer:
            next.bind(1, last->integer);
            break;
        case Statement::Type::Float:
            next.bindReal(1, last->real);
            break;
        case Statement::Type::Blob:
            next.bindBlob(1, last->bytes);
            break;
        default:
            next.bindText(1, last->bytes);
            break;
        }
        at = &next;
    }
    return list;
}
} // namespace

Catalogue::Catalogue() : work_(connection_) {}

Catalogue::~Catalogue()
{
    disconnect();
}

void Catalogue::connect(const QString& path, Connection::Access access)
{
    work_.close();
    connection_.connect(path, access);
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
    work_.close();
    {
        // Every seek sees the same moment of the catalogue.
        Savepoint read(connection_, Transaction::Kind::Deferred);
        if (seeksInIndex(connection_)) {
            if (std::optional<QStringList> list = extensionsBySeeking(connection_))
                return *list;
        }
    }
    QStringList stored;
    work_.openWith(Statements::ExtensionList);
    for (; !work_.eof(); work_.next())
        stored.append(work_.value(0).toString());
    work_.close();
    return stored;
}

std::map<qint64, qint64> Catalogue::fileCounts()
{
    return SearchIndex::fileCounts(connection_);
}

void Catalogue::removeDisc(qint64 discId)
{
    Savepoint removal(connection_);
    DiscStore::removeDisc(work_, discId);
    removal.commit();
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
