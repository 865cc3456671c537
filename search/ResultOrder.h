#pragma once

#include <QtGlobal>
#include <vector>

class ResultSnapshot;

// The rows of a result in the order of one of the grid's columns, for a click on its title.
// Discs go by number, names by their full name with the letters A to Z of either case alike
// (as the catalogue compares text), dates and sizes by value; rows that tie keep the
// catalogue's order, in either direction. Names are compared where the rows keep them, so a
// sort of a million rows costs no copy of their text.
class ResultOrder
{
  public:
    enum class Key { Disc, File, Date, Size };

    // Positions in `rows`, in the order to show them.
    static std::vector<quint32> sorted(const ResultSnapshot& rows, Key key, bool descending);
};
