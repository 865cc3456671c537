#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/JsonText.h"
#include "cli/Output.h"
#include "cli/UsageError.h"
#include "common/TessaroError.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"

#include <QCommandLineParser>
#include <QDate>
#include <cstdio>
#include <optional>
#include <vector>

namespace
{
// RFC 4180: a field holding a comma, a quote or a line break is quoted, quotes doubled. The
// value itself stays exact: CSV is for programs, which need the names as they are.
QString csvField(const QString& value)
{
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) &&
        !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

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

enum class Form { Tabs, Count, Csv, Json, Null };

Form outputForm(const QCommandLineParser& options)
{
    Form form = Form::Tabs;
    int chosen = 0;
    for (const auto& [name, each] : {std::pair{"count", Form::Count}, std::pair{"csv", Form::Csv},
                                     std::pair{"json", Form::Json}, std::pair{"null", Form::Null}}) {
        if (options.isSet(QLatin1String(name))) {
            form = each;
            ++chosen;
        }
    }
    if (chosen > 1)
        throw UsageError(QStringLiteral("--count, --csv, --json and --null exclude each other"));
    return form;
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
    const Form form = outputForm(options);

    Connection connection;
    connection.connect(context.cataloguePath);
    ResultSet result(connection);
    result.open(SearchStatement(criteria));
    const ResultSnapshot& rows = result.rows();
    if (criteria.byDisc && rows.rowCount() == 0) {
        // The same rule as the search's own: is there a disc of that label at all?
        Query discs(connection);
        discs.openWith(SearchStatement(criteria).discsText(),
                       {{QStringLiteral("vidcd"), criteria.discLabel}});
        if (discs.eof())
            throw TessaroError(QStringLiteral("No disc %1 in the catalogue").arg(criteria.discLabel));
    }
    std::vector<qsizetype> kept;
    for (qsizetype row = 0; row < rows.rowCount(); ++row) {
        if (!contains || folded(rows.file(row)).contains(*contains))
            kept.push_back(row);
    }
    const auto found = qsizetype(kept.size());
    if (form == Form::Count) {
        Output::line(QString::number(found));
        return 0;
    }
    if (form == Form::Csv)
        Output::write(QStringLiteral("disc,file,date,size\r\n"));
    for (const qsizetype row : kept) {
        const QString size = QString::number(rows.dimensione(row));
        switch (form) {
        case Form::Csv:
            Output::write(QStringList{csvField(rows.cdid(row)), csvField(rows.file(row)),
                                      csvField(rows.data(row)), size}
                              .join(QLatin1Char(',')) +
                          QStringLiteral("\r\n"));
            break;
        case Form::Json:
            Output::line(QStringLiteral("{\"disc\":%1,\"path\":%2,\"name\":%3,\"date\":%4,\"size\":%5}")
                             .arg(jsonText(rows.cdid(row)), jsonText(rows.path(row)),
                                  jsonText(rows.name(row)), jsonText(rows.data(row)), size));
            break;
        case Form::Null:
            Output::write(
                QStringList{rows.cdid(row), rows.file(row), rows.data(row), size}.join(QLatin1Char('\t')) +
                QChar(0));
            break;
        default:
            Output::line(QStringList{fieldText(rows.cdid(row)), fieldText(rows.file(row)),
                                     fieldText(rows.data(row)), size}
                             .join(QLatin1Char('\t')));
        }
    }
    // The count on standard error only once every row has arrived.
    Output::finish();
    std::fprintf(stderr, "%lld files found\n", static_cast<long long>(found));
    return 0;
}
