#pragma once

#include "catalogue/searchindex/ResultSnapshot.h"

#include <QString>
#include <QtGlobal>

class SearchEngine;

// The copies of one file kept on other discs: files of the same name (letters A to Z of either
// case, as the catalogue compares names) and the same size, in the search's order.
namespace CopySearch
{
// Found through the engine, so discs with a search index answer from it; `disc` is the label
// of the disc whose file it is, whose own files are left out.
ResultSnapshot run(SearchEngine& engine, const QString& disc, const QString& name, qint64 size);
} // namespace CopySearch
