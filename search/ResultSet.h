#pragma once

#include "catalogue/searchindex/ResultSnapshot.h"
#include "search/SearchEngine.h"

#include <QObject>

class Connection;
class SearchStatement;

// The result query: opened by each search with that search's statement, it holds the rows
// found as a snapshot until it is opened again or closed. The results grid follows it.
class ResultSet : public QObject
{
    Q_OBJECT
  public:
    explicit ResultSet(Connection& connection, QObject* parent = nullptr);

    // Closes, then runs the statement. On failure it stays closed and the error goes on.
    void open(const SearchStatement& statement);
    // Closes, then finds the copies of a file on other discs (see CopySearch).
    void openCopies(const QString& disc, const QString& name, qint64 size);
    // Shows rows kept from an earlier result again (going back to it).
    void restore(ResultSnapshot rows);
    // Closes, then finds the disc's files that have no copy on any other disc (see Coverage).
    void openOnlyHere(qint64 discId, const QString& label);
    void close();
    bool active() const { return active_; }
    qsizetype rowCount() const { return rows_.rowCount(); }
    const ResultSnapshot& rows() const { return rows_; }

  Q_SIGNALS:
    // Around every change of the rows, so that views can let go of the old rows first.
    void aboutToChange();
    void changed();

  private:
    template <typename Run> void replaceRows(Run run);

    Connection& connection_;
    SearchEngine engine_;
    ResultSnapshot rows_;
    bool active_ = false;
};
