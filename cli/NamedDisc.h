#pragma once

#include "catalogue/Catalogue.h"
#include "common/TessaroError.h"

#include <QString>

// The disc a command names by its label, in any letter case, on the connected catalogue.
inline QString noSuchDisc(const QString& label)
{
    return QStringLiteral("No disc %1 in the catalogue").arg(label);
}

inline DiscStore::DiscRow namedDisc(Catalogue& catalogue, const QString& label)
{
    std::optional<DiscStore::DiscRow> disc = catalogue.findDisc(label);
    if (!disc)
        throw TessaroError(noSuchDisc(label));
    return *disc;
}
