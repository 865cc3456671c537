#include "search/NameForms.h"

#include "search/SearchStatement.h"

namespace
{
// Without the blanks and control characters around it, as the statement takes it, "*" kept.
QString stripped(const QString& typed)
{
    qsizetype begin = 0;
    qsizetype end = typed.size();
    while (begin < end && typed[begin].unicode() <= 32)
        ++begin;
    while (end > begin && typed[end - 1].unicode() <= 32)
        --end;
    return typed.mid(begin, end - begin);
}
} // namespace

namespace NameForms
{
void findAnywhere(SearchCriteria& criteria)
{
    const QString text = stripped(criteria.pattern);
    if (!criteria.byFile || text.isEmpty() || text.contains(QLatin1Char('*')) ||
        text.contains(QLatin1Char('\\')))
        return;
    criteria.byFile = false;
    criteria.name = NamePattern::Terms{NamePattern::Syntax::Like, NamePattern::Scope::Name,
                                       QLatin1Char('%') + text + QLatin1Char('%')};
}

QString suggestion(const SearchCriteria& criteria)
{
    const QString text = stripped(criteria.pattern);
    if (!criteria.byFile || text.isEmpty() || text.startsWith(QLatin1Char('*')) ||
        text.startsWith(QLatin1Char('%')) || text.startsWith(QLatin1Char('\\')))
        return {};
    return QLatin1Char('*') + text;
}
} // namespace NameForms
