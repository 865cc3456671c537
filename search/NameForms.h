#pragma once

#include "search/SearchCriteria.h"

#include <QString>

// The File pattern covers the whole name from its first "\", so a part of a name typed on its
// own ("report.pdf") finds nothing. These help such first searches.
namespace NameForms
{
// With "Find names anywhere": a File pattern without "*" and "\" is looked for anywhere in the
// names alone, as "*text*", letters of every script compared without case.
void findAnywhere(SearchCriteria& criteria);
// The pattern to suggest when the search found nothing: the File pattern, without the blanks
// around it, after a "*"; empty when the pattern already begins with "*", "%" or "\" (or
// there is none).
QString suggestion(const SearchCriteria& criteria);
} // namespace NameForms
