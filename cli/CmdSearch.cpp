#include "catalogue/Catalogue.h"
#include "catalogue/Query.h"
#include "cli/Commands.h"
#include "cli/FileRowWriter.h"
#include "cli/NamedDisc.h"
#include "cli/UsageError.h"
#include "common/TessaroError.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"

#include <QCommandLineParser>
#include <QDate>
#include <optional>
#include <vector>

namespace
{
QDateTime day(const QString& option, const QString& text, QTime time)
{
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid() || text.size() != 10)
        throw UsageError(QStringLiteral("%1 takes a date as YYYY-MM-DD, not '%2'").arg(option, text));
    return QDateTime(date, time);
}

// The letters A to Z folded, as the catalogue compares names.
QString folded(QString text)
{
    for (QChar& c : text) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    }
    return text;
}

} // namespace

int cmdSearch(const CliContext& context)
{
    const QCommandLineParser& options = *context.options;
    SearchCriteria criteria;
    if (options.isSet(QStringLiteral("disc"))) {
        criteria.byDisc = true;
        criteria.discLabel = options.value(QStringLiteral("disc"));
    }
    if (options.isSet(QStringLiteral("file")) && options.isSet(QStringLiteral("contains")))
        throw UsageError(QStringLiteral("--file and --contains exclude each other"));
    if (options.isSet(QStringLiteral("file"))) {
        criteria.byFile = true;
        criteria.pattern = options.value(QStringLiteral("file"));
    }
    // The statement finds every name the text's wildcards could stand for; the rows are then
    // narrowed to the names that hold the text as it is.
    std::optional<QString> contains;
    if (options.isSet(QStringLiteral("contains"))) {
        contains = folded(options.value(QStringLiteral("contains")));
        criteria.byFile = true;
        criteria.pattern = QLatin1Char('*') + *contains + QLatin1Char('*');
    }
    if (options.isSet(QStringLiteral("from"))) {
        criteria.byDateFrom = true;
        criteria.dateFrom =
            day(QStringLiteral("--from"), options.value(QStringLiteral("from")), QTime(0, 0, 0));
    }
    if (options.isSet(QStringLiteral("to"))) {
        criteria.byDateTo = true;
        criteria.dateTo = day(QStringLiteral("--to"), options.value(QStringLiteral("to")), QTime(23, 59, 59));
    }
    if (criteria.byDateFrom && criteria.byDateTo && criteria.dateFrom > criteria.dateTo)
        throw UsageError(
            QStringLiteral("--from %1 is after --to %2")
                .arg(options.value(QStringLiteral("from")), options.value(QStringLiteral("to"))));
    const QStringList extensions = options.values(QStringLiteral("ext"));
    for (const QString& extension : extensions) {
        // Extensions run from the name's last dot: one with a dot in it cannot exist.
        if (extension.contains(QLatin1Char('.')))
            throw UsageError(QStringLiteral("--ext takes an extension without its dot, such as jpg"));
    }
    if (!extensions.isEmpty()) {
        criteria.byExtension = true;
        criteria.extension = extensions.first();
        criteria.moreExtensions = extensions.mid(1);
    }
    FileRowWriter writer(options);

    context.catalogue.connect(context.cataloguePath, Connection::Access::ReadOnly);
    ResultSet result(context.catalogue.connection());
    result.open(SearchStatement(criteria));
    const ResultSnapshot& rows = result.rows();
    if (criteria.byDisc && rows.rowCount() == 0) {
        // The same rule as the search's own: is there a disc of that label at all?
        Query discs(context.catalogue.connection());
        discs.openWith(SearchStatement(criteria).discsText(),
                       {{QStringLiteral("vidcd"), criteria.discLabel}});
        if (discs.eof())
            throw TessaroError(noSuchDisc(criteria.discLabel));
    }
    std::vector<qsizetype> kept;
    for (qsizetype row = 0; row < rows.rowCount(); ++row) {
        if (!contains || folded(rows.file(row)).contains(*contains))
            kept.push_back(row);
    }
    writer.begin();
    // A count needs no row's texts.
    if (writer.form() != FileRowWriter::Form::Count) {
        for (const qsizetype row : kept)
            writer.row(rows.cdid(row), rows.path(row), rows.name(row), rows.data(row), rows.dimensione(row));
    }
    writer.end(qsizetype(kept.size()));
    return 0;
}
