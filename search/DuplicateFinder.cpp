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
    // Then names, as a hash of the folded bytes per size, without making texts: only the rows
    // whose (size, name) hash is on two discs or more are read whole, by their ids.
    struct Seen {
        qint64 disc;
        bool shared;
    };
    QHash<quint64, Seen> byHash;
    std::vector<std::pair<quint64, qint64>> candidates; // hash, file id
    {
        Statement names(connection, "select dimensione, id_cd, nome, id from files where dimensione >= ?1");
        names.bind(1, minSize);
        std::string folded;
        while (names.step()) {
            const qint64 size = names.integer(0);
            if (firstDisc.value(size, 0) != -1)
                continue;
            const qint64 disc = names.integer(1);
            folded = AsciiCase::lower(names.text(2));
            const quint64 hash =
                qHash(QByteArrayView(folded.data(), qsizetype(folded.size())), size_t(size)) ^
                (quint64(size) * 0x9E3779B97F4A7C15ULL);
            const auto it = byHash.find(hash);
            if (it == byHash.end())
                byHash.insert(hash, {disc, false});
            else if (it->disc != disc)
                it->shared = true;
            candidates.emplace_back(hash, names.integer(3));
        }
    }
    std::vector<Row> rows;
    QHash<QPair<qint64, QString>, std::vector<std::size_t>> groups;
    Statement read(connection,
                   "select cd.tipo || printf('%04d', cd.id), f.path, f.nome, f.data, f.dimensione, "
                   "f.id_cd from files f join cd on cd.id = f.id_cd where f.id = ?1");
    for (const auto& [hash, id] : candidates) {
        if (!byHash.value(hash).shared)
            continue;
        read.bind(1, id);
        if (read.step()) {
            Row row{{text(read, 0), text(read, 1), text(read, 2), text(read, 3), read.integer(4), 0},
                    read.integer(5),
                    {}};
            row.foldedName = AsciiCase::lower(row.copy.name);
            groups[{row.copy.size, row.foldedName}].push_back(rows.size());
            rows.push_back(std::move(row));
        }
        read.reset();
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
