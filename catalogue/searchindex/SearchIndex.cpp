#include "catalogue/searchindex/SearchIndex.h"

#include "catalogue/Connection.h"
#include "catalogue/Savepoint.h"
#include "catalogue/Schema.h"
#include "catalogue/Statement.h"
#include "catalogue/searchindex/DiscIndex.h"
#include "catalogue/searchindex/DiscIndexFeed.h"
#include "catalogue/searchindex/IndexBody.h"
#include "catalogue/searchindex/IndexFilter.h"
#include "common/TessaroError.h"

#include <QRandomGenerator>
#include <algorithm>
#include <bit>
#include <limits>
#include <tuple>

namespace
{
// Discs indexed together by indexMissing: their postings go in sorted by key, so that each
// key's pages are written once for all of them.
constexpr size_t kBatchDiscs = 64;

bool isText(const Statement& s, int column)
{
    return s.type(column) == Statement::Type::Text;
}

bool isInteger(const Statement& s, int column)
{
    return s.type(column) == Statement::Type::Integer;
}

// Reads the disc's rows in the grid's order into the builder; false when one does not fit.
bool buildIndex(Connection& connection, qint64 discId, IndexBody::Builder& builder)
{
    Statement rows(connection,
                   "select id, path, nome, estensione, dimensione, data from files where id_cd = ?1 "
                   "order by path, nome, id");
    rows.bind(1, discId);
    while (rows.step()) {
        if (!isInteger(rows, 0) || !isText(rows, 1) || !isText(rows, 2) || !isText(rows, 3) ||
            !isInteger(rows, 4) || !isText(rows, 5))
            return false;
        if (!builder.add(rows.integer(0), rows.text(1), rows.text(2), rows.text(3), rows.integer(4),
                         rows.text(5)))
            return false;
    }
    return true;
}

std::optional<qint64> scalar(Connection& connection, const char* sql, qint64 bound = 0)
{
    Statement one(connection, sql);
    if (one.parameterCount() > 0)
        one.bind(1, bound);
    if (!one.step() || !isInteger(one, 0))
        return std::nullopt;
    return one.integer(0);
}

qint64 count(Connection& connection, const char* sql, qint64 bound = 0)
{
    return scalar(connection, sql, bound).value_or(0);
}

void run(Connection& connection, const char* sql, qint64 bound)
{
    Statement one(connection, sql);
    one.bind(1, bound);
    one.step();
}

bool triggersHold(Connection& connection)
{
    const Schema::Triggers triggers = Schema::triggers(connection);
    return triggers.allOwn && triggers.foreign.isEmpty();
}

// The index's three tables, each exactly as the program makes it.
bool tablesHold(Connection& connection)
{
    return Schema::ownTable(connection, "search_index") &&
           Schema::ownTable(connection, "search_index_piece") &&
           Schema::ownTable(connection, "search_trigram");
}

qint64 highestFile(Connection& connection)
{
    // Asked alone, max() of the key is one step down the table.
    return count(connection, "select max(id) from files");
}

std::optional<qint64> readStamp(Connection& connection)
{
    if (!Schema::ownTable(connection, "search_stamp"))
        return std::nullopt;
    return scalar(connection, "select highest_file from search_stamp");
}

void writeStamp(Connection& connection, qint64 highest)
{
    if (!Schema::ownTable(connection, "search_stamp"))
        return;
    connection.exec("delete from search_stamp");
    Statement stamp(connection, "insert into search_stamp (highest_file) values (?1)");
    stamp.bind(1, highest);
    stamp.step();
}

qint64 newGeneration()
{
    return qint64(QRandomGenerator::global()->generate64() >> 1) + 1;
}

// The keys of the disc's postings, found again from its pieces, in rising order; none when a
// piece is unreadable or there are none.
std::optional<std::vector<quint32>> keysFromPieces(Connection& connection, qint64 disc)
{
    // One bit a key: a disc's texts hold millions of stretches, but only a few thousand kinds.
    std::vector<quint64> seen(IndexBody::kEveryPiece / 64);
    std::vector<quint32> keys;
    Statement rows(connection, "select piece, generation, body from search_index_piece where id_cd = ?1");
    rows.bind(1, disc);
    bool any = false; // postings without pieces (left by an earlier version's removal) say nothing
    while (rows.step()) {
        any = true;
        if (!isInteger(rows, 0) || !isInteger(rows, 1) || rows.type(2) != Statement::Type::Blob ||
            rows.integer(0) < 0 || rows.integer(0) > std::numeric_limits<quint32>::max())
            return std::nullopt;
        const auto piece =
            IndexBody::readPiece(rows.blob(2), disc, rows.integer(1), quint32(rows.integer(0)));
        if (!piece)
            return std::nullopt;
        keys.clear();
        IndexBody::trigramsOf(*piece, keys);
        for (quint32 key : keys)
            seen[key / 64] |= quint64(1) << (key % 64);
    }
    if (!any)
        return std::nullopt;
    keys.clear();
    for (quint32 word = 0; word < seen.size(); ++word) {
        for (quint64 bits = seen[word]; bits != 0; bits &= bits - 1)
            keys.push_back(word * 64 + quint32(std::countr_zero(bits)));
    }
    keys.push_back(IndexBody::kEveryPiece);
    return keys;
}

// Drops the disc's pieces and postings. Its postings are found from its pieces, or by going
// through the whole table when a piece cannot say.
void dropParts(Connection& connection, qint64 disc)
{
    const bool posted =
        scalar(connection, "select 1 from search_trigram where trigram = 16777216 and id_cd = ?1", disc)
            .has_value();
    static_assert(IndexBody::kEveryPiece == 16777216);
    if (posted) {
        if (const auto keys = keysFromPieces(connection, disc)) {
            Statement drop(connection, "delete from search_trigram where trigram = ?1 and id_cd = ?2");
            drop.bind(2, disc);
            for (quint32 key : *keys) {
                drop.bind(1, key);
                drop.step();
                drop.reset();
            }
        } else
            run(connection, "delete from search_trigram where id_cd = ?1", disc);
    }
    run(connection, "delete from search_index_piece where id_cd = ?1", disc);
}

// Parts of indexes that are gone: the discs that have pieces or postings but no directory.
void dropLeftParts(Connection& connection)
{
    std::set<qint64> discs;
    {
        // One step down the key for each disc, instead of a pass over every piece.
        Statement next(connection,
                       "select id_cd from search_index_piece where id_cd > ?1 order by id_cd limit 1");
        qint64 after = std::numeric_limits<qint64>::min();
        for (;;) {
            next.bind(1, after);
            if (!next.step())
                break;
            after = next.integer(0);
            discs.insert(after);
            next.reset();
        }
        Statement posted(connection, "select id_cd from search_trigram where trigram = 16777216");
        while (posted.step())
            discs.insert(posted.integer(0));
    }
    for (qint64 disc : discs) {
        if (!scalar(connection, "select 1 from search_index where id_cd = ?1", disc))
            dropParts(connection, disc);
    }
}

// Writes the indexes of a few discs: each built one from its rows (null: none could be built),
// with the postings of all of them in the order of their keys.
class BatchWriter
{
  public:
    explicit BatchWriter(Connection& connection) : connection_(connection) {}

