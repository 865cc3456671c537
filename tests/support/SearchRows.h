#pragma once

#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"

#include <QStringList>

// A search's rows as comparable texts: what the statement itself returns, and what the engine
// answered. Header only: just the tests that search include it (and link the search library).
namespace SearchRows
{
inline QString row(const QStringList& fields)
{
    return fields.join(QLatin1Char('|'));
}

// What the search statement itself returns, run as it is.
inline QStringList plainRows(Connection& connection, const SearchStatement& statement)
{
    QStringList rows;
    Query query(connection);
    for (query.openWith(statement.text(), statement.params()); !query.eof(); query.next())
        rows << row({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                     query.value(3).toString(), query.value(4).toString()});
    return rows;
}

inline QStringList resultRows(const ResultSet& result)
{
    QStringList rows;
    const ResultSnapshot& r = result.rows();
    for (qsizetype i = 0; i < r.rowCount(); ++i)
        rows << row({r.cdid(i), r.file(i), QString::number(r.dimensione(i)), r.data(i), r.estensione(i)});
    return rows;
}
} // namespace SearchRows
