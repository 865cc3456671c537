#include "catalogue/Catalogue.h"
#include "catalogue/DiscLabel.h"
#include "catalogue/DiscRecord.h"
#include "catalogue/Transaction.h"
#include "catalogue/Verifications.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/JsonText.h"
#include "cli/NamedDisc.h"
#include "cli/Output.h"
#include "common/TessaroError.h"
#include "search/DiscTree.h"

#include <QCommandLineParser>

namespace
{
QString optionalNumber(const std::optional<qint64>& value)
{
    return value ? QString::number(*value) : QString();
}
} // namespace

int cmdInfo(const CliContext& context)
{
    const QCommandLineParser& options = *context.options;
    const QString wanted = context.args.first();
    Catalogue& catalogue = context.catalogue;
    std::optional<QString> location;
    std::optional<QString> notes;
    if (options.isSet(QStringLiteral("location")))
        location = options.value(QStringLiteral("location"));
    if (options.isSet(QStringLiteral("notes")))
        notes = options.value(QStringLiteral("notes"));
    // Only setting a text writes.
    catalogue.connect(context.cataloguePath,
                      location || notes ? Connection::Access::ReadWrite : Connection::Access::ReadOnly);
    const DiscStore::DiscRow disc = namedDisc(catalogue, wanted);
    if (location || notes)
        DiscRecords::setTexts(catalogue.connection(), disc, location, notes);

    DiscRecord record;
    std::optional<Verification> verified;
    {
        Transaction read(catalogue.connection(), Transaction::Kind::Deferred);
        verified = Verifications::last(catalogue.connection(), disc);
        if (const auto stored = DiscRecords::find(catalogue.connection(), disc)) {
            record = *stored;
        } else {
            // A disc catalogued before records were kept: what its rows tell.
            const DiscTree tree = DiscTree::load(catalogue.connection(), disc.id);
            record.folders = qint64(tree.folders().size());
            record.files = tree.folders().front().allFiles;
            record.bytes = tree.folders().front().allBytes;
        }
    }
    if (options.isSet(QStringLiteral("json"))) {
        Output::line(
            JsonObject()
                .text("disc", disc.label())
                .text("uuid", record.uuid.isEmpty() ? std::nullopt : std::optional(record.uuid))
                .text("volume_label", disc.volumeLabel)
                .text("type", discTypeName(disc.type))
                .text("catalogued", disc.date.toString())
                .number("folders", record.folders)
                .number("files", record.files)
                .number("size", record.bytes)
                .number("total_space", record.totalSpace)
                .number("free_space", record.freeSpace)
                .text("file_system_id", record.fileSystemId)
                .text("location", record.location)
                .text("notes", record.notes)
                .text("source", record.source)
                .text("updated", record.updated.isEmpty() ? std::nullopt : std::optional(record.updated))
                .number("generation", record.generation)
                .line()
                .chopped(1) +
            // Only a disc verified at least once has these members.
            (verified ? QStringLiteral(",\"verified\":%1,\"verification\":%2}")
                            .arg(jsonText(verified->verified), jsonText(verified->problems()))
                      : QStringLiteral("}")));
        return 0;
    }
    const std::pair<const char*, QString> lines[] = {
        {"disc", disc.label()},
        {"volume label", disc.volumeLabel},
        {"type", discTypeName(disc.type)},
        {"catalogued", disc.date.toString()},
        {"folders", QString::number(record.folders)},
        {"files", QString::number(record.files)},
        {"size", QString::number(record.bytes)},
        {"total space", optionalNumber(record.totalSpace)},
        {"free space", optionalNumber(record.freeSpace)},
        {"file system id", record.fileSystemId},
        {"location", record.location},
        {"notes", record.notes},
        {"source", record.source},
        {"uuid", record.uuid},
        {"updated", record.updated},
        {"generation", QString::number(record.generation)},
    };
    for (const auto& [key, value] : lines)
        Output::line(QLatin1String(key) + QStringLiteral(": ") + fieldText(value));
    // A disc never verified has no such line.
    if (verified)
        Output::line(QStringLiteral("verified: ") + verified->verified + QStringLiteral(", ") +
                     verified->problems());
    return 0;
}