    bool store(qint64 disc, IndexBody::Builder* built)
    {
        dropParts(connection_, disc);
        std::optional<IndexBody::Parts> parts;
        const qint64 generation = newGeneration();
        if (built)
            parts = built->finish(disc, generation);
        // A part longer than the connection takes could not be stored whole (nor read back).
        if (!parts || parts->largest > connection_.lengthLimit()) {
            Statement drop(connection_, "delete from search_index where id_cd = ?1");
            drop.bind(1, disc);
            drop.step();
            return false;
        }
        Statement index(connection_, "insert or replace into search_index (id_cd, generation, entries, body) "
                                     "values (?1, ?2, ?3, ?4)");
        index.bind(1, disc);
        index.bind(2, generation);
        index.bind(3, built->count());
        index.bindBlob(4, parts->directory);
        index.step();
        Statement piece(
            connection_,
            "insert into search_index_piece (id_cd, piece, generation, body) values (?1, ?2, ?3, ?4)");
        piece.bind(1, disc);
        piece.bind(3, generation);
        for (size_t i = 0; i < parts->pieces.size(); ++i) {
            piece.bind(2, qint64(i));
            piece.bindBlob(4, parts->pieces[i]);
            piece.step();
            piece.reset();
        }
        for (auto& [key, row] : parts->postings)
            postings_.push_back({key, disc, std::move(row)});
        return true;
    }

