#pragma once

#include "catalogue/searchindex/ResultSnapshot.h"
#include "catalogue/searchindex/SearchIndex.h"

class Connection;
class SearchStatement;

// Answers a search statement. A disc with a search index is answered from the index, in
// memory, with the statement's own rules; a disc without one runs the statement itself,
// narrowed to that disc. Both go through one read transaction, so the rows are one
// consistent snapshot of the catalogue.
class SearchEngine
{
  public:
    explicit SearchEngine(Connection& connection) : connection_(connection) {}

    ResultSnapshot run(const SearchStatement& statement);
    // Drops the indexes kept in memory.
    void forget() { cache_.clear(); }

  private:
    Connection& connection_;
    SearchIndexCache cache_;
};
