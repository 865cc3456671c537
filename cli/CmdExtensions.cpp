#include "catalogue/Catalogue.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"
#include "search/FilterLists.h"

int cmdExtensions(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("extensions takes no arguments"));
    context.catalogue.connect(context.cataloguePath, Connection::Access::ReadOnly);
    QStringList entries = FilterLists::extensionEntries(context.catalogue);
    // The list the main window shows: its placeholder when the catalogue has no extension.
    if (entries.isEmpty())
        entries.append(FilterLists::None);
    for (const QString& entry : entries)
        Output::line(fieldText(entry));
    return 0;
}
