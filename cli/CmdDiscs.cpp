#include "catalogue/Catalogue.h"
#include "catalogue/DiscRecord.h"
#include "catalogue/Transaction.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"

int cmdDiscs(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("discs takes no arguments"));
    Catalogue& catalogue = context.catalogue;
    catalogue.connect(context.cataloguePath, Connection::Access::ReadOnly);
    std::vector<DiscStore::DiscRow> discs;
    std::map<qint64, qint64> counts;
    std::map<qint64, QString> locations;
    {
        // The discs and their counts as one moment of the catalogue.
        Transaction read(catalogue.connection(), Transaction::Kind::Deferred);
        discs = catalogue.discs();
        counts = catalogue.fileCounts();
        locations = DiscRecords::locations(catalogue.connection());
    }
    for (const DiscStore::DiscRow& disc : discs) {
        const auto count = counts.find(disc.id);
        Output::line(QStringList{
            fieldText(disc.label()), fieldText(disc.volumeLabel), fieldText(disc.date.toString()),
            QString::number(count == counts.end() ? 0 : count->second), fieldText(locations[disc.id])}
                         .join(QLatin1Char('\t')));
    }
    return 0;
}
