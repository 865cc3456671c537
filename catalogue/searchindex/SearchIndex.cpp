#include "catalogue/searchindex/SearchIndex.h"

#include "catalogue/BlobReader.h"
#include "catalogue/Connection.h"
#include "catalogue/Schema.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/DiscIndex.h"
#include "catalogue/searchindex/DiscIndexFeed.h"
#include "common/TessaroError.h"

#include <limits>

namespace
{
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

qint64 scalar(Connection& connection, const char* sql, qint64 bound = 0)
{
    Statement one(connection, sql);
    if (one.parameterCount() > 0)
        one.bind(1, bound);
    return one.step() ? one.integer(0) : 0;
}

bool triggersHold(Connection& connection)
{
    const Schema::Triggers triggers = Schema::triggers(connection);
    return triggers.allOwn && triggers.foreign.isEmpty();
}

std::unique_ptr<Transaction> transactionUnlessInOne(Connection& connection)
{
    if (!connection.inTransaction())
        return std::make_unique<Transaction>(connection);
    return nullptr;
}

bool piecesInRows(Connection& connection)
{
    return Schema::ownTable(connection, "search_index_piece");
}

// Pieces of indexes that are gone.
void dropLeftPieces(Connection& connection)
{
    if (piecesInRows(connection))
        connection.exec("delete from search_index_piece where id_cd not in (select id_cd from search_index)");
}

void dropPieces(Connection& connection, qint64 discId)
{
    Statement drop(connection, "delete from search_index_piece where id_cd = ?1");
    drop.bind(1, discId);
    drop.step();
}

// Stores the built index (null: none could be built), or drops the disc's index when there is none.
bool store(Connection& connection, qint64 discId, IndexBody::Builder* built)
{
    const bool inRows = piecesInRows(connection);
    if (inRows)
        dropPieces(connection, discId);
    QByteArray body;
    if (built)
        body = inRows ? built->finishDirectory() : built->finish();
    // An index longer than the connection takes could not be stored whole (nor read back).
    if (!body.isEmpty() && built->inlineSize() > quint64(connection.lengthLimit()))
        body.clear();
    if (body.isEmpty()) {
        Statement drop(connection, "delete from search_index where id_cd = ?1");
        drop.bind(1, discId);
        drop.step();
        return false;
    }
    Statement store(connection, "insert or replace into search_index (id_cd, generation, entries, body) "
                                "values (?1, random(), ?2, ?3)");
    store.bind(1, discId);
    store.bind(2, built->count());
    store.bindBlob(3, body);
    store.step();
    if (inRows) {
        Statement piece(connection, "insert into search_index_piece (id_cd, piece, generation, body) "
                                    "select ?1, ?2, generation, ?3 from search_index where id_cd = ?1");
        piece.bind(1, discId);
        for (size_t i = 0; i < built->pieces().size(); ++i) {
            piece.bind(2, qint64(i));
            piece.bindBlob(3, built->pieces()[i]);
            piece.step();
            piece.reset();
        }
    }
    return true;
}

bool indexOne(Connection& connection, qint64 discId, quint32 pieceEntries)
{
    IndexBody::Builder builder(pieceEntries);
    return store(connection, discId, buildIndex(connection, discId, builder) ? &builder : nullptr);
}
} // namespace

