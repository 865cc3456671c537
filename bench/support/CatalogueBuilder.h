#pragma once

#include <QString>
#include <QtGlobal>

class Connection;

// Fills a catalogue straight through its tables with discs of made-up but lifelike files:
// photo, music, document, software, source and video folders a few levels deep, the names
// and mixed-case extensions such folders hold, sizes from bytes to hundreds of megabytes and
// dates over thirty years. The same seed gives the same catalogue.
class CatalogueBuilder
{
  public:
    explicit CatalogueBuilder(quint32 seed = 42) : seed_(seed) {}

    // Adds `discs` discs of `filesPerDisc` files each, discs written a few dozen to a transaction; with
    // `searchIndex` each disc's search index is built before its commit, as a run does.
    void build(Connection& connection, int discs, int filesPerDisc, bool searchIndex);

  private:
    quint32 seed_;
};
