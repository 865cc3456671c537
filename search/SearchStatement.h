#pragma once

#include "catalogue/Query.h"
#include "search/SearchCriteria.h"

#include <QString>
#include <optional>

// The search statement built from the ticked filters: one condition per ticked filter, in
// the filters' order, on the base statement of the five result columns, ordered by disc id,
// folder and name. User values only ever travel as bound parameters.
class SearchStatement
{
  public:
    explicit SearchStatement(const SearchCriteria& criteria);

    const QString& text() const { return text_; }
    const Query::Params& params() const { return params_; }
    // The same statement narrowed to one disc, bound as `vdisc`: how a disc without a
    // search index is searched.
    QString textForOneDisc() const;
    // The disc list the search runs over (columns `id`, `cdid`), narrowed by the disc filter.
    QString discsText() const;

    // The value each condition compares with; empty when its filter adds no condition.
    const std::optional<QString>& disc() const { return disc_; }
    const std::optional<QString>& pattern() const { return pattern_; }
    const std::optional<QString>& dateFrom() const { return dateFrom_; }
    const std::optional<QString>& dateTo() const { return dateTo_; }
    const std::optional<QString>& extension() const { return extension_; }
    // Every extension that matches, each with its dot; empty when the filter adds no condition.
    const QStringList& extensions() const { return extensions_; }
    const std::optional<NamePattern::Terms>& name() const { return name_; }

    // Leading and trailing blanks and control characters removed, every "*" made "%".
    static QString patternValue(const QString& typed);

  private:
    QString conditions_;
    QString text_;
    Query::Params params_;
    std::optional<QString> disc_;
    std::optional<QString> pattern_;
    std::optional<QString> dateFrom_;
    std::optional<QString> dateTo_;
    std::optional<QString> extension_;
    QStringList extensions_;
    std::optional<NamePattern::Terms> name_;
};