    void flush()
    {
        std::sort(postings_.begin(), postings_.end(), [](const Posting& a, const Posting& b) {
            return std::tie(a.key, a.disc) < std::tie(b.key, b.disc);
        });
        Statement insert(
            connection_,
            "insert or replace into search_trigram (trigram, id_cd, pieces) values (?1, ?2, ?3)");
        for (const Posting& posting : postings_) {
            insert.bind(1, posting.key);
            insert.bind(2, posting.disc);
            insert.bindBlob(3, posting.row);
            insert.step();
            insert.reset();
        }
        postings_.clear();
    }

  private:
    struct Posting {
        quint32 key;
        qint64 disc;
        QByteArray row;
    };
    Connection& connection_;
    std::vector<Posting> postings_;
};

// After one disc was indexed from its rows: when the rows above the stamp are all the disc's,
// the stamp moves up to them.
void restampAfter(Connection& connection, qint64 disc)
{
    const std::optional<qint64> stamp = readStamp(connection);
    if (!stamp)
        return;
    const qint64 highest = highestFile(connection);
    if (*stamp >= highest)
        return;
    Statement others(connection, "select 1 from files where id > ?1 and id_cd is not ?2 limit 1");
    others.bind(1, *stamp);
    others.bind(2, disc);
    if (!others.step())
        writeStamp(connection, highest);
}

bool indexOne(Connection& connection, qint64 discId, quint32 pieceEntries)
{
    IndexBody::Builder builder(pieceEntries);
    BatchWriter writer(connection);
    const bool stored = writer.store(discId, buildIndex(connection, discId, builder) ? &builder : nullptr);
    writer.flush();
    return stored;
}

// Drops the indexes that do not count their disc's rows (after rows were written with the
// triggers off); their discs are then indexed again.
void dropMiscounted(Connection& connection)
{
    std::map<qint64, qint64> rows;
    {
        Statement counts(connection, "select id_cd, count(*) from files group by id_cd");
        while (counts.step())
            rows[counts.integer(0)] = counts.integer(1);
    }
    std::vector<qint64> wrong;
    {
        Statement indexes(connection, "select id_cd, entries from search_index");
        while (indexes.step()) {
            const auto found = rows.find(indexes.integer(0));
            if (!isInteger(indexes, 1) || indexes.integer(1) != (found == rows.end() ? 0 : found->second))
                wrong.push_back(indexes.integer(0));
        }
    }
    Statement drop(connection, "delete from search_index where id_cd = ?1");
    for (qint64 disc : wrong) {
        drop.bind(1, disc);
        drop.step();
        drop.reset();
    }
}
} // namespace

