#include "catalogue/Catalogue.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/NamedDisc.h"
#include "cli/Output.h"
#include "common/TessaroError.h"

int cmdRemove(const CliContext& context)
{
    if (context.args.size() != 1)
        throw TessaroError(QStringLiteral("usage: remove LABEL"));
    const QString wanted = context.args.first();
    Catalogue& catalogue = context.catalogue;
    catalogue.connect(context.cataloguePath);
    const DiscStore::DiscRow disc = namedDisc(catalogue, wanted);
    // Another program may remove the disc, and hand its id to a new one, after the list was read.
    if (!catalogue.removeIfUnchanged(disc))
        throw TessaroError(DiscStore::noLongerThere(disc.label()));
    Output::line(QStringLiteral("Removed ") + fieldText(disc.label()));
    return 0;
}
