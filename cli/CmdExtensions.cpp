#include "catalogue/Catalogue.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/JsonText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"
#include "search/FilterLists.h"

#include <QCommandLineParser>

int cmdExtensions(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("extensions takes no arguments"));
    context.catalogue.connect(context.cataloguePath, Connection::Access::ReadOnly);
    QStringList entries = FilterLists::extensionEntries(context.catalogue);
    if (context.options->isSet(QStringLiteral("json"))) {
        // Programs get the extensions alone, without the window's placeholder.
        for (const QString& entry : entries)
            Output::line(JsonObject().text("extension", entry).line());
        return 0;
    }
    // The list the main window shows: its placeholder when the catalogue has no extension.
    if (entries.isEmpty())
        entries.append(FilterLists::None);
    for (const QString& entry : entries)
        Output::line(fieldText(entry));
    return 0;
}
