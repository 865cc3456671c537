#include "catalogue/Catalogue.h"
#include "catalogue/Query.h"
#include "cli/Commands.h"
#include "cli/FileRowWriter.h"
#include "cli/NamedDisc.h"
#include "cli/UsageError.h"
#include "common/TessaroError.h"
#include "search/NameForms.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"

#include <QCommandLineParser>
#include <QDate>
#include <cstdio>

namespace
{
QDateTime day(const QString& option, const QString& text, QTime time)
{
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid() || text.size() != 10)
        throw UsageError(QStringLiteral("%1 takes a date as YYYY-MM-DD, not '%2'").arg(option, text));
    return QDateTime(date, time);
}

// "/" stands for "\\" in patterns typed on the command line.
QString withBackslashes(QString pattern)
{
    return pattern.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

// The text as one word for a POSIX shell.
QString shellWord(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
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
    // TEXT alone is --contains TEXT.
    const bool positional = !context.args.isEmpty();
    int forms = positional ? 1 : 0;
    for (const char* form : {"file", "contains", "name"})
        forms += options.isSet(QLatin1String(form)) ? 1 : 0;
    if (forms > 1)
        throw UsageError(QStringLiteral("--file, --contains, --name and TEXT exclude each other"));
    if (options.isSet(QStringLiteral("file"))) {
        criteria.byFile = true;
        criteria.pattern = withBackslashes(options.value(QStringLiteral("file")));
    }
    if (options.isSet(QStringLiteral("contains")) || positional) {
        const QString text = positional ? context.args.first() : options.value(QStringLiteral("contains"));
        criteria.name = NamePattern::Terms{NamePattern::Syntax::Text, NamePattern::Scope::WholeName,
                                           withBackslashes(text)};
    }
    if (options.isSet(QStringLiteral("name")))
        criteria.name = NamePattern::Terms{NamePattern::Syntax::Glob, NamePattern::Scope::Name,
                                           withBackslashes(options.value(QStringLiteral("name")))};
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
    QStringList extensions = options.values(QStringLiteral("ext"));
    for (QString& extension : extensions) {
        // ".pdf" is taken as pdf; extensions run from the name's last dot, so no other dot fits.
        if (extension.startsWith(QLatin1Char('.')))
            extension.remove(0, 1);
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
    writer.knowDiscs(context.catalogue);
    writer.begin();
    // A count needs no row's texts.
    if (writer.form() != FileRowWriter::Form::Count) {
        for (qsizetype row = 0; row < rows.rowCount(); ++row)
            writer.row(rows.cdid(row), rows.path(row), rows.name(row), rows.data(row), rows.dimensione(row));
    }
    const bool quiet = options.isSet(QStringLiteral("quiet"));
    writer.end(rows.rowCount(), quiet);
    // One hint for the first search of a part of a name, which the whole-name pattern misses.
    const QString suggestion = NameForms::suggestion(criteria);
    if (rows.rowCount() == 0 && !quiet && !suggestion.isEmpty()) {
        QString hint = QStringLiteral("Patterns cover the whole name from the first \\ \u2014 try --file ") +
                       shellWord(suggestion);
        const QString part = suggestion.mid(1);
        if (!part.contains(QLatin1Char('*')) && !part.contains(QLatin1Char('%')))
            hint += QStringLiteral(" or: tessaro-cli search ") + shellWord(part);
        std::fputs((hint + QLatin1Char('\n')).toUtf8().constData(), stderr);
    }
    return 0;
}
