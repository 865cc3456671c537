#include "search/CopySearch.h"

#include "catalogue/searchindex/StatementRows.h"
#include "common/AsciiCase.h"
#include "search/SearchEngine.h"
#include "search/SearchStatement.h"

#include <map>
#include <memory>

namespace CopySearch
{
ResultSnapshot run(SearchEngine& engine, const QString& disc, const QString& name, qint64 size)
{
    if (name.isEmpty())
        return {};
    // Every file whose whole name ends with "\" and the name. The pattern only narrows: "_" and
    // "%" in a name match more, so the rows are checked for the name itself below. A name that
    // ends in a blank keeps a wildcard at the end, which the pattern's trimming would eat.
    SearchCriteria criteria;
    criteria.byFile = true;
    criteria.pattern = QStringLiteral("*\\") + name;
    if (SearchStatement::patternValue(criteria.pattern).size() != criteria.pattern.size())
        criteria.pattern += QLatin1Char('*');
    const ResultSnapshot found = engine.run(SearchStatement(criteria));

    const QString folded = AsciiCase::lower(name);
    // Copies are few: they are kept as rows of their own, disc by disc in the found order.
    std::vector<std::pair<QString, std::shared_ptr<StatementRows>>> discs;
    for (qsizetype row = 0; row < found.rowCount(); ++row) {
        if (found.dimensione(row) != size)
            continue;
        const QString label = found.cdid(row);
        if (label == disc)
            continue;
        const QString rowName = found.name(row);
        if (AsciiCase::lower(rowName) != folded)
            continue;
        if (discs.empty() || discs.back().first != label)
            discs.emplace_back(label, std::make_shared<StatementRows>());
        discs.back().second->add(found.path(row).toStdString(), rowName.toStdString(), size,
                                 found.data(row).toStdString(), found.estensione(row).toStdString());
    }
    ResultSnapshot copies;
    for (auto& [label, rows] : discs)
        copies.append(label, std::move(rows));
    return copies;
}
} // namespace CopySearch
