#include "catalogue/Schema.h"
#include "cli/Commands.h"
#include "common/TessaroError.h"

#include <cstdio>

int cmdCreateCatalogue(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("create-catalogue takes no arguments"));
    Schema::createCatalogue(context.cataloguePath);
    std::printf("Created %s\n", qPrintable(context.cataloguePath));
    return 0;
}
