#include "search/DuplicateFinder.h"

#include "catalogue/Statement.h"
#include "common/AsciiCase.h"

#include <QHash>
#include <algorithm>
#include <set>

namespace
{
QString text(const Statement& statement, int column)
{
    const std::string_view bytes = statement.text(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

struct Row {
    DuplicateFinder::Copy copy;
    qint64 discId = 0;
    QString foldedName;
};
} // namespace

namespace DuplicateFinder
{
std::vector<Copy> find(Connection& connection, qint64 minSize)
{
    // Sizes first, over the integer columns alone: most files have a size that no file on
    // another disc has. Only the files of sizes found on two discs or more are then read whole
    // and grouped by name. (Grouping in SQL would sort the whole table, and joining groups back
    // to `files` scans it once per group: sizes have no index.)
    QHash<qint64, qint64> firstDisc; // size -> its first disc, or -1 once a second disc has it
    {
        Statement sizes(connection, "select dimensione, id_cd from files where dimensione >= ?1");
        sizes.bind(1, minSize);
        while (sizes.step()) {
            const qint64 size = sizes.integer(0);
            const qint64 disc = sizes.integer(1);
            const auto it = firstDisc.find(size);
            if (it == firstDisc.end())
                firstDisc.insert(size, disc);
            else if (it.value() != disc)
                it.value() = -1;
        }
    }
    QHash<qint64, QString> labels;
    {
        Statement discs(connection, "select id, tipo || printf('%04d', id) from cd");
        while (discs.step())
            labels.insert(discs.integer(0), text(discs, 1));
    }
    Statement select(connection,
                     "select dimensione, id_cd, path, nome, data from files where dimensione >= ?1");
    select.bind(1, minSize);
    std::vector<Row> rows;
    QHash<QPair<qint64, QString>, std::vector<std::size_t>> groups;
    while (select.step()) {
        const qint64 size = select.integer(0);
        if (firstDisc.value(size, 0) != -1)
            continue;
        const qint64 disc = select.integer(1);
        // A file row whose disc row is gone belongs to no disc.
        const auto label = labels.constFind(disc);
        if (label == labels.cend())
            continue;
        Row row{{label.value(), text(select, 2), text(select, 3), text(select, 4), size, 0}, disc, {}};
        row.foldedName = AsciiCase::lower(row.copy.name);
        groups[{size, row.foldedName}].push_back(rows.size());
        rows.push_back(std::move(row));
    }
    std::vector<std::vector<std::size_t>> kept;
    for (auto it = groups.begin(); it != groups.end(); ++it) {
        std::set<qint64> discs;
        for (const std::size_t at : it.value())
            discs.insert(rows[at].discId);
        if (discs.size() > 1)
            kept.push_back(std::move(it.value()));
    }
    // The largest files first, then by name; the copies of a file by disc, folder and name.
    const auto byCopy = [&rows](std::size_t a, std::size_t b) {
        const Row& x = rows[a];
        const Row& y = rows[b];
        if (x.discId != y.discId)
            return x.discId < y.discId;
        const int path = AsciiCase::lower(x.copy.path).compare(AsciiCase::lower(y.copy.path));
        return path != 0 ? path < 0 : x.copy.name < y.copy.name;
    };
    for (std::vector<std::size_t>& group : kept)
        std::sort(group.begin(), group.end(), byCopy);
    std::sort(kept.begin(), kept.end(), [&rows](const auto& a, const auto& b) {
        const Row& x = rows[a.front()];
        const Row& y = rows[b.front()];
        return x.copy.size != y.copy.size ? x.copy.size > y.copy.size : x.foldedName < y.foldedName;
    });
    std::vector<Copy> copies;
    int number = 0;
    for (const std::vector<std::size_t>& group : kept) {
        for (const std::size_t at : group) {
            copies.push_back(std::move(rows[at].copy));
            copies.back().group = number;
        }
        ++number;
    }
    return copies;
}
} // namespace DuplicateFinder
