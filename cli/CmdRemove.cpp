#include "catalogue/Catalogue.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"

int cmdRemove(const CliContext& context)
{
    if (context.args.size() != 1)
        throw TessaroError(QStringLiteral("usage: remove LABEL"));
    const QString wanted = context.args.first();
    Catalogue& catalogue = context.catalogue;
    catalogue.connect(context.cataloguePath);
    const std::optional<DiscStore::DiscRow> disc = catalogue.findDisc(wanted);
    if (!disc)
        throw TessaroError(QStringLiteral("No disc %1 in the catalogue").arg(wanted));
    // Another program may remove the disc, and hand its id to a new one, after the list was read.
    if (!catalogue.removeIfUnchanged(*disc))
        throw TessaroError(DiscStore::noLongerThere(disc->label()));
    Output::line(QStringLiteral("Removed ") + fieldText(disc->label()));
    return 0;
}
