#include "search/Coverage.h"

#include "catalogue/Connection.h"
#include "catalogue/FileHashes.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/StatementRows.h"
#include "common/AsciiCase.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <numeric>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace
{
struct HashKey {
    quint64 h1 = 0, h2 = 0;
    bool operator==(const HashKey&) const = default;
};
struct HashKeyHash {
    size_t operator()(const HashKey& k) const { return size_t(k.h1 ^ (k.h2 * 0x9e3779b97f4a7c15ull)); }
};

struct Entry {
    quint64 nameKey = 0; // a hash of the folded name, to sort by; the names themselves decide
    qint64 size = 0;
    qint64 date = 0; // packed digits of "YYYY-MM-DD HH:MM:SS"
    qint64 disc = 0;
    qint64 id = 0;
    size_t nameAt = 0; // the folded name in the table's names
    quint32 nameLength = 0;
    bool hashed = false;
    HashKey hash;
};

// The files read, their names folded as the catalogue compares names, one after another in
// one buffer.
struct Table {
    std::string names;
    std::vector<Entry> entries;
    std::string_view name(const Entry& e) const
    {
        return std::string_view(names).substr(e.nameAt, e.nameLength);
    }
};

quint64 nameKey(std::string_view name)
{
    quint64 h = 1469598103934665603ull;
    for (const char c : name) {
        h ^= static_cast<unsigned char>(AsciiCase::fold(c));
        h *= 1099511628211ull;
    }
    return h;
}

// Dates are compared as the text they are; well-formed ones as their 14 digits, others by a
// hash with the top bit set, so the two never meet.
qint64 packDate(std::string_view text)
{
    qint64 value = 0;
    int digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            ++digits;
        } else if (c != '-' && c != ' ' && c != ':') {
            digits = -100;
        }
    }
    if (text.size() == 19 && digits == 14)
        return value;
    return qint64(nameKey(text) | (1ull << 63));
}

// Up to two different discs seen; enough to tell whether one other than a given disc is there.
struct TwoDiscs {
    qint64 a = -1, b = -1;
    void add(qint64 disc)
    {
        if (a < 0)
            a = disc;
        else if (b < 0 && disc != a)
            b = disc;
    }
    qint64 other(qint64 disc) const { return a >= 0 && a != disc ? a : (b >= 0 && b != disc ? b : -1); }
};

class Loader
{
  public:
    explicit Loader(Connection& connection) : connection_(connection) {}

    // Every file row, or (with a focus disc) the focus disc's rows and the rows of other discs
    // that could be their copies: the same name, or hashed with a size one of them has.
    Table load(std::optional<qint64> focus)
    {
        readHashes();
        Table table;
        std::unordered_set<quint64> names;
        std::unordered_set<qint64> sizes;
        if (focus) {
            read(table, " where id_cd = ?1", *focus, [&](quint64 key, qint64, qint64 size, const auto& hash) {
                names.insert(key);
                if (hash())
                    sizes.insert(size);
                return true;
            });
            read(table, "", 0, [&](quint64 key, qint64 disc, qint64 size, const auto& hash) {
                return disc != *focus && (names.count(key) || (sizes.count(size) && hash()));
            });
        } else {
            read(table, "", 0, [](quint64, qint64, qint64, const auto&) { return true; });
        }
        return table;
    }

  private:
    struct Kept {
        qint64 id;
        qint64 disc;
        qint64 size;
        HashKey hash;
    };

    // The hashes first, in file id order: one pass over their table instead of a lookup per file.
    void readHashes()
    {
        hashes_.clear();
        cursor_ = 0;
        if (!FileHashes::present(connection_))
            return;
        Statement rows(connection_,
                       "select id_file, id_cd, dimensione, hash from file_hash order by id_file");
        while (rows.step()) {
            const QByteArray hash = rows.blob(3);
            if (hash.size() != FileHashes::kSize)
                continue;
            Kept kept{rows.integer(0), rows.integer(1), rows.integer(2), {}};
            std::memcpy(&kept.hash.h1, hash.constData(), 8);
            std::memcpy(&kept.hash.h2, hash.constData() + 8, 8);
            hashes_.push_back(kept);
        }
    }

