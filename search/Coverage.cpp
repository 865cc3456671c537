#include "search/Coverage.h"

#include "catalogue/Connection.h"
#include "catalogue/FileHashes.h"
#include "catalogue/Statement.h"
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
struct Entry {
    std::string name; // folded as the catalogue compares names
    qint64 size = 0;
    qint64 date = 0; // packed digits of "YYYY-MM-DD HH:MM:SS"
    qint64 disc = 0;
    qint64 id = 0;
    quint64 h1 = 0, h2 = 0;
    bool hashed = false;
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

struct HashKey {
    quint64 h1, h2;
    bool operator==(const HashKey&) const = default;
};
struct HashKeyHash {
    size_t operator()(const HashKey& k) const { return size_t(k.h1 ^ (k.h2 * 0x9e3779b97f4a7c15ull)); }
};

class Loader
{
  public:
    Loader(Connection& connection) : connection_(connection), hashes_(FileHashes::present(connection)) {}

    // Every file row, or (with a focus disc) the focus disc's rows and the rows of other discs
    // that could be their copies: the same name, or hashed with a size one of them has.
    std::vector<Entry> load(std::optional<qint64> focus)
    {
        std::vector<Entry> entries;
        std::unordered_set<quint64> names;
        std::unordered_set<qint64> sizes;
        if (focus) {
            read(" where f.id_cd = ?1", *focus, [&](Entry&& e, quint64 key) {
                names.insert(key);
                if (e.hashed)
                    sizes.insert(e.size);
                entries.push_back(std::move(e));
            });
            read(
                " where f.id_cd <> ?1", *focus,
                [&](Entry&& e, quint64 key) {
                    if (names.count(key) || (e.hashed && sizes.count(e.size)))
                        entries.push_back(std::move(e));
                },
                &names);
        } else {
            read("", 0, [&](Entry&& e, quint64) { entries.push_back(std::move(e)); });
        }
        return entries;
    }

  private:
    template <typename Take>
    void read(const char* where, qint64 disc, Take take, const std::unordered_set<quint64>* names = nullptr)
    {
        QByteArray sql = hashes_
                             ? QByteArray("select f.id, f.id_cd, f.nome, f.dimensione, f.data, h.hash from "
                                          "files f left join file_hash h on h.id_file = f.id and h.id_cd "
                                          "= f.id_cd and h.dimensione = f.dimensione")
                             : QByteArray("select f.id, f.id_cd, f.nome, f.dimensione, f.data, null from "
                                          "files f");
        sql += where;
        Statement rows(connection_, sql);
        if (std::strlen(where) > 0)
            rows.bind(1, disc);
        while (rows.step()) {
            const std::string_view name = rows.text(2);
            const quint64 key = nameKey(name);
            const bool hashed = rows.type(5) == Statement::Type::Blob;
            const qint64 size = rows.integer(3);
            // Rows that cannot be copies are not even copied out of the statement.
            if (names && !names->count(key) && !hashed)
                continue;
            Entry e;
            e.id = rows.integer(0);
            e.disc = rows.integer(1);
            e.name = AsciiCase::lower(name);
            e.size = size;
            e.date = packDate(rows.text(4));
            if (hashed) {
                const QByteArray hash = rows.blob(5);
                if (hash.size() == FileHashes::kSize) {
                    e.hashed = true;
                    std::memcpy(&e.h1, hash.constData(), 8);
                    std::memcpy(&e.h2, hash.constData() + 8, 8);
                }
            }
            take(std::move(e), key);
        }
    }

    Connection& connection_;
    bool hashes_;
};

struct Result {
    std::vector<Entry> entries;
    std::vector<int> best;      // per entry: its strongest level, None without a copy
    std::vector<qint64> copyOn; // per entry: a disc holding a copy, -1 when none
    std::vector<char> excluded; // 1 zero-byte, 2 common name without a hash
    std::vector<char> common;   // a name too common to be evidence
};

Result compute(std::vector<Entry> entries, const Coverage::Options& options)
{
    Result r;
    const size_t n = entries.size();
    r.best.assign(n, Coverage::None);
    r.copyOn.assign(n, -1);
    r.excluded.assign(n, 0);
    r.common.assign(n, 0);
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int x, int y) {
        const Entry& a = entries[size_t(x)];
        const Entry& b = entries[size_t(y)];
        if (const int c = a.name.compare(b.name))
            return c < 0;
        if (a.size != b.size)
            return a.size < b.size;
        return a.date < b.date;
    });
    // Names on too many discs; zero-byte files.
    std::vector<qint64> discs;
    for (size_t i = 0; i < n;) {
        size_t j = i;
        discs.clear();
        while (j < n && entries[size_t(order[j])].name == entries[size_t(order[i])].name)
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
        return std::tie(a.size, a.h1, a.h2) < std::tie(b.size, b.h1, b.h2);
    });
    for (size_t i = 0; i < hashed.size();) {
        size_t j = i;
        TwoDiscs two;
        const Entry& first = entries[size_t(hashed[i])];
        while (j < hashed.size() && entries[size_t(hashed[j])].size == first.size &&
               entries[size_t(hashed[j])].h1 == first.h1 && entries[size_t(hashed[j])].h2 == first.h2)
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
                byHash[{e.h1, e.h2}].add(e.disc);
        }
        for (size_t k = from; k < to; ++k) {
            const int index = order[k];
            const Entry& e = entries[size_t(index)];
            if (r.excluded[size_t(index)] != 0 || r.common[size_t(index)])
                continue;
            qint64 other = -1;
            if (!e.hashed) {
                other = unhashed.other(e.disc);
            } else {
                other = unhashed.other(e.disc);
                if (other < 0)
                    other = byHash[{e.h1, e.h2}].other(e.disc);
            }
            note(index, level, other);
        }
    };
    for (size_t i = 0; i < n;) {
        const Entry& first = entries[size_t(order[i])];
        size_t j = i;
        while (j < n && entries[size_t(order[j])].size == first.size &&
               entries[size_t(order[j])].name == first.name)
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
    r.entries = std::move(entries);
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

namespace Coverage
{
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
    for (size_t i = 0; i < r.entries.size(); ++i) {
        const Entry& e = r.entries[i];
        DiscCoverage& d = byId[e.disc];
        d.id = e.disc;
        ++d.files;
        d.bytes += e.size;
        if (r.excluded[i] == 1) {
            ++d.empty;
            continue;
        }
        if (r.excluded[i] == 2) {
            ++d.common;
            continue;
        }
        ++d.counted;
        d.countedBytes += e.size;
        for (int level = r.best[i]; level < kLevels; ++level) {
            ++d.copies[size_t(level)];
            d.copiedBytes[size_t(level)] += e.size;
        }
        if (r.copyOn[i] >= 0)
            d.copyDiscs.insert(r.copyOn[i]);
    }
    std::vector<DiscCoverage> out;
    for (auto& [id, d] : byId)
        out.push_back(std::move(d));
    return out;
}

std::vector<qint64> onlyHere(Connection& connection, qint64 discId, const Options& options)
{
    const Result r = compute(Loader(connection).load(discId), options);
    std::vector<qint64> ids;
    for (size_t i = 0; i < r.entries.size(); ++i)
        if (r.entries[i].disc == discId && r.excluded[i] == 0 && r.best[i] == None)
            ids.push_back(r.entries[i].id);
    std::sort(ids.begin(), ids.end());
    return ids;
}
} // namespace Coverage
