#include "catalogue/Catalogue.h"
#include "catalogue/DiscRecord.h"
#include "catalogue/Transaction.h"
#include "catalogue/Verifications.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/JsonText.h"
#include "cli/Output.h"
#include "cli/UsageError.h"
#include "common/TessaroError.h"

#include <QCommandLineParser>
#include <QDate>

int cmdDiscs(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("discs takes no arguments"));
    const bool count = context.options->isSet(QStringLiteral("count"));
    const bool json = context.options->isSet(QStringLiteral("json"));
    if (count && json)
        throw UsageError(QStringLiteral("--count and --json exclude each other"));
    const bool attention = context.options->isSet(QStringLiteral("attention"));
    QString before; // "YYYY-MM-DD": verifications earlier than this day are too old
    if (context.options->isSet(QStringLiteral("before"))) {
        if (!attention)
            throw UsageError(QStringLiteral("--before goes with --attention"));
        before = context.options->value(QStringLiteral("before"));
        if (!QDate::fromString(before, QStringLiteral("yyyy-MM-dd")).isValid())
            throw UsageError(QStringLiteral("--before takes a date as YYYY-MM-DD, not '%1'").arg(before));
    }
    Catalogue& catalogue = context.catalogue;
    catalogue.connect(context.cataloguePath, Connection::Access::ReadOnly);
    std::vector<DiscStore::DiscRow> discs;
    std::map<qint64, qint64> counts;
    std::map<qint64, QString> locations;
    std::map<qint64, QString> uuids;
    {
        // The discs and their counts as one moment of the catalogue.
        Transaction read(catalogue.connection(), Transaction::Kind::Deferred);
        discs = catalogue.discs();
        if (attention) {
            // Never verified, verified too long ago, or found wanting the last time.
            const std::map<qint64, Verification> last = Verifications::lastOfEach(catalogue.connection());
            std::erase_if(discs, [&](const DiscStore::DiscRow& disc) {
                const auto found = last.find(disc.id);
                return found != last.end() && found->second.clean() &&
                       (before.isEmpty() || found->second.verified >= before);
            });
        }
        // The number of discs needs none of the files' counts, which take a pass over every file.
        if (count) {
            Output::line(QString::number(discs.size()));
            return 0;
        }
        counts = catalogue.fileCounts();
        locations = DiscRecords::locations(catalogue.connection());
        if (json)
            uuids = DiscRecords::uuids(catalogue.connection());
    }
    for (const DiscStore::DiscRow& disc : discs) {
        const auto found = counts.find(disc.id);
        const qint64 files = found == counts.end() ? 0 : found->second;
        if (json)
            Output::line(
                JsonObject()
                    .text("disc", disc.label())
                    .text("uuid", uuids.count(disc.id) ? std::optional(uuids[disc.id]) : std::nullopt)
                    .text("volume_label", disc.volumeLabel)
                    .text("catalogued", disc.date.toString())
                    .number("files", files)
                    .text("location", locations[disc.id])
                    .line());
        else
            Output::line(QStringList{fieldText(disc.label()), fieldText(disc.volumeLabel),
                                     fieldText(disc.date.toString()), QString::number(files),
                                     fieldText(locations[disc.id])}
                             .join(QLatin1Char('\t')));
    }
    return 0;
}
