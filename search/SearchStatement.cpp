#include "search/SearchStatement.h"

#include "catalogue/Statements.h"
#include "common/LocalDateTime.h"

namespace
{
const QString kOrder = QStringLiteral(" order by  cd.id,  files.path,  files.nome");

QString baseText()
{
    return QStringLiteral("select ") + Statements::DiscLabelExpression +
           QStringLiteral(" as cdid, files.path || files.nome as file, files.dimensione, files.data,  "
                          "files.estensione from cd, files where files.id_cd = cd.id");
}

// The label is an expression, which compares in binary unless told otherwise.
QString discCondition()
{
    return QStringLiteral(" and ") + Statements::DiscLabelExpression +
           QStringLiteral(" = :vidcd collate nocase");
}

bool blankOrControl(QChar c)
{
    return c.unicode() <= 32;
}
} // namespace

QString SearchStatement::patternValue(const QString& typed)
{
    qsizetype begin = 0;
    qsizetype end = typed.size();
    while (begin < end && blankOrControl(typed[begin]))
        ++begin;
    while (end > begin && blankOrControl(typed[end - 1]))
        --end;
    QString value = typed.mid(begin, end - begin);
    value.replace(QLatin1Char('*'), QLatin1Char('%'));
    return value;
}

SearchStatement::SearchStatement(const SearchCriteria& criteria)
{
    if (criteria.byDisc) {
        conditions_ += discCondition();
        disc_ = criteria.discLabel;
        params_.emplace_back(QStringLiteral("vidcd"), *disc_);
    }
    // Blanks count as a pattern here: they add the condition, with an empty value.
    if (criteria.byFile && !criteria.pattern.isEmpty()) {
        conditions_ += QStringLiteral(" and files.path || files.nome like :vfile");
        pattern_ = patternValue(criteria.pattern);
        params_.emplace_back(QStringLiteral("vfile"), *pattern_);
    }
    if (criteria.name) {
        conditions_ += QStringLiteral(" and tessaro_name_match(:vnameform, :vname, files.path, files.nome)");
        name_ = criteria.name;
        params_.emplace_back(QStringLiteral("vnameform"), name_->code());
        params_.emplace_back(QStringLiteral("vname"), name_->text);
    }
    if (criteria.byDateFrom) {
        conditions_ += QStringLiteral(" and files.data >= :vdatada");
        dateFrom_ = LocalDateTime::fromQDateTime(criteria.dateFrom).toText();
        params_.emplace_back(QStringLiteral("vdatada"), *dateFrom_);
    }
    if (criteria.byDateTo) {
        conditions_ += QStringLiteral(" and files.data <= :vdataa");
        dateTo_ = LocalDateTime::fromQDateTime(criteria.dateTo).toText();
        params_.emplace_back(QStringLiteral("vdataa"), *dateTo_);
    }
    if (criteria.byExtension) {
        extension_ = QLatin1Char('.') + criteria.extension;
        extensions_.append(*extension_);
        params_.emplace_back(QStringLiteral("vestensione"), *extension_);
        if (criteria.moreExtensions.isEmpty()) {
            conditions_ += QStringLiteral(" and files.estensione = :vestensione");
        } else {
            // The column's own collation compares each value of the list.
            QString names = QStringLiteral(":vestensione");
            for (qsizetype i = 0; i < criteria.moreExtensions.size(); ++i) {
                const QString name = QStringLiteral("vestensione%1").arg(i + 2);
                extensions_.append(QLatin1Char('.') + criteria.moreExtensions.at(i));
                params_.emplace_back(name, extensions_.last());
                names += QStringLiteral(", :") + name;
            }
            conditions_ += QStringLiteral(" and files.estensione in (") + names + QLatin1Char(')');
        }
    }
    text_ = baseText() + conditions_ + kOrder;
}

QString SearchStatement::textForOneDisc() const
{
    // The folder and the name apart as well, after the five result columns, so that the
    // rows keep them apart as a disc's index does.
    QString text = baseText();
    text.replace(QStringLiteral(" from cd, files"),
                 QStringLiteral(", files.path, files.nome from cd, files"));
    return text + QStringLiteral(" and cd.id = :vdisc") + conditions_ + kOrder;
}

QString SearchStatement::discsText() const
{
    QString text = QStringLiteral("select cd.id as id, ") + Statements::DiscLabelExpression +
                   QStringLiteral(" as cdid from cd");
    if (disc_)
        text += QStringLiteral(" where ") + Statements::DiscLabelExpression +
                QStringLiteral(" = :vidcd collate nocase");
    return text + QStringLiteral(" order by cd.id");
}