namespace SearchIndex
{
bool present(Connection& connection)
{
    Statement table(connection, "select 1 from sqlite_master where type = 'table' and name = 'search_index'");
    return table.step();
}

void removeDisc(Connection& connection, qint64 discId)
{
    if (piecesInRows(connection))
        dropPieces(connection, discId);
}

std::unique_ptr<Transaction> readTransaction(Connection& connection)
{
    if (!connection.connected())
        connection.raise();
    if (!connection.inTransaction())
        return std::make_unique<Transaction>(connection, Transaction::Kind::Deferred);
    return nullptr;
}

bool indexDisc(Connection& connection, qint64 discId, quint32 pieceEntries)
{
    if (!present(connection))
        return false;
    auto own = transactionUnlessInOne(connection);
    dropLeftPieces(connection);
    const bool stored = indexOne(connection, discId, pieceEntries);
    if (own)
        own->commit();
    return stored;
}

bool indexDisc(Connection& connection, qint64 discId, const DiscIndexFeed& rows)
{
    if (!present(connection))
        return false;
    IndexBody::Builder builder;
    // Only the stored rows can tell whether a disc the feed could not take fits an index.
    if (!rows.fill(builder))
        return indexDisc(connection, discId);
    dropLeftPieces(connection);
    return store(connection, discId, &builder);
}

int indexMissing(Connection& connection)
{
    if (!present(connection))
        return 0;
    auto own = transactionUnlessInOne(connection);
    connection.exec("delete from search_index where id_cd not in (select id from cd)");
    // Indexes of an earlier form (or none at all) are read, but rebuilt here in today's form
    // ("TSX2", pieces in rows where the catalogue has the table), which lets a search skip the
    // pieces that cannot hold its text.
    connection.exec("delete from search_index where substr(body, 1, 4) is not x'54535832'");
    if (piecesInRows(connection))
        connection.exec("delete from search_index where substr(body, 13, 4) is not x'01000000'");
    dropLeftPieces(connection);
    std::vector<qint64> discs;
    {
        Statement missing(connection,
                          "select id from cd where id not in (select id_cd from search_index) order by id");
        while (missing.step())
            discs.push_back(missing.integer(0));
    }
    int indexed = 0;
    for (qint64 disc : discs) {
        if (indexOne(connection, disc, IndexBody::kPieceEntries))
            ++indexed;
    }
    if (own)
        own->commit();
    return indexed;
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
    const qint64 version = scalar(connection, "pragma data_version");
    const qint64 changes = connection.totalChanges();
    if (checked_ && version == dataVersion_ && changes == changes_)
        return;
    trusted_.clear();
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
        accounted += scalar(connection, "select count(*) from files where id_cd = ?1", disc);
    const bool allAccounted = scalar(connection, "select count(*) from files") == accounted;
    for (const auto& [disc, stamp] : stamps) {
        if (allAccounted ||
            scalar(connection, "select count(*) from files where id_cd = ?1", disc) == stamp.entries)
            trusted_.insert(disc);
    }
    checked_ = true;
    dataVersion_ = version;
    changes_ = changes;
}

namespace
{
// The directory of the disc's body, read through `blob` (already on the disc's row).
std::optional<IndexBody::Directory> readDirectory(BlobReader& blob)
{
    QByteArray bytes;
    blob.read(0, std::min<qint64>(IndexBody::kHeadBytes, blob.size()), bytes);
    const qint64 size = IndexBody::Directory::sizeFor(bytes, blob.size());
    if (size < 0)
        return std::nullopt;
    if (size > bytes.size())
        blob.read(bytes.size(), size - bytes.size(), bytes);
    return IndexBody::Directory::parse(bytes, blob.size());
}

// Calls `take(first, end)` for each stretch of neighbouring pieces marked in `marked`, in
// order; false as soon as one call is.
template <typename Take> bool eachStretch(const std::vector<bool>& marked, Take take)
{
    const auto count = quint32(marked.size());
    for (quint32 first = 0; first < count;) {
        if (!marked[first]) {
            ++first;
            continue;
        }
        quint32 end = first + 1;
        while (end < count && marked[end])
            ++end;
        if (!take(first, end))
            return false;
        first = end;
    }
    return true;
}

// Reads the pieces marked in `read` from their rows into `pieces`, each stretch of neighbours
// with one statement. False when one of them is missing or not a well-formed index of the
// directory's count.
bool readPieceRows(Connection& connection, qint64 disc, qint64 generation,
                   const IndexBody::Directory& directory, const std::vector<bool>& read,
                   SearchIndexCache::Pieces& pieces)
{
    Statement rows(connection, "select piece, body from search_index_piece where id_cd = ?1 and "
                               "piece between ?2 and ?3 and generation = ?4 order by piece");
    rows.bind(1, disc);
    rows.bind(4, generation);
    return eachStretch(read, [&](quint32 first, quint32 end) {
        rows.reset();
        rows.bind(2, first);
        rows.bind(3, end - 1);
        for (quint32 i = first; i < end; ++i) {
            const IndexBody::Directory::Piece& piece = directory.piece(i);
            if (!rows.step() || !isInteger(rows, 0) || rows.integer(0) != i ||
                rows.type(1) != Statement::Type::Blob)
                return false;
            std::shared_ptr<const DiscIndex> index;
            const QByteArray bytes = rows.blob(1);
            if (bytes.size() == piece.length)
                index = DiscIndex::fromBytes(bytes);
            if (!index || index->count() != piece.entries)
                return false;
            pieces[i] = std::move(index);
        }
        return true;
    });
}

// Reads the pieces marked in `read` from the body into `pieces`, each stretch of neighbours in
// one go. False when one of them is not a well-formed index of the directory's count.
bool readPieces(BlobReader& blob, const IndexBody::Directory& directory, const std::vector<bool>& read,
                SearchIndexCache::Pieces& pieces)
{
    return eachStretch(read, [&](quint32 first, quint32 end) {
        const qint64 start = directory.piece(first).offset;
        const qint64 stop = directory.piece(end - 1).offset + directory.piece(end - 1).length;
        QByteArray buffer;
        blob.read(start, stop - start, buffer);
        for (quint32 i = first; i < end; ++i) {
            const IndexBody::Directory::Piece& piece = directory.piece(i);
            auto index =
                DiscIndex::fromBytes(buffer, qsizetype(piece.offset - start), qsizetype(piece.length));
            if (!index || index->count() != piece.entries)
                return false;
            pieces[i] = std::move(index);
        }
        return true;
    });
}
} // namespace

std::map<qint64, SearchIndexCache::Pieces>
SearchIndexCache::load(Connection& connection, const std::vector<qint64>& discs, const Wanted& wanted)
{
    std::map<qint64, Pieces> found;
    if (connection.path() != path_) {
        clear();
        path_ = connection.path();
    }
    // An index is exact only while every trigger that drops it is in place, and no trigger of
    // someone else's could put a dropped one back.
    if (!SearchIndex::present(connection) || !triggersHold(connection)) {
        clear();
        return found;
    }
    std::map<qint64, Stamp> stamps;
    std::vector<qint64> malformed; // counts no index can have: the disc is searched without it
    {
        Statement rows(connection,
                       "select id_cd, generation, entries, typeof(body) = 'blob' from search_index");
        while (rows.step()) {
            const bool counted = isInteger(rows, 2); // asked before any conversion of the value
            const qint64 disc = rows.integer(0);
            const qint64 entries = rows.integer(2);
            if (counted && entries >= 0 && entries <= std::numeric_limits<quint32>::max() &&
                rows.integer(3) == 1)
                stamps.emplace(disc, Stamp{rows.integer(1), entries});
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
    std::optional<BlobReader> blob;
    std::optional<qint64> blobDisc;
    // The body of the disc, ready to read; false when it cannot be opened.
    auto onDisc = [&](qint64 disc) {
        if (!blob)
            blob.emplace(connection, "search_index", "body");
        if (blobDisc != disc)
            blobDisc = blob->open(disc) ? std::optional<qint64>(disc) : std::nullopt;
        return blobDisc == disc;
    };
    std::optional<bool> rowsReadable; // the pieces' table is there, and the program's own
    for (qint64 disc : discs) {
        const auto stamp = stamps.find(disc);
        if (stamp == stamps.end() || !trusted_.count(disc))
            continue;
        auto slot = slots_.find(disc);
        const bool fresh = slot == slots_.end();
        if (fresh)
            slot = slots_.emplace(disc, Slot{stamp->second.generation, std::nullopt, {}}).first;
        Slot& s = slot->second;
        if (fresh) {
            if (onDisc(disc))
                s.directory = readDirectory(*blob);
            if (s.directory && s.directory->piecesInRows() && !rowsReadable)
                rowsReadable = piecesInRows(connection);
            if (s.directory && (s.directory->entries() != quint64(stamp->second.entries) ||
                                (s.directory->piecesInRows() && !*rowsReadable)))
                s.directory.reset();
            if (s.directory)
                s.pieces.resize(s.directory->pieceCount());
        }
        if (!s.directory)
            continue;
        const IndexBody::Directory& directory = *s.directory;
        std::vector<bool> take(directory.pieceCount());
        std::vector<bool> read(directory.pieceCount());
        bool reading = false;
        for (quint32 i = 0; i < directory.pieceCount(); ++i) {
            take[i] = !wanted || wanted(directory, i);
            read[i] = take[i] && !s.pieces[i];
            reading = reading || read[i];
        }
        if (reading) {
            const bool whole = directory.piecesInRows()
                                   ? readPieceRows(connection, disc, s.generation, directory, read, s.pieces)
                                   : onDisc(disc) && readPieces(*blob, directory, read, s.pieces);
            if (!whole) {
                s.directory.reset();
                s.pieces.clear();
                continue;
            }
        }
        Pieces& pieces = found[disc];
        for (quint32 i = 0; i < directory.pieceCount(); ++i) {
            if (take[i])
                pieces.push_back(s.pieces[i]);
        }
    }
    return found;
}
