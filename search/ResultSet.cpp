#include "search/ResultSet.h"

ResultSet::ResultSet(Connection& connection, QObject* parent) : QObject(parent), engine_(connection) {}

void ResultSet::open(const SearchStatement& statement)
{
    Q_EMIT aboutToChange();
    rows_ = {};
    active_ = false;
    try {
        rows_ = engine_.run(statement);
        active_ = true;
    } catch (...) {
        Q_EMIT changed();
        throw;
    }
    Q_EMIT changed();
}

void ResultSet::close()
{
    Q_EMIT aboutToChange();
    rows_ = {};
    active_ = false;
    Q_EMIT changed();
}