namespace SearchIndex
{
bool present(Connection& connection)
{
    Statement table(connection, "select 1 from sqlite_master where type = 'table' and name = 'search_index'");
    return table.step();
}

bool stampHolds(Connection& connection)
{
    const std::optional<qint64> stamp = readStamp(connection);
    return stamp && *stamp == highestFile(connection);
}

void removeDisc(Connection& connection, qint64 discId, bool stampHeld)
{
    if (!tablesHold(connection))
        return;
    dropParts(connection, discId);
    if (stampHeld)
        writeStamp(connection, highestFile(connection));
}

bool indexDisc(Connection& connection, qint64 discId)
{
    return indexDisc(connection, discId, IndexBody::kPieceEntries);
}

bool indexDisc(Connection& connection, qint64 discId, quint32 pieceEntries)
{
    if (!present(connection) || !tablesHold(connection))
        return false;
    Savepoint indexing(connection);
    dropLeftParts(connection);
    const bool stored = indexOne(connection, discId, pieceEntries);
    restampAfter(connection, discId);
    indexing.commit();
    return stored;
}

bool indexDisc(Connection& connection, qint64 discId, const DiscIndexFeed& rows)
{
    if (!present(connection) || !tablesHold(connection))
        return false;
    IndexBody::Builder builder;
    // Only the stored rows can tell whether a disc the feed could not take fits an index.
    if (!rows.fill(builder))
        return indexDisc(connection, discId);
    dropLeftParts(connection);
    BatchWriter writer(connection);
    const bool stored = writer.store(discId, &builder);
    writer.flush();
    // The run's rows have the ids just above every other row: the stamp held before them when
    // it is the highest id below them, and then moves up to the run's last.
    if (const std::optional<qint64> stamp = readStamp(connection); stamp && rows.count() > 0) {
        const qint64 below = count(connection, "select max(id) from files where id < ?1", rows.lowestId());
        if (*stamp == below && highestFile(connection) == rows.highestId() &&
            rows.highestId() - rows.lowestId() + 1 == rows.count())
            writeStamp(connection, rows.highestId());
    }
    return stored;
}

int indexMissing(Connection& connection, bool rebuild)
{
    if (!present(connection) || !tablesHold(connection))
        return 0;
    Savepoint indexing(connection);
    connection.exec("delete from search_index where id_cd not in (select id from cd)");
    if (rebuild) {
        // Every part goes; without the triggers the tables are emptied in one step each.
        connection.setTriggersEnabled(false);
        try {
            connection.exec(
                "delete from search_trigram; delete from search_index_piece; delete from search_index");
        } catch (...) {
            connection.setTriggersEnabled(true);
            throw;
        }
        connection.setTriggersEnabled(true);
    }
    // Indexes of an earlier form are not read: they are built again in today's form ("TSX4").
    // Their pieces' checks no longer tell their postings' keys, so their parts go in one pass
    // over each table instead of one pass a disc.
    static_assert(IndexBody::kFormTag == 0x34585354);
    const char* const earlier =
        "(select id_cd from search_index where substr(body, 1, 4) is not x'54535834')";
    if (scalar(connection,
               "select 1 from search_index where substr(body, 1, 4) is not x'54535834' limit 1")) {
        connection.setTriggersEnabled(false);
        try {
            connection.exec((QByteArray("delete from search_trigram where id_cd in ") + earlier).constData());
            connection.exec(
                (QByteArray("delete from search_index_piece where id_cd in ") + earlier).constData());
        } catch (...) {
            connection.setTriggersEnabled(true);
            throw;
        }
        connection.setTriggersEnabled(true);
        connection.exec("delete from search_index where substr(body, 1, 4) is not x'54535834'");
    }
    if (!stampHolds(connection))
        dropMiscounted(connection);
    dropLeftParts(connection);
    std::vector<qint64> discs;
    {
        Statement missing(connection,
                          "select id from cd where id not in (select id_cd from search_index) order by id");
        while (missing.step())
            discs.push_back(missing.integer(0));
    }
    int indexed = 0;
    BatchWriter writer(connection);
    for (size_t i = 0; i < discs.size(); ++i) {
        IndexBody::Builder builder;
        if (writer.store(discs[i], buildIndex(connection, discs[i], builder) ? &builder : nullptr))
            ++indexed;
        if ((i + 1) % kBatchDiscs == 0)
            writer.flush();
    }
    writer.flush();
    writeStamp(connection, highestFile(connection));
    indexing.commit();
    return indexed;
}

std::map<qint64, qint64> fileCounts(Connection& connection)
{
    std::map<qint64, qint64> counts;
    std::set<qint64> indexed;
    if (present(connection) && tablesHold(connection) && triggersHold(connection) && stampHolds(connection)) {
        Statement indexes(connection, "select id_cd, generation, entries, body from search_index");
        while (indexes.step()) {
            if (!isInteger(indexes, 1) || !isInteger(indexes, 2) || indexes.type(3) != Statement::Type::Blob)
                continue;
            const auto directory =
                IndexBody::Directory::parse(indexes.blob(3), indexes.integer(0), indexes.integer(1));
            if (!directory || directory->entries() != quint64(indexes.integer(2)))
                continue;
            indexed.insert(indexes.integer(0));
            if (directory->entries() > 0)
                counts[indexes.integer(0)] = qint64(directory->entries());
        }
    }
    if (indexed.empty()) {
        Statement all(connection, "select id_cd, count(*) from files group by id_cd");
        while (all.step())
            counts[all.integer(0)] = all.integer(1);
        return counts;
    }
    Statement discs(connection, "select id from cd");
    Statement rows(connection, "select count(*) from files where id_cd = ?1");
    while (discs.step()) {
        const qint64 disc = discs.integer(0);
        if (indexed.count(disc))
            continue;
        rows.bind(1, disc);
        if (rows.step() && rows.integer(0) > 0)
            counts[disc] = rows.integer(0);
        rows.reset();
    }
    return counts;
}
} // namespace SearchIndex

void SearchIndexCache::clear()
{
    slots_.clear();
    checked_ = false;
    trusted_.clear();
}

