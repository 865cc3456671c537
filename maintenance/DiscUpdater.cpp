#include "maintenance/DiscUpdater.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileHashes.h"
#include "catalogue/Statement.h"
#include "catalogue/Statements.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "maintenance/DiscHoldings.h"
#include "maintenance/DiscMediumReader.h"
#include "scan/ArchiveLister.h"

#include <QFileInfo>
#include <algorithm>
#include <set>

namespace
{
QString text(const Statement& statement, int column)
{
    const std::string_view bytes = statement.text(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QString shown(const QString& value)
{
    return value.isEmpty() ? QStringLiteral("empty") : value;
}

const QString kDrive = QStringLiteral("d:\\");
} // namespace

DiscUpdater::Medium DiscUpdater::Medium::drive(QChar letter, const QString& root, const QString& volumeLabel)
{
    return {root, volumeLabel, QStringLiteral("the disc in drive %1").arg(letter), false};
}

DiscUpdater::Medium DiscUpdater::Medium::path(const QString& root, const QString& volumeLabel)
{
    const bool image = !QFileInfo(root).isDir();
    return {root, volumeLabel,
            (image ? QStringLiteral("the image %1") : QStringLiteral("the folder %1")).arg(root), true};
}

QChar DiscUpdater::Change::sign() const
{
    switch (kind) {
    case Kind::Added:
        return QLatin1Char('+');
    case Kind::Removed:
        return QLatin1Char('-');
    case Kind::Changed:
        break;
    }
    return QLatin1Char('~');
}

bool DiscUpdater::Comparison::mostDiffer() const
{
    const qint64 before = unchanged + changed + removed;
    const qint64 after = unchanged + changed + added;
    return unchanged * 2 < std::max(before, after);
}

QString DiscUpdater::Comparison::counts() const
{
    return QStringLiteral("%1 added, %2 removed, %3 changed, %4 unchanged")
        .arg(added)
        .arg(removed)
        .arg(changed)
        .arg(unchanged);
}

DiscUpdater::DiscUpdater(Catalogue& catalogue, DiscStore::DiscRow disc)
    : catalogue_(catalogue), disc_(std::move(disc)), searcher_([](QChar) { return QString(); })
{
    searcher_.OnFile = [this](const QString&, const QString& path, const QString& name, qint64 size,
                              const LocalDateTime& date) { onFile(path, name, size, date); };
}

QString DiscUpdater::identityProblem(const Medium& medium)
{
    Connection& connection = catalogue_.connection();
    std::optional<DiscRecord> record;
    {
        Transaction read(connection, Transaction::Kind::Deferred);
        if (!DiscRecords::present(connection) || !DiscRecords::hasIdentity(connection))
            throw TessaroError(
                QStringLiteral("The catalogue cannot keep updates; run tessaro-cli upgrade-catalogue"));
        DiscRecords::requireSameDisc(connection, disc_);
        record = DiscRecords::find(connection, disc_);
    }
    const DiscRecord known = record.value_or(DiscRecord{});
    const DiscMedium found = DiscMediumReader::read(medium.root);
    const QString label = disc_.label();
    QString name = medium.name;
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    const auto differs = [&](const char* what, const QString& theirs, const QString& ours) {
        return QStringLiteral("%1 is not %2: its %3 is %4, %2's is %5")
            .arg(name, label, QLatin1String(what), shown(theirs), shown(ours));
    };
    if (medium.volumeLabel != disc_.volumeLabel)
        return differs("volume label", medium.volumeLabel, disc_.volumeLabel);
    if (found.fileSystemId != known.fileSystemId)
        return differs("file-system id", found.fileSystemId, known.fileSystemId);
    if (medium.byPath && !known.source.isEmpty() && found.source != known.source)
        return QStringLiteral("%1 is not %2: %2 was catalogued from %3").arg(name, label, known.source);
    return {};
}

void DiscUpdater::load()
{
    rows_.clear();
    byName_.clear();
    Connection& connection = catalogue_.connection();
    Transaction read(connection, Transaction::Kind::Deferred);
    DiscRecords::requireSameDisc(connection, disc_);
    record_ = DiscRecords::find(connection, disc_);
    if (!record_)
        throw TessaroError(
            QStringLiteral("Disc %1 has no record; run tessaro-cli upgrade-catalogue").arg(disc_.label()));
    HashesKept = false;
    if (FileHashes::present(connection)) {
        Statement hashes(connection, "select 1 from file_hash where id_cd = ?1 limit 1");
        hashes.bind(1, disc_.id);
        HashesKept = hashes.step();
    }
    Statement rows(connection,
                   "select id, path, nome, data, dimensione from files where id_cd = ?1 order by id");
    rows.bind(1, disc_.id);
    std::set<QString> folders;
    std::vector<QString> archives;
    std::vector<int> lastSame; // the last row of each first row's chain
    while (rows.step()) {
        Row row{rows.integer(0), text(rows, 1), text(rows, 2), text(rows, 3), rows.integer(4), -1, false};
        const int at = int(rows_.size());
        folders.insert(row.path);
        const QString key = row.path + row.name;
        if (ArchiveLister::isArchiveName(row.name))
            archives.push_back(key);
        const auto first = byName_.constFind(key);
        if (first == byName_.constEnd()) {
            byName_.insert(key, at);
        } else {
            int last = *first;
            while (rows_[size_t(last)].nextSame >= 0)
                last = rows_[size_t(last)].nextSame;
            rows_[size_t(last)].nextSame = at;
        }
        rows_.push_back(std::move(row));
    }
    const DiscHoldings holdings = DiscHoldings::of(folders, archives);
    searcher_.ListArchives = ListArchives || holdings.archiveMembers;
    searcher_.DotFolders = DotFolders || holdings.dotFolders;
}

std::optional<DiscUpdater::Comparison> DiscUpdater::compare(const Medium& medium)
{
    comparison_.reset();
    found_.clear();
    UnhashedFiles.clear();
    UnreadableFolders = 0;
    walked_ = 0;
    counted_ = 0;
    lastPosition_ = -1;
    hashFor_ = -1;
    stopRequested_ = false;
    running_ = true;
    struct Idle {
        bool& running;
        ~Idle() { running = false; }
    } idle{running_};
    load();
    read_ = medium;
    medium_ = DiscMediumReader::read(medium.root);
    searcher_.mapDrive(QLatin1Char('d'), medium.root);
    searcher_.OnContent = nullptr;
    if (HashesKept)
        searcher_.OnContent = [this](int folderFd, const char* name, const struct stat& status) {
            onContent(folderFd, name, status);
        };
    searcher_.Stopped = false;
    const WalkTally counted = searcher_.Count(kDrive, DiscCataloguer::Pattern, true);
    if (searcher_.Stopped || stopRequested_)
        return std::nullopt;
    counted_ = counted.files + counted.members;
    searcher_.Execute(kDrive, DiscCataloguer::Pattern, true);
    hashFor_ = -1;
    if (searcher_.Stopped)
        return std::nullopt;
    DiscCataloguer::requireNothingWentAway(counted, searcher_.LastRun);
    UnreadableFolders = searcher_.LastRun.unreadable;
    folders_ = searcher_.LastRun.folders;

    Comparison comparison;
    for (const Found& file : found_) {
        const bool added = file.row < 0;
        (added ? comparison.added : comparison.changed) += 1;
        comparison.changes.push_back({added ? Change::Kind::Added : Change::Kind::Changed, file.path,
                                      file.name, file.date, file.size});
    }
    comparison.unchanged = walked_ - comparison.added - comparison.changed;
    for (const Row& row : rows_) {
        if (row.seen)
            continue;
        ++comparison.removed;
        comparison.changes.push_back({Change::Kind::Removed, row.path, row.name, row.date, row.size});
    }
    comparison_ = comparison;
    return comparison;
}

void DiscUpdater::onFile(const QString& path, const QString& name, qint64 size, const LocalDateTime& date)
{
    hashFor_ = -1;
    ++walked_;
    const int position = DiscCataloguer::position(walked_, counted_);
    if (position != lastPosition_) {
        lastPosition_ = position;
        if (events_.progress)
            events_.progress(position);
    }
    const auto first = byName_.constFind(path + name);
    int at = first == byName_.constEnd() ? -1 : *first;
    while (at >= 0 && rows_[size_t(at)].seen)
        at = rows_[size_t(at)].nextSame;
    const QString dateText = date.toText();
    if (at >= 0) {
        Row& row = rows_[size_t(at)];
        row.seen = true;
        if (row.size == size && row.date == dateText)
            return;
    }
    found_.push_back({at, path, name, dateText, size, {}});
    if (HashesKept)
        hashFor_ = int(found_.size()) - 1;
}

// Right after the file's report: a new or changed file of a disc with hashes is read for its
// hash, as a cataloguing run reads it.
void DiscUpdater::onContent(int folderFd, const char* name, const struct stat& status)
{
    if (hashFor_ < 0 || !S_ISREG(status.st_mode))
        return;
    Found& file = found_[size_t(hashFor_)];
    hashFor_ = -1;
    const ContentReader::Result read = reader_.read(folderFd, name);
    if (const QString reason = DiscCataloguer::unhashedReason(read, file.size); !reason.isEmpty())
        UnhashedFiles.push_back({file.path + file.name, reason});
    else
        file.hash = read.hash;
}

bool DiscUpdater::apply()
{
    if (!comparison_ || !record_)
        throw TessaroError(QStringLiteral("Disc %1 was not compared with its medium").arg(disc_.label()));
    // Nothing differs: nothing is written, not even the date.
    if (!comparison_->differs() && read_.volumeLabel == disc_.volumeLabel &&
        medium_.fileSystemId == record_->fileSystemId && medium_.source == record_->source)
        return true;
    stopRequested_ = false;
    running_ = true;
    struct Idle {
        bool& running;
        ~Idle() { running = false; }
    } idle{running_};
    bool waitingSaid = false;
    const auto whileLocked = [&] {
        if (!waitingSaid) {
            waitingSaid = true;
            if (events_.waiting)
                events_.waiting();
        }
        if (searcher_.OnPump)
            searcher_.OnPump();
        return !stopRequested_;
    };
    std::optional<Transaction> transaction;
    try {
        transaction.emplace(catalogue_.connection(), whileLocked);
    } catch (const TessaroError&) {
        if (stopRequested_)
            return false;
        throw;
    }
    write();
    transaction->commit();
    disc_.volumeLabel = read_.volumeLabel;
    record_->generation += 1;
    comparison_.reset();
    return true;
}

void DiscUpdater::write()
{
    Connection& connection = catalogue_.connection();
    DiscRecords::requireSameDisc(connection, disc_, record_->generation);
    const bool stampHeld = SearchIndex::stampHolds(connection);
    const bool hashes = FileHashes::present(connection);
    // New rows get ids above every other, counted up from the first as in a cataloguing run.
    qint64 nextId = 0;
    for (const Found& file : found_) {
        if (file.row < 0) {
            nextId = catalogue_.allocateFileId();
            break;
        }
    }
    std::optional<Statement> dropHash;
    std::optional<Statement> keepHash;
    if (hashes) {
        dropHash.emplace(connection, "delete from file_hash where id_file = ?1");
        keepHash.emplace(connection, "insert or replace into file_hash (id_file, id_cd, dimensione, hash) "
                                     "values (?1, ?2, ?3, ?4)");
    }
    const auto forgetHash = [&](qint64 id) {
        if (!dropHash)
            return;
        dropHash->bind(1, id);
        dropHash->step();
        dropHash->reset();
    };
    {
        Statement drop(connection, "delete from files where id = ?1");
        for (const Row& row : rows_) {
            if (row.seen)
                continue;
            drop.bind(1, row.id);
            drop.step();
            drop.reset();
            forgetHash(row.id);
        }
    }
    Statement change(connection, "update files set dimensione = ?2, data = ?3 where id = ?1");
    Statement insert(connection, Statements::InsertFile.toUtf8());
    const int params[] = {insert.parameterIndex(":vid"),         insert.parameterIndex(":vid_cd"),
                          insert.parameterIndex(":vnome"),       insert.parameterIndex(":vpath"),
                          insert.parameterIndex(":vestensione"), insert.parameterIndex(":vdimensione"),
                          insert.parameterIndex(":vdata")};
    for (const int param : params) {
        if (param == 0)
            throw TessaroError(QStringLiteral("The file insert lacks a parameter"));
    }
    for (const Found& file : found_) {
        qint64 id = 0;
        if (file.row >= 0) {
            id = rows_[size_t(file.row)].id;
            change.bind(1, id);
            change.bind(2, file.size);
            change.bindText(3, file.date.toUtf8());
            change.step();
            change.reset();
        } else {
            id = nextId++;
            const QByteArray name = file.name.toUtf8();
            insert.bind(params[0], id);
            insert.bind(params[1], disc_.id);
            insert.bindText(params[2], name);
            insert.bindText(params[3], file.path.toUtf8());
            insert.bindText(params[4], DiscCataloguer::extensionOf(name));
            insert.bind(params[5], file.size);
            insert.bindText(params[6], file.date.toUtf8());
            insert.step();
            insert.reset();
        }
        if (!keepHash)
            continue;
        if (file.hash.isEmpty()) {
            forgetHash(id);
            continue;
        }
        keepHash->bind(1, id);
        keepHash->bind(2, disc_.id);
        keepHash->bind(3, file.size);
        keepHash->bindBlob(4, file.hash);
        keepHash->step();
        keepHash->reset();
    }
    if (read_.volumeLabel != disc_.volumeLabel) {
        Statement relabel(connection, "update cd set etichetta = ?2 where id = ?1");
        relabel.bind(1, disc_.id);
        relabel.bindText(2, read_.volumeLabel.toUtf8());
        relabel.step();
    }
    // The totals as a cataloguing run keeps them: the sizes added up unless the sum leaves 64 bits.
    std::optional<qint64> bytes = 0;
    const auto add = [&bytes](qint64 size) {
        if (bytes && __builtin_add_overflow(*bytes, size, &*bytes))
            bytes.reset();
    };
    for (const Row& row : rows_) {
        if (row.seen)
            add(row.size);
    }
    for (const Found& file : found_)
        add(file.row >= 0 ? file.size - rows_[size_t(file.row)].size : file.size);
    DiscRecords::writeUpdated(connection, disc_, record_->generation, folders_, {walked_, bytes}, medium_);
    SearchIndex::reindexDisc(connection, disc_.id, stampHeld);
}

void DiscUpdater::stop()
{
    stopRequested_ = true;
    searcher_.Stop();
}
