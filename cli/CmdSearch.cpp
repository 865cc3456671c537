#include "catalogue/Catalogue.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"

#include <QDate>
#include <cstdio>

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
        throw TessaroError(QStringLiteral("%1 takes a date as YYYY-MM-DD, not '%2'").arg(option, text));
    return QDateTime(date, time);
}

} // namespace

int cmdSearch(const CliContext& context)
{
    SearchCriteria criteria;
    bool countOnly = false;
    bool csv = false;
    QStringList args = context.args;
    while (!args.isEmpty()) {
        QString option = args.takeFirst();
        QString value;
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        const bool inline_ = option.startsWith(QLatin1String("--")) && equals > 0;
        if (inline_) {
            value = option.mid(equals + 1);
            option.truncate(equals);
        }
        auto takeValue = [&]() {
            if (inline_)
                return value;
            if (args.isEmpty())
                throw TessaroError(QStringLiteral("%1 needs a value").arg(option));
            return args.takeFirst();
        };
        if (option == QLatin1String("--disc")) {
            criteria.byDisc = true;
            criteria.discLabel = takeValue();
        } else if (option == QLatin1String("--file")) {
            criteria.byFile = true;
            criteria.pattern = takeValue();
        } else if (option == QLatin1String("--from")) {
            criteria.byDateFrom = true;
            criteria.dateFrom = day(option, takeValue(), QTime(0, 0, 0));
        } else if (option == QLatin1String("--to")) {
            criteria.byDateTo = true;
            criteria.dateTo = day(option, takeValue(), QTime(23, 59, 59));
        } else if (option == QLatin1String("--ext")) {
            criteria.byExtension = true;
            criteria.extension = takeValue();
            // Extensions run from the name's last dot: one with a dot in it cannot exist.
            if (criteria.extension.contains(QLatin1Char('.')))
                throw TessaroError(QStringLiteral("--ext takes an extension without its dot, such as jpg"));
        } else if (option == QLatin1String("--count") && !inline_) {
            countOnly = true;
        } else if (option == QLatin1String("--csv") && !inline_) {
            csv = true;
        } else {
            throw TessaroError(QStringLiteral("search: unknown option %1").arg(option));
        }
    }

    context.catalogue.connect(context.cataloguePath);
    ResultSet result(context.catalogue.connection());
    result.open(SearchStatement(criteria));
    const ResultSnapshot& rows = result.rows();
    const qsizetype found = rows.rowCount();
    if (countOnly) {
        Output::line(QString::number(found));
        return 0;
    }
    if (csv)
        Output::write(QStringLiteral("disc,file,date,size\r\n"));
    for (qsizetype row = 0; row < found; ++row) {
        const QString size = QString::number(rows.dimensione(row));
        if (csv)
            Output::write(QStringList{csvField(rows.cdid(row)), csvField(rows.file(row)),
                                      csvField(rows.data(row)), size}
                              .join(QLatin1Char(',')) +
                          QStringLiteral("\r\n"));
        else
            Output::line(QStringList{fieldText(rows.cdid(row)), fieldText(rows.file(row)),
                                     fieldText(rows.data(row)), size}
                             .join(QLatin1Char('\t')));
    }
    // The count on standard error only once every row has arrived.
    Output::finish();
    std::fprintf(stderr, "%lld files found\n", static_cast<long long>(found));
    return 0;
}