    // A hash counts only while its row is still of that disc and size. Files come mostly in id
    // order, so the search goes on from where the last one ended.
    const HashKey* hashOf(qint64 id, qint64 disc, qint64 size)
    {
        if (hashes_.empty())
            return nullptr;
        const auto before = [](const Kept& k, qint64 wanted) { return k.id < wanted; };
        if (cursor_ >= hashes_.size() || hashes_[cursor_].id > id) {
            cursor_ = size_t(std::lower_bound(hashes_.begin(), hashes_.end(), id, before) - hashes_.begin());
        } else {
            // Galloping from the cursor: ids asked for mostly grow, often by little.
            size_t step = 1;
            size_t low = cursor_;
            while (low + step < hashes_.size() && hashes_[low + step].id < id) {
                low += step;
                step *= 2;
            }
            const size_t high = std::min(hashes_.size(), low + step + 1);
            cursor_ = size_t(std::lower_bound(hashes_.begin() + qsizetype(low),
                                              hashes_.begin() + qsizetype(high), id, before) -
                             hashes_.begin());
        }
        if (cursor_ >= hashes_.size() || hashes_[cursor_].id != id)
            return nullptr;
        const Kept& found = hashes_[cursor_];
        return found.disc == disc && found.size == size ? &found.hash : nullptr;
    }

    template <typename Keep> void read(Table& table, const char* where, qint64 disc, Keep keep)
    {
        Statement rows(connection_,
                       QByteArray("select id, id_cd, nome, dimensione, data from files") + where);
        if (*where)
            rows.bind(1, disc);
        while (rows.step()) {
            // The columns are read only as far as needed: most rows are dropped on their name.
            const std::string_view name = rows.text(2);
            const quint64 key = nameKey(name);
            const qint64 id = rows.integer(0);
            const qint64 onDisc = rows.integer(1);
            const qint64 size = rows.integer(3);
            // Looked up only for rows that may be kept: most are dropped on their name alone.
            const auto hash = [&] { return hashOf(id, onDisc, size); };
            if (!keep(key, onDisc, size, hash))
                continue;
            Entry e;
            e.nameKey = key;
            e.size = size;
            e.disc = onDisc;
            e.id = id;
            e.nameAt = table.names.size();
            e.nameLength = quint32(name.size());
            table.names.append(name);
            for (size_t at = e.nameAt; at < table.names.size(); ++at)
                table.names[at] = AsciiCase::fold(table.names[at]);
            e.date = packDate(rows.text(4));
            if (const HashKey* kept = hash()) {
                e.hashed = true;
                e.hash = *kept;
            }
            table.entries.push_back(e);
        }
    }

    Connection& connection_;
    std::vector<Kept> hashes_;
    size_t cursor_ = 0;
};

struct Result {
    Table table;
    std::vector<int> best;      // per entry: its strongest level, None without a copy
    std::vector<qint64> copyOn; // per entry: a disc holding a copy, -1 when none
    std::vector<char> excluded; // 1 zero-byte, 2 common name without a hash
    std::vector<char> common;   // a name too common to be evidence
};

