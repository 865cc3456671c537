#include "search/SearchEngine.h"

#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/Savepoint.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/IndexFilter.h"
#include "catalogue/searchindex/StatementRows.h"
#include "search/SearchStatement.h"

#include <string>

namespace
{
std::string utf8(const QString& text)
{
    return text.toStdString();
}

// Runs the statement narrowed to one disc and keeps the rows it returns.
std::shared_ptr<const StatementRows> rowsOfDisc(Connection& connection, const SearchStatement& statement,
                                                qint64 disc)
{
    Query::Params params = statement.params();
    params.emplace_back(QStringLiteral("vdisc"), disc);
    Query query(connection);
    query.openWith(statement.textForOneDisc(), params);
    auto rows = std::make_shared<StatementRows>();
    for (; !query.eof(); query.next()) {
        const std::string path = utf8(query.value(5).toString());
        const std::string name = utf8(query.value(6).toString());
        const std::string extension = utf8(query.value(4).toString());
        const std::string date = utf8(query.value(3).toString());
        rows->add(path, name, query.value(2).toLongLong(), date, extension);
    }
    query.close();
    return rows;
}

IndexFilter::Conditions conditionsOf(const SearchStatement& statement)
{
    return {statement.pattern(), statement.dateFrom(), statement.dateTo(), statement.extensions(),
            statement.name()};
}
} // namespace

ResultSnapshot SearchEngine::run(const SearchStatement& statement)
{
    const IndexFilter filter(conditionsOf(statement));
    // One moment of the catalogue for the disc list, the indexes and the rows.
    const Savepoint read(connection_, Transaction::Kind::Deferred);

    std::vector<qint64> discs;
    std::vector<QString> labels;
    {
        Query list(connection_);
        Query::Params params;
        if (statement.disc())
            params.emplace_back(QStringLiteral("vidcd"), *statement.disc());
        for (list.openWith(statement.discsText(), params); !list.eof(); list.next()) {
            discs.push_back(list.value(0).toLongLong());
            labels.push_back(list.value(1).toString());
        }
    }
    const auto indexes = cache_.load(connection_, discs, filter);

    ResultSnapshot snapshot;
    for (size_t d = 0; d < discs.size(); ++d) {
        const auto indexed = indexes.find(discs[d]);
        if (indexed != indexes.end()) {
            for (const auto& piece : indexed->second)
                filter.append(labels[d], piece, snapshot);
        } else
            snapshot.append(labels[d], rowsOfDisc(connection_, statement, discs[d]));
    }
    return snapshot;
}
