#include "catalogue/Catalogue.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "cli/Commands.h"
#include "cli/DiscUuids.h"
#include "cli/FieldText.h"
#include "cli/FileRowWriter.h"
#include "cli/JsonText.h"
#include "cli/NamedDisc.h"
#include "cli/Output.h"
#include "cli/UsageError.h"
#include "search/Coverage.h"

#include <QCommandLineParser>
#include <algorithm>
#include <map>

namespace
{
QString percent(qint64 part, qint64 whole)
{
    return whole == 0 ? QStringLiteral("-") : QString::number(part * 100 / whole) + QStringLiteral(" %");
}

QString text(const Statement& statement, int column)
{
    const std::string_view bytes = statement.text(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

int onlyHere(const CliContext& context, const QString& label, const Coverage::Options& coverage)
{
    FileRowWriter writer(*context.options);
    Catalogue& catalogue = context.catalogue;
    const DiscStore::DiscRow disc = namedDisc(catalogue, label);
    Transaction read(catalogue.connection(), Transaction::Kind::Deferred);
    const std::vector<qint64> ids = Coverage::onlyHere(catalogue.connection(), disc.id, coverage);
    writer.knowDiscs(catalogue);
    writer.begin();
    Statement rows(catalogue.connection(),
                   "select id, path, nome, data, dimensione from files where id_cd = ?1 order by path, nome");
    rows.bind(1, disc.id);
    qint64 found = 0;
    while (rows.step()) {
        if (!std::binary_search(ids.begin(), ids.end(), rows.integer(0)))
            continue;
        writer.row(disc.label(), text(rows, 1), text(rows, 2), text(rows, 3), rows.integer(4));
        ++found;
    }
    writer.end(found);
    return 0;
}
} // namespace

int cmdCoverage(const CliContext& context)
{
    const QCommandLineParser& options = *context.options;
    Coverage::Options coverage;
    if (options.isSet(QStringLiteral("common"))) {
        bool ok = false;
        coverage.commonDiscs = options.value(QStringLiteral("common")).toInt(&ok);
        if (!ok || coverage.commonDiscs < 1)
            throw UsageError(QStringLiteral("--common takes a number of discs, not '%1'")
                                 .arg(options.value(QStringLiteral("common"))));
    }
    const bool discardable = options.isSet(QStringLiteral("discardable"));
    const bool only = options.isSet(QStringLiteral("only-here"));
    const bool json = options.isSet(QStringLiteral("json"));
    if (only && (discardable || !context.args.isEmpty()))
        throw UsageError(QStringLiteral("--only-here takes one disc and no other"));
    if (discardable && !context.args.isEmpty())
        throw UsageError(QStringLiteral("--discardable takes no disc"));
    for (const char* rowForm : {"count", "csv", "null"})
        if (!only && options.isSet(QLatin1String(rowForm)))
            throw UsageError(QStringLiteral("--%1 goes with --only-here").arg(QLatin1String(rowForm)));
    Catalogue& catalogue = context.catalogue;
    catalogue.connect(context.cataloguePath);
    if (only)
        return onlyHere(context, options.value(QStringLiteral("only-here")), coverage);

    std::vector<DiscStore::DiscRow> discs;
    std::vector<Coverage::DiscCoverage> figures;
    {
        Transaction read(catalogue.connection(), Transaction::Kind::Deferred);
        for (const QString& label : context.args)
            discs.push_back(namedDisc(catalogue, label));
        const bool all = discs.empty();
        if (all)
            discs = catalogue.discs();
        figures = Coverage::discs(catalogue.connection(), coverage);
    }
    const DiscUuids uuids(catalogue);
    std::map<qint64, QString> labels;
    for (const DiscStore::DiscRow& disc : catalogue.discs())
        labels[disc.id] = disc.label();
    std::map<qint64, const Coverage::DiscCoverage*> byId;
    for (const auto& figure : figures)
        byId[figure.id] = &figure;
    const Coverage::DiscCoverage none;
    for (const DiscStore::DiscRow& disc : discs) {
        const auto found = byId.find(disc.id);
        const Coverage::DiscCoverage& d = found == byId.end() ? none : *found->second;
        const int best = d.bestWhole();
        if (discardable && best == Coverage::None)
            continue;
        QStringList holders;
        for (const qint64 id : d.copyDiscs)
            holders << labels[id];
        if (discardable) {
            const QString level = QLatin1String(Coverage::levelName(best));
            if (json)
                Output::line(JsonObject()
                                 .text("disc", disc.label())
                                 .text("uuid", uuids.of(disc.label()))
                                 .number("files", d.files)
                                 .text("evidence", level)
                                 .text("copies_on", holders.join(QLatin1Char(',')))
                                 .line());
            else
                Output::line(QStringList{fieldText(disc.label()), QString::number(d.files), level,
                                         holders.join(QLatin1Char(','))}
                                 .join(QLatin1Char('\t')));
            continue;
        }
        if (json) {
            JsonObject object;
            object.text("disc", disc.label())
                .text("uuid", uuids.of(disc.label()))
                .number("files", d.files)
                .number("bytes", d.bytes)
                .number("counted", d.counted)
                .number("counted_bytes", d.countedBytes)
                .number("empty", d.empty)
                .number("common", d.common);
            static const char* const keys[][2] = {{"hash_files", "hash_bytes"},
                                                  {"name_size_date_files", "name_size_date_bytes"},
                                                  {"name_size_files", "name_size_bytes"}};
            for (int level = 0; level < Coverage::kLevels; ++level)
                object.number(keys[level][0], d.copies[size_t(level)])
                    .number(keys[level][1], d.copiedBytes[size_t(level)]);
            object.text("copies_on", holders.join(QLatin1Char(',')));
            Output::line(object.line());
            continue;
        }
        QStringList fields{fieldText(disc.label()),
                           QStringLiteral("%1 files (%2 counted, %3 empty, %4 common names)")
                               .arg(d.files)
                               .arg(d.counted)
                               .arg(d.empty)
                               .arg(d.common)};
        for (int level = 0; level < Coverage::kLevels; ++level)
            fields << QStringLiteral("%1: %2 files (%3), %4 bytes (%5)")
                          .arg(QLatin1String(Coverage::levelName(level)))
                          .arg(d.copies[size_t(level)])
                          .arg(percent(d.copies[size_t(level)], d.counted))
                          .arg(d.copiedBytes[size_t(level)])
                          .arg(percent(d.copiedBytes[size_t(level)], d.countedBytes));
        Output::line(fields.join(QLatin1Char('\t')));
    }
    return 0;
}
