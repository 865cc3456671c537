#include "search/ResultSet.h"

#include "search/CopySearch.h"
#include "search/Coverage.h"

ResultSet::ResultSet(Connection& connection, QObject* parent)
    : QObject(parent), connection_(connection), engine_(connection)
{
}

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

void ResultSet::openOnlyHere(qint64 discId, const QString& label)
{
    replaceRows([&] { return Coverage::onlyHereRows(connection_, discId, label); });
}

void ResultSet::close()
{
    Q_EMIT aboutToChange();
    rows_ = {};
    active_ = false;
    Q_EMIT changed();
}
