#include "search/DuplicateFinder.h"

#include "catalogue/Statement.h"
#include "common/AsciiCase.h"

#include <QHash>
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <unordered_map>

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

namespace
{
// The files of a name and size that two or more discs hold, found in two passes over the
// table's integer and name columns, in the table's order, without a statement per file.
struct Groups {
    struct Key {
        qint64 size;
        std::string foldedName;
        bool operator==(const Key& other) const
        {
            return size == other.size && foldedName == other.foldedName;
        }
    };
    struct KeyHash {
        size_t operator()(const Key& key) const
        {
            return std::hash<std::string>()(key.foldedName) ^
                   size_t(quint64(key.size) * 0x9E3779B97F4A7C15ULL);
        }
    };
    struct Group {
        qint64 disc; // the first disc holding it
        bool shared; // a second disc holds it too
    };
    std::map<qint64, QString> labels; // of every disc, by id: files of no disc are no copies
    std::vector<Group> groups;
    std::vector<std::pair<qint64, quint32>> files; // file id (rising), its group

    Groups(Connection& connection, qint64 minSize)
    {
        {
            Statement discs(connection, "select id, tipo || printf('%04d', id) from cd");
            while (discs.step())
                labels[discs.integer(0)] = text(discs, 1);
        }
        // Sizes first, over the integer columns alone: most files have a size that no file on
        // another disc has. Sizes have no index, and grouping in SQL would sort the whole table.
        QHash<qint64, qint64> firstDisc; // size -> its first disc, or -1 once a second disc has it
        {
            Statement sizes(connection, "select dimensione, id_cd from files where dimensione >= ?1");
            sizes.bind(1, minSize);
            while (sizes.step()) {
                const qint64 size = sizes.integer(0);
                const qint64 disc = sizes.integer(1);
                if (!labels.count(disc))
                    continue;
                const auto it = firstDisc.find(size);
                if (it == firstDisc.end())
                    firstDisc.insert(size, disc);
                else if (it.value() != disc)
                    it.value() = -1;
            }
        }
        // Then the names of those sizes, folded as the catalogue compares them.
        std::unordered_map<Key, quint32, KeyHash> numbers;
        Statement names(connection, "select dimensione, id_cd, nome, id from files where dimensione >= ?1 "
                                    "order by id");
        names.bind(1, minSize);
        Key key;
        while (names.step()) {
            key.size = names.integer(0);
            if (firstDisc.value(key.size, 0) != -1)
                continue;
            const qint64 disc = names.integer(1);
            if (!labels.count(disc))
                continue;
            key.foldedName = AsciiCase::lower(names.text(2));
            const auto [it, added] = numbers.try_emplace(key, quint32(groups.size()));
            if (added)
                groups.push_back({disc, false});
            else if (groups[it->second].disc != disc)
                groups[it->second].shared = true;
            files.emplace_back(names.integer(3), it->second);
        }
    }
};
} // namespace

namespace DuplicateFinder
{
qint64 count(Connection& connection, qint64 minSize)
{
    const Groups found(connection, minSize);
    qint64 copies = 0;
    for (const auto& [id, group] : found.files)
        copies += found.groups[group].shared;
    return copies;
}

std::vector<Copy> find(Connection& connection, qint64 minSize)
{
    const Groups found(connection, minSize);
    // The copies' rows, read in one more pass in the order of their ids.
    std::vector<Row> rows;
    QHash<quint32, std::vector<std::size_t>> groups;
    Statement read(
        connection,
        "select id, path, nome, data, dimensione, id_cd from files where dimensione >= ?1 order by id");
    read.bind(1, minSize);
    auto next = found.files.begin();
    while (next != found.files.end() && read.step()) {
        const qint64 id = read.integer(0);
        while (next != found.files.end() && next->first < id)
            ++next;
        if (next == found.files.end() || next->first != id || !found.groups[next->second].shared)
            continue;
        const auto label = found.labels.find(read.integer(5));
        if (label == found.labels.end())
            continue;
        Row row{{label->second, text(read, 1), text(read, 2), text(read, 3), read.integer(4), 0},
                read.integer(5),
                {}};
        row.foldedName = AsciiCase::lower(row.copy.name);
        groups[next->second].push_back(rows.size());
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
