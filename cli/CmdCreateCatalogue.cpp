#include "catalogue/Schema.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"

int cmdCreateCatalogue(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("create-catalogue takes no arguments"));
    Schema::createCatalogue(context.cataloguePath);
    Output::line(QStringLiteral("Created ") + fieldText(context.cataloguePath));
    return 0;
}
