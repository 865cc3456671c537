#include "search/ResultSet.h"

#include "search/CopySearch.h"

ResultSet::ResultSet(Connection& connection, QObject* parent) : QObject(parent), engine_(connection) {}

template <typename Run> void ResultSet::replaceRows(Run run)
{
    Q_EMIT aboutToChange();
    rows_ = {};
    active_ = false;
    try {
        rows_ = run();
        active_ = true;
    } catch (...) {
        Q_EMIT changed();
        throw;
    }
    Q_EMIT changed();
}

void ResultSet::open(const SearchStatement& statement)
{
    replaceRows([&] { return engine_.run(statement); });
}

void ResultSet::openCopies(const QString& disc, const QString& name, qint64 size)
{
    replaceRows([&] { return CopySearch::run(engine_, disc, name, size); });
}

void ResultSet::restore(ResultSnapshot rows)
{
    replaceRows([&] { return std::move(rows); });
}

void ResultSet::close()
{
    Q_EMIT aboutToChange();
    rows_ = {};
    active_ = false;
    Q_EMIT changed();
}