Result compute(Table table, const Coverage::Options& options)
{
    Result r;
    const std::vector<Entry>& entries = table.entries;
    const size_t n = entries.size();
    r.best.assign(n, Coverage::None);
    r.copyOn.assign(n, -1);
    r.excluded.assign(n, 0);
    r.common.assign(n, 0);
    // Sorted by the name's hash, size and date, without comparing texts; files whose different
    // names share a hash are then put in the order of their names.
    struct Key {
        quint64 name;
        qint64 size, date;
        int index;
    };
    std::vector<Key> keys(n);
    for (size_t i = 0; i < n; ++i)
        keys[i] = {entries[i].nameKey, entries[i].size, entries[i].date, int(i)};
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return std::tie(a.name, a.size, a.date, a.index) < std::tie(b.name, b.size, b.date, b.index);
    });
    const auto nameOf = [&](size_t k) { return table.name(entries[size_t(keys[k].index)]); };
    // Each run of one name gets a number of its own, so later passes compare numbers, not texts.
    // Different names whose hashes agree (rare) are first put in the order of their names.
    std::vector<int> group(n);
    for (int pass = 0; pass < 2; ++pass) {
        bool mixed = false;
        for (size_t i = 0; i < n; ++i) {
            const bool sameKey = i > 0 && keys[i].name == keys[i - 1].name;
            const bool same = sameKey && nameOf(i) == nameOf(i - 1);
            mixed = mixed || (sameKey && !same);
            group[i] = i == 0 ? 0 : group[i - 1] + !same;
        }
        if (!mixed)
            break;
        for (size_t i = 0; i < n;) {
            size_t j = i + 1;
            while (j < n && keys[j].name == keys[i].name)
                ++j;
            std::stable_sort(
                keys.begin() + qsizetype(i), keys.begin() + qsizetype(j), [&](const Key& a, const Key& b) {
                    return table.name(entries[size_t(a.index)]) < table.name(entries[size_t(b.index)]);
                });
            i = j;
        }
    }
    std::vector<int> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = keys[i].index;
    keys = {};
    const auto sameName = [&](size_t x, size_t y) { return group[x] == group[y]; };

    // Names on too many discs; zero-byte files.
    std::vector<qint64> discs;
    for (size_t i = 0; i < n;) {
        size_t j = i;
        discs.clear();
        while (j < n && sameName(j, i))
            discs.push_back(entries[size_t(order[j++])].disc);
        std::sort(discs.begin(), discs.end());
        const bool common = std::unique(discs.begin(), discs.end()) - discs.begin() > options.commonDiscs;
        for (size_t k = i; k < j; ++k) {
            const Entry& e = entries[size_t(order[k])];
            r.common[size_t(order[k])] = common;
            if (e.size == 0)
                r.excluded[size_t(order[k])] = 1;
            else if (common && !e.hashed)
                r.excluded[size_t(order[k])] = 2;
        }
        i = j;
    }
    const auto note = [&](int index, int level, qint64 disc) {
        if (disc >= 0 && level < r.best[size_t(index)]) {
            r.best[size_t(index)] = level;
            r.copyOn[size_t(index)] = disc;
        }
    };
    // The same size and content.
    std::vector<int> hashed;
    for (size_t i = 0; i < n; ++i)
        if (entries[i].hashed && entries[i].size > 0)
            hashed.push_back(int(i));
    std::sort(hashed.begin(), hashed.end(), [&](int x, int y) {
        const Entry& a = entries[size_t(x)];
        const Entry& b = entries[size_t(y)];
        return std::tie(a.size, a.hash.h1, a.hash.h2) < std::tie(b.size, b.hash.h1, b.hash.h2);
    });
    for (size_t i = 0; i < hashed.size();) {
        size_t j = i;
        TwoDiscs two;
        const Entry& first = entries[size_t(hashed[i])];
        while (j < hashed.size() && entries[size_t(hashed[j])].size == first.size &&
               entries[size_t(hashed[j])].hash == first.hash)
            two.add(entries[size_t(hashed[j++])].disc);
        for (size_t k = i; k < j; ++k)
            note(hashed[k], Coverage::Hash, two.other(entries[size_t(hashed[k])].disc));
        i = j;
    }
    // The same name and size (and date): a file without a hash may be a copy of any; a hashed
    // one only of files without a hash or with its own.
    const auto nameLevel = [&](size_t from, size_t to, int level) {
        TwoDiscs all, unhashed;
        for (size_t k = from; k < to; ++k) {
            all.add(entries[size_t(order[k])].disc);
            if (!entries[size_t(order[k])].hashed)
                unhashed.add(entries[size_t(order[k])].disc);
        }
        if (all.b < 0)
            return; // one disc only
        std::unordered_map<HashKey, TwoDiscs, HashKeyHash> byHash;
        for (size_t k = from; k < to; ++k) {
            const Entry& e = entries[size_t(order[k])];
            if (e.hashed)
                byHash[e.hash].add(e.disc);
        }
        for (size_t k = from; k < to; ++k) {
            const int index = order[k];
            const Entry& e = entries[size_t(index)];
            if (r.excluded[size_t(index)] != 0 || r.common[size_t(index)])
                continue;
            qint64 other = -1;
            if (!e.hashed) {
                other = all.other(e.disc);
            } else {
                other = unhashed.other(e.disc);
                if (other < 0)
                    other = byHash[e.hash].other(e.disc);
            }
            note(index, level, other);
        }
    };
    for (size_t i = 0; i < n;) {
        const Entry& first = entries[size_t(order[i])];
        size_t j = i + 1;
        while (j < n && entries[size_t(order[j])].size == first.size && sameName(j, i))
            ++j;
        if (j - i > 1) {
            for (size_t s = i; s < j;) {
                size_t t = s;
                while (t < j && entries[size_t(order[t])].date == entries[size_t(order[s])].date)
                    ++t;
                if (t - s > 1)
                    nameLevel(s, t, Coverage::NameSizeDate);
                s = t;
            }
            nameLevel(i, j, Coverage::NameSize);
        }
        i = j;
    }
    r.table = std::move(table);
    return r;
}
} // namespace

namespace Coverage
{
const char* levelName(int level)
{
    static const char* const names[] = {"hash", "name+size+date", "name+size"};
    return level >= 0 && level < kLevels ? names[level] : "none";
}

int DiscCoverage::bestWhole() const
{
    if (counted == 0)
        return None;
    for (int level = 0; level < kLevels; ++level)
        if (copies[size_t(level)] == counted)
            return level;
    return None;
}
} // namespace Coverage

