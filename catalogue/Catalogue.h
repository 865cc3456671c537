#pragma once

#include "catalogue/Connection.h"
#include "catalogue/DiscStore.h"
#include "catalogue/Query.h"

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

// One catalogue session: the connection and the work query that every list, insert and delete
// of the program runs on, with the operations the windows and commands share. It is made once
// (by main) and handed to whoever needs it; the work query goes before the connection.
class Catalogue
{
  public:
    Catalogue();
    ~Catalogue();
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    void connect(const QString& path, Connection::Access access = Connection::Access::ReadWrite);
    bool connected() const { return connection_.connected(); }
    void disconnect() noexcept;

    Connection& connection() { return connection_; }
    Query& work() { return work_; }

    // Every disc, highest id first.
    std::vector<DiscStore::DiscRow> discs();
    // The disc whose label is `label` with the letters A to Z of both folded, as the catalogue
    // compares text; none when there is no such disc.
    std::optional<DiscStore::DiscRow> findDisc(const QString& label);
    // The number of file rows of each disc that has any, by disc id.
    std::map<qint64, qint64> fileCounts();
    // The extensions as stored, one each, in the catalogue's order.
    QStringList extensions();

    qint64 allocateDiscId() { return DiscStore::allocateDiscId(work_); }
    qint64 allocateFileId() { return DiscStore::allocateFileId(work_); }
    // Removes the disc's file rows, then its disc row, in one transaction: the caller's when one
    // is open, else one of its own.
    void removeDisc(qint64 discId);
    // Removes the disc in a transaction of its own when the row with its id still is that disc;
    // otherwise removes nothing and returns false.
    [[nodiscard]] bool removeIfUnchanged(const DiscStore::DiscRow& disc);

  private:
    Connection connection_;
    Query work_;
};