void SearchIndexCache::check(Connection& connection, const std::map<qint64, Stamp>& stamps,
                             const std::vector<qint64>& malformed)
{
    const qint64 version = count(connection, "pragma data_version");
    const qint64 changes = connection.totalChanges();
    if (checked_ && version == dataVersion_ && changes == changes_)
        return;
    trusted_.clear();
    checked_ = true;
    dataVersion_ = version;
    changes_ = changes;
    if (SearchIndex::stampHolds(connection)) {
        for (const auto& [disc, stamp] : stamps)
            trusted_.insert(disc);
        return;
    }
    // Usually one count settles it: every row belongs to an indexed disc that counted it, or
    // to a disc without an index. Otherwise each index is checked against its disc's rows.
    qint64 accounted = 0;
    for (const auto& [disc, stamp] : stamps)
        accounted += stamp.entries;
    std::vector<qint64> others;
    {
        Statement discs(connection, "select id from cd where id not in (select id_cd from search_index)");
        while (discs.step())
            others.push_back(discs.integer(0));
    }
    others.insert(others.end(), malformed.begin(), malformed.end());
    for (qint64 disc : others)
        accounted += count(connection, "select count(*) from files where id_cd = ?1", disc);
    const bool allAccounted = count(connection, "select count(*) from files") == accounted;
    for (const auto& [disc, stamp] : stamps) {
        if (allAccounted ||
            count(connection, "select count(*) from files where id_cd = ?1", disc) == stamp.entries)
            trusted_.insert(disc);
    }
}

std::map<qint64, std::vector<quint64>> SearchIndexCache::choose(Connection& connection,
                                                                const std::map<qint64, Stamp>& discs,
                                                                const std::vector<quint32>& keys)
{
    struct Choice {
        const Stamp* stamp;
        std::vector<quint64> pieces; // as bits
        size_t seen = 0;             // keys whose posting was read
        bool failed = false;
    };
    std::unordered_map<qint64, Choice> choices;
    for (const auto& [disc, stamp] : discs)
        choices[disc] = {&stamp, std::vector<quint64>((size_t(stamp.pieceCount) + 63) / 64, ~quint64(0))};
    Statement postings(connection, "select id_cd, pieces from search_trigram where trigram = ?1");
    std::vector<quint64> listed;
    // Each key narrows the pieces to those holding it; the pieces every search reads come last.
    std::vector<quint32> order = keys;
    order.push_back(IndexBody::kEveryPiece);
    for (size_t k = 0; k < order.size(); ++k) {
        const bool every = k + 1 == order.size();
        postings.bind(1, order[k]);
        while (postings.step()) {
            const auto found = choices.find(postings.integer(0));
            if (found == choices.end() || found->second.failed)
                continue;
            Choice& choice = found->second;
            if (postings.type(1) != Statement::Type::Blob ||
                !IndexBody::readPosting(postings.blob(1), found->first, choice.stamp->generation, order[k],
                                        choice.stamp->pieceCount, listed)) {
                choice.failed = true;
                continue;
            }
            ++choice.seen;
            for (size_t w = 0; w < listed.size(); ++w)
                choice.pieces[w] = every ? choice.pieces[w] | listed[w] : choice.pieces[w] & listed[w];
        }
        postings.reset();
        for (auto& [disc, choice] : choices) {
            if (choice.seen == k + 1)
                continue;
            choice.seen = k + 1;
            if (every)
                choice.failed = true; // every index has this key: its postings are not whole
            else
                std::fill(choice.pieces.begin(), choice.pieces.end(), 0);
        }
    }
    std::map<qint64, std::vector<quint64>> chosen;
    for (auto& [disc, choice] : choices) {
        if (choice.failed)
            continue;
        // No piece beyond the last (a search of no stretch leaves every bit set).
        if (const quint32 tail = choice.stamp->pieceCount % 64; tail != 0)
            choice.pieces.back() &= (quint64(1) << tail) - 1;
        chosen.emplace(disc, std::move(choice.pieces));
    }
    return chosen;
}

