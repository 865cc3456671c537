#include "catalogue/Connection.h"
#include "catalogue/Schema.h"
#include "cli/Commands.h"
#include "common/TessaroError.h"

#include <cstdio>

int cmdUpgradeCatalogue(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("upgrade-catalogue takes no arguments"));
    Connection connection;
    connection.connect(context.cataloguePath);
    const Schema::Upgrade upgrade = Schema::upgradeCatalogue(connection);
    for (const QString& name : upgrade.added)
        std::printf("Added %s\n", qPrintable(name));
    if (upgrade.discsIndexed > 0)
        std::printf("Built the search index of %d disc%s\n", upgrade.discsIndexed,
                    upgrade.discsIndexed == 1 ? "" : "s");
    if (upgrade.added.isEmpty() && upgrade.discsIndexed == 0)
        std::printf("%s is up to date\n", qPrintable(context.cataloguePath));
    return 0;
}
