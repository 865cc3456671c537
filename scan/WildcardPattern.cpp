#include "scan/WildcardPattern.h"

WildcardPattern::WildcardPattern(const QString& pattern)
{
    for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString p = part.trimmed();
        if (p.isEmpty())
            continue;
        if (p == QLatin1String("*") || p == QLatin1String("*.*"))
            all_ = true;
        parts_.append(p);
    }
}

bool WildcardPattern::matches(const QString& name) const
{
    if (all_)
        return true;
    const bool hasDot = name.contains(QLatin1Char('.'));
    for (const QString& p : parts_) {
        const QChar* pb = p.constData();
        const QChar* pe = pb + p.size();
        if (matchOne(pb, pe, name.constData(), name.constData() + name.size()))
            return true;
        // "name.*" stands for the name with any extension, including none.
        if (!hasDot && p.endsWith(QLatin1String(".*")) &&
            matchOne(pb, pe - 2, name.constData(), name.constData() + name.size()))
            return true;
    }
    return false;
}

// Iterative glob with one backtrack point: linear in practice, never exponential.
bool WildcardPattern::matchOne(const QChar* p, const QChar* pend, const QChar* n, const QChar* nend)
{
    const QChar* starP = nullptr;
    const QChar* starN = nullptr;
    while (n < nend) {
        if (p < pend && *p == QLatin1Char('*')) {
            starP = ++p;
            starN = n;
        } else if (p < pend && (*p == QLatin1Char('?') || p->toCaseFolded() == n->toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP) {
            p = starP;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pend && *p == QLatin1Char('*'))
        ++p;
    return p == pend;
}