namespace
{
// Reads the pieces marked in `read` (piece i is bit i % 64 of word i / 64) from their rows into
// `pieces`, each stretch of neighbours with one step down the key. False when one of them is
// missing or not the checked piece of the index.
bool readPieceRows(Statement& rows, qint64 disc, qint64 generation, const std::vector<quint64>& read,
                   SearchIndexCache::Pieces& pieces)
{
    rows.reset(); // a disc before may have stopped half-way
    rows.bind(1, disc);
    rows.bind(4, generation);
    const auto count = quint32(pieces.size());
    const auto marked = [&read](quint32 i) { return (read[i / 64] >> (i % 64)) & 1; };
    for (quint32 at = 0; at < count;) {
        // The next marked piece at or after `at`.
        size_t word = at / 64;
        quint64 bits = read[word] & (~quint64(0) << (at % 64));
        while (bits == 0 && ++word < read.size())
            bits = read[word];
        if (bits == 0)
            break;
        const auto first = quint32(word * 64) + quint32(std::countr_zero(bits));
        quint32 end = first + 1;
        while (end < count && marked(end))
            ++end;
        rows.reset();
        rows.bind(2, first);
        rows.bind(3, end - 1);
        for (quint32 i = first; i < end; ++i) {
            if (!rows.step() || !isInteger(rows, 0) || rows.integer(0) != i ||
                rows.type(1) != Statement::Type::Blob)
                return false;
            auto index = IndexBody::readPiece(rows.blob(1), disc, generation, i);
            if (!index || index->count() == 0)
                return false;
            pieces[i] = std::move(index);
        }
        at = end;
    }
    rows.reset();
    return true;
}
} // namespace

std::map<qint64, SearchIndexCache::Pieces>
SearchIndexCache::load(Connection& connection, const std::vector<qint64>& discs, const IndexFilter& filter)
{
    std::map<qint64, Pieces> found;
    if (connection.path() != path_) {
        clear();
        path_ = connection.path();
    }
    // An index is exact only while every trigger that drops it is in place, and no trigger of
    // someone else's could put a dropped one back.
    if (!SearchIndex::present(connection) || !tablesHold(connection) || !triggersHold(connection)) {
        clear();
        return found;
    }
    std::map<qint64, Stamp> stamps;
    std::vector<qint64> malformed; // indexes that cannot be read: their discs are searched without them
    {
        Statement rows(connection, "select id_cd, generation, entries, body from search_index");
        while (rows.step()) {
            const qint64 disc = rows.integer(0);
            std::optional<IndexBody::Directory> directory;
            // Types are asked before any conversion of the values.
            if (isInteger(rows, 1) && isInteger(rows, 2) && rows.type(3) == Statement::Type::Blob)
                directory = IndexBody::Directory::parse(rows.blob(3), disc, rows.integer(1));
            if (directory && directory->entries() == quint64(rows.integer(2)))
                stamps.emplace(disc, Stamp{rows.integer(1), rows.integer(2), directory->pieceCount()});
            else
                malformed.push_back(disc);
        }
    }
    check(connection, stamps, malformed);
    for (auto it = slots_.begin(); it != slots_.end();) {
        const auto stamp = stamps.find(it->first);
        if (stamp == stamps.end() || stamp->second.generation != it->second.generation)
            it = slots_.erase(it);
        else
            ++it;
    }
    std::map<qint64, Stamp> usable;
    for (qint64 disc : discs) {
        const auto stamp = stamps.find(disc);
        if (stamp != stamps.end() && trusted_.count(disc))
            usable.insert(*stamp);
    }
    if (filter.matchesNothing()) {
        for (const auto& [disc, stamp] : usable)
            found[disc];
        return found;
    }
    // One statement for every disc's pieces.
    Statement rows(connection, "select piece, body from search_index_piece where id_cd = ?1 and "
                               "piece between ?2 and ?3 and generation = ?4 order by piece");
    std::vector<quint64> read;
    for (auto& [disc, wanted] : choose(connection, usable, filter.trigrams())) {
        const Stamp& stamp = usable[disc];
        auto slot = slots_.find(disc);
        if (slot == slots_.end())
            slot = slots_.emplace(disc, Slot{stamp.generation, Pieces(stamp.pieceCount)}).first;
        Pieces& cached = slot->second.pieces;
        read.assign(wanted.size(), 0);
        size_t wantedCount = 0;
        for (size_t word = 0; word < wanted.size(); ++word) {
            wantedCount += size_t(std::popcount(wanted[word]));
            for (quint64 bits = wanted[word]; bits != 0; bits &= bits - 1) {
                const size_t i = word * 64 + size_t(std::countr_zero(bits));
                if (!cached[i])
                    read[word] |= quint64(1) << (i % 64);
            }
        }
        if (!readPieceRows(rows, disc, stamp.generation, read, cached)) {
            slots_.erase(slot);
            continue;
        }
        Pieces& pieces = found[disc];
        pieces.reserve(wantedCount);
        for (size_t word = 0; word < wanted.size(); ++word) {
            for (quint64 bits = wanted[word]; bits != 0; bits &= bits - 1)
                pieces.push_back(cached[word * 64 + size_t(std::countr_zero(bits))]);
        }
    }
    return found;
}
