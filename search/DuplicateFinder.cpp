#include "search/DuplicateFinder.h"

#include "catalogue/Statement.h"

namespace
{
QString text(const Statement& statement, int column)
{
    const std::string_view bytes = statement.text(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}
} // namespace

namespace DuplicateFinder
{
std::vector<Copy> find(Connection& connection, qint64 minSize)
{
    // Sizes first: most files have a size no other file has, and comparing integers is cheap;
    // only the files of shared sizes are then grouped by name.
    Statement select(
        connection,
        "with shared(size) as (select dimensione from files where dimensione >= ?1 group by "
        "dimensione having count(*) > 1), "
        "candidates as (select f.id_cd, f.nome, f.dimensione from files f join shared on "
        "f.dimensione = shared.size), "
        "copied(nome, size) as (select nome, dimensione from candidates group by dimensione, nome "
        "having count(distinct id_cd) > 1) "
        "select cd.tipo || printf('%04d', cd.id), f.path, f.nome, f.data, f.dimensione, "
        "copied.nome from copied join files f on f.dimensione = copied.size and f.nome = "
        "copied.nome join cd on cd.id = f.id_cd "
        "order by copied.size desc, copied.nome, cd.id, f.path, f.nome");
    select.bind(1, minSize);
    std::vector<Copy> copies;
    int group = -1;
    QString lastName;
    qint64 lastSize = -1;
    while (select.step()) {
        Copy copy{text(select, 0), text(select, 1), text(select, 2), text(select, 3), select.integer(4), 0};
        const QString name = text(select, 5);
        if (group < 0 || copy.size != lastSize || name != lastName) {
            ++group;
            lastName = name;
            lastSize = copy.size;
        }
        copy.group = group;
        copies.push_back(std::move(copy));
    }
    return copies;
}
} // namespace DuplicateFinder
