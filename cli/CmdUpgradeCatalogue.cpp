#include "catalogue/Catalogue.h"
#include "catalogue/Schema.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"

#include <QCommandLineParser>

int cmdUpgradeCatalogue(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("upgrade-catalogue takes no arguments"));
    context.catalogue.connect(context.cataloguePath);
    const Schema::Upgrade upgrade = Schema::upgradeCatalogue(
        context.catalogue.connection(), context.options->isSet(QStringLiteral("reindex")));
    for (const QString& name : upgrade.added)
        Output::line(QStringLiteral("Added ") + fieldText(name));
    if (upgrade.discsIndexed > 0)
        Output::line(QStringLiteral("Built the search index of %1 disc%2")
                         .arg(upgrade.discsIndexed)
                         .arg(upgrade.discsIndexed == 1 ? "" : "s"));
    if (upgrade.added.isEmpty() && upgrade.discsIndexed == 0)
        Output::line(fieldText(context.cataloguePath) + QStringLiteral(" is up to date"));
    return 0;
}