namespace
{
// Adds the file `i` of the result to its disc's figures.
void count(const Result& r, size_t i, Coverage::DiscCoverage& d)
{
    const Entry& e = r.table.entries[i];
    d.id = e.disc;
    ++d.files;
    d.bytes += e.size;
    if (r.excluded[i] == 1) {
        ++d.empty;
        return;
    }
    if (r.excluded[i] == 2) {
        ++d.common;
        return;
    }
    ++d.counted;
    d.countedBytes += e.size;
    for (int level = r.best[i]; level < Coverage::kLevels; ++level) {
        ++d.copies[size_t(level)];
        d.copiedBytes[size_t(level)] += e.size;
    }
    if (r.copyOn[i] >= 0)
        d.copyDiscs.insert(r.copyOn[i]);
}
} // namespace

namespace Coverage
{
DiscCoverage disc(Connection& connection, qint64 discId, const Options& options)
{
    const Result r = compute(Loader(connection).load(discId), options);
    DiscCoverage d;
    d.id = discId;
    for (size_t i = 0; i < r.table.entries.size(); ++i)
        if (r.table.entries[i].disc == discId)
            count(r, i, d);
    return d;
}

QString line(const DiscCoverage& d, const std::map<qint64, QString>& labels)
{
    const qint64 copied = d.copies[NameSize];
    if (d.counted == 0)
        return QStringLiteral("Copies elsewhere: no files to compare");
    if (copied == 0)
        return QStringLiteral("Copies elsewhere: none");
    int level = Hash;
    while (d.copies[size_t(level)] < copied)
        ++level;
    static const char* const evidence[] = {"size and content", "name, size and date", "name and size"};
    QStringList discs;
    for (const qint64 id : d.copyDiscs) {
        const auto label = labels.find(id);
        discs << (label == labels.end() ? QString::number(id) : label->second);
    }
    constexpr qsizetype kNamed = 4;
    QString on = discs.mid(0, kNamed).join(QStringLiteral(", "));
    if (discs.size() > kNamed)
        on += QStringLiteral(" and %1 other discs").arg(discs.size() - kNamed);
    const qint64 bytes = d.copiedBytes[size_t(level)];
    return QStringLiteral("Copies elsewhere: %1 % of files, %2 % of bytes, on %3 (%4)")
        .arg(copied * 100 / d.counted)
        .arg(d.countedBytes > 0 ? bytes * 100 / d.countedBytes : 0)
        .arg(on, QLatin1String(evidence[level]));
}

std::vector<DiscCoverage> discs(Connection& connection, const Options& options)
{
    std::vector<qint64> ids;
    {
        Statement list(connection, "select id from cd order by id");
        while (list.step())
            ids.push_back(list.integer(0));
    }
    const Result r = compute(Loader(connection).load(std::nullopt), options);
    std::map<qint64, DiscCoverage> byId;
    for (const qint64 id : ids)
        byId[id].id = id;
    for (size_t i = 0; i < r.table.entries.size(); ++i)
        count(r, i, byId[r.table.entries[i].disc]);
    std::vector<DiscCoverage> out;
    for (auto& [id, d] : byId)
        out.push_back(std::move(d));
    return out;
}

std::vector<qint64> onlyHere(Connection& connection, qint64 discId, const Options& options)
{
    const Result r = compute(Loader(connection).load(discId), options);
    std::vector<qint64> ids;
    for (size_t i = 0; i < r.table.entries.size(); ++i)
        if (r.table.entries[i].disc == discId && r.excluded[i] == 0 && r.best[i] == None)
            ids.push_back(r.table.entries[i].id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

ResultSnapshot onlyHereRows(Connection& connection, qint64 discId, const QString& label,
                            const Options& options)
{
    Transaction read(connection, Transaction::Kind::Deferred);
    const std::vector<qint64> ids = onlyHere(connection, discId, options);
    auto rows = std::make_shared<StatementRows>();
    Statement files(connection, "select id, path, nome, dimensione, data, estensione from files where id_cd "
                                "= ?1 order by path, nome");
    files.bind(1, discId);
    while (files.step()) {
        if (std::binary_search(ids.begin(), ids.end(), files.integer(0)))
            rows->add(files.text(1), files.text(2), files.integer(3), files.text(4), files.text(5));
    }
    ResultSnapshot found;
    found.append(label, std::move(rows));
    return found;
}
} // namespace Coverage
