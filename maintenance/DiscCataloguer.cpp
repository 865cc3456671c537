#include "maintenance/DiscCataloguer.h"

#include "catalogue/Catalogue.h"
#include "catalogue/DiscLabel.h"
#include "catalogue/DiscRecord.h"
#include "catalogue/DiscStore.h"
#include "catalogue/FileHashes.h"
#include "catalogue/Query.h"
#include "catalogue/Statements.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "common/TessaroError.h"
#include "maintenance/DiscMediumReader.h"

#include <algorithm>
#include <limits>

namespace
{
// A run's file rows go in without the catalogue's triggers. The only one on inserting a file
// drops the disc's search index, which a disc being catalogued does not have: the disc row's
// own trigger dropped any left under its id, and the index written at the end of the run
// replaces whatever is there. Triggers of another program refuse the run before it starts.
// Leaving them out spares SQLite a trigger program per file.
class TriggersOff
{
  public:
    explicit TriggersOff(Connection& connection) : connection_(connection)
    {
        connection_.setTriggersEnabled(false);
    }
    ~TriggersOff()
    {
        try {
            connection_.setTriggersEnabled(true);
        } catch (...) {
            // Only a closed connection refuses, and a new one starts with triggers on.
        }
    }
    TriggersOff(const TriggersOff&) = delete;
    TriggersOff& operator=(const TriggersOff&) = delete;

  private:
    Connection& connection_;
};
} // namespace

DiscCataloguer::DiscCataloguer(Catalogue& catalogue, TFileSearcher::DriveResolver resolver)
    : catalogue_(catalogue), searcher_(std::move(resolver))
{
    searcher_.OnStart = [this](const QString&, const QString&, bool) {
        if (events_.runStarted)
            events_.runStarted();
    };
    searcher_.OnFile = [this](const QString&, const QString& path, const QString& name, qint64 size,
                              const LocalDateTime& date) { AddFile(path, name, size, date); };
    searcher_.OnEnd = [this](bool stopped) {
        if (events_.runEnded)
            events_.runEnded(stopped);
    };
}

DiscCataloguer::~DiscCataloguer()
{
    undo();
}

void DiscCataloguer::reset()
{
    NewDiscId = 0;
    FilesAdded = 0;
    TotalFiles = 0;
    UnreadableFolders = 0;
    counted_.reset();
}

qint64 DiscCataloguer::countFiles(const QString& folder)
{
    counted_.reset();
    TotalFiles = 0;
    FilesAdded = 0;
    searcher_.Stopped = false;
    counting_ = true;
    WalkTally tally;
    try {
        tally = searcher_.Count(folder, Pattern, true);
    } catch (...) {
        counting_ = false;
        throw;
    }
    counting_ = false;
    if (searcher_.Stopped)
        return 0;
    counted_ = tally;
    countedFolder_ = folder;
    TotalFiles = tally.files + tally.members;
    FilesAdded = 0;
    return TotalFiles;
}

bool DiscCataloguer::catalogue(const QString& typeLetter, const QString& folder,
                               const std::function<QString()>& volumeLabel,
                               const std::function<void()>& beforeDiscRow)
{
    if (transaction_)
        throw TessaroError(QStringLiteral("A cataloguing run is already in progress"));
    NewDiscId = 0;
    // A counting pass is good for the one run that follows it.
    std::optional<WalkTally> counted;
    if (counted_ && countedFolder_ == folder)
        counted = counted_;
    counted_.reset();
    // Counts this run's rows only, also when no counting pass came before it.
    FilesAdded = 0;
    UnreadableFolders = 0;
    TypeLetter = typeLetter;
    discRowWritten_ = false;
    lastPosition_ = -1;
    nextFileId_ = 0;
    indexFeed_ = {};
    lastPath_.clear();
    lastPathText_.clear();
    bytesAdded_ = 0;
    stopRequested_ = false;
    UnhashedFiles.clear();
    FilesHashed = 0;
    lastFileId_ = 0;
    searcher_.OnContent = nullptr;
    if (HashContents)
        searcher_.OnContent = [this](int folderFd, const char* name, const struct stat& status) {
            hashContent(folderFd, name, status);
        };
    try {
        // A run's pages stay in memory until its commit instead of spilling into the log
        // file while the transaction is still open.
        catalogue_.connection().exec("PRAGMA cache_size=-65536");
        if (!begin()) {
            if (events_.runEnded)
                events_.runEnded(true);
            return false;
        }
        NewDiscId = catalogue_.allocateDiscId();
        const QString label = volumeLabel ? volumeLabel() : QString();
        if (beforeDiscRow)
            beforeDiscRow();
        const LocalDateTime now = LocalDateTime::now();
        discDate_ = now.toText();
        catalogue_.work().execWith(Statements::InsertDisc, {{QStringLiteral("vid"), NewDiscId},
                                                            {QStringLiteral("vetichetta"), label},
                                                            {QStringLiteral("vtipo"), typeLetter},
                                                            {QStringLiteral("vdata"), now.toText()}});
        discRowWritten_ = true;
        {
            const TriggersOff walk(catalogue_.connection());
            prepareFileInsert();
            if (HashContents) {
                if (!FileHashes::present(catalogue_.connection()))
                    throw TessaroError(QStringLiteral(
                        "The catalogue cannot keep file hashes; run tessaro-cli upgrade-catalogue"));
                insertHash_.emplace(catalogue_.connection(),
                                    "insert or replace into file_hash (id_file, id_cd, dimensione, hash) "
                                    "values (?1, ?2, ?3, ?4)");
                if (!reader_)
                    reader_ = std::make_unique<ContentReader>();
            }
            searcher_.Execute(folder, Pattern, true);
            insertFile_.reset();
            insertHash_.reset();
        }
        // A stop during the walk has already removed the disc and ended the transaction.
        if (searcher_.Stopped || !transaction_)
            return false;
        const auto finishing = [this] {
            if (events_.finishing)
                events_.finishing();
        };
        finishing();
        checkWhole(counted);
        finishing();
        DiscRecords::writeCatalogued(catalogue_.connection(), {NewDiscId, typeLetter, discDate_, label},
                                     searcher_.LastRun.folders, {FilesAdded, bytesAdded_},
                                     DiscMediumReader::read(searcher_.LastRoot));
        // The disc's search index is built in one go from its rows, inside the run's transaction.
        finishing();
        SearchIndex::indexDisc(catalogue_.connection(), NewDiscId, indexFeed_);
        indexFeed_ = {};
        finishing();
        transaction_->commit();
        transaction_.reset();
        discRowWritten_ = false;
        return true;
    } catch (...) {
        undo();
        NewDiscId = 0;
        throw;
    }
}

// Another run may hold the write lock for as long as its disc takes: this one waits, says
// so, and keeps handling events, so that Stop ends the wait. False when it was stopped.
bool DiscCataloguer::begin()
{
    const auto whileLocked = [this] {
        if (!waiting_) {
            waiting_ = true;
            if (events_.waiting)
                events_.waiting();
        }
        if (searcher_.OnPump)
            searcher_.OnPump();
        return !stopRequested_;
    };
    try {
        transaction_.emplace(catalogue_.connection(), whileLocked);
    } catch (const TessaroError&) {
        waiting_ = false;
        if (stopRequested_)
            return false;
        throw;
    }
    waiting_ = false;
    return true;
}

void DiscCataloguer::checkWhole(const std::optional<WalkTally>& before)
{
    const WalkTally& read = searcher_.LastRun;
    UnreadableFolders = read.unreadable;
    if (!before)
        return;
    const WalkTally& counted = *before;
    // More is harmless (the bar just fills); less means part of the disc went away meanwhile.
    if (read.files + read.deniedFiles < counted.files || read.folders < counted.folders)
        throw TessaroError(QStringLiteral("The disc changed during the run: %1 files in %2 folders were "
                                          "counted, %3 files in %4 folders read")
                               .arg(counted.files)
                               .arg(counted.folders)
                               .arg(read.files)
                               .arg(read.folders));
}

void DiscCataloguer::prepareFileInsert()
{
    insertFile_.emplace(catalogue_.connection(), Statements::InsertFile.toUtf8());
    const auto at = [this](const char* name) {
        const int index = insertFile_->parameterIndex(name);
        if (index == 0)
            throw TessaroError(QStringLiteral("Parameter '%1' not found").arg(QLatin1String(name + 1)));
        return index;
    };
    fileParams_ = {at(":vid"),         at(":vid_cd"),      at(":vnome"), at(":vpath"),
                   at(":vestensione"), at(":vdimensione"), at(":vdata")};
}

// Each file gets max(files.id) + 1. The run holds the catalogue's write lock from before its
// disc id until its commit and only its own rows go in meanwhile, so after the first
// allocation counting up gives the very same ids without asking the table every time.
qint64 DiscCataloguer::nextFileId()
{
    if (nextFileId_ <= 0 || nextFileId_ == std::numeric_limits<qint64>::max())
        nextFileId_ = catalogue_.allocateFileId();
    else
        ++nextFileId_;
    return nextFileId_;
}

void DiscCataloguer::AddFile(const QString& path, const QString& name, qint64 size, const LocalDateTime& date)
{
    // Outside the run's transaction a row would be committed on its own and could outlive its disc.
    if (!transaction_ || !insertFile_)
        return;
    const qint64 id = nextFileId();
    const QByteArray nameText = name.toUtf8();
    // The files of a folder come one after another with the same path.
    if (path != lastPath_) {
        lastPath_ = path;
        lastPathText_ = path.toUtf8();
    }
    const QByteArray& pathText = lastPathText_;
    // "." is one byte in UTF-8 and never part of another character.
    const qsizetype dot = nameText.lastIndexOf('.');
    const QByteArrayView extension = dot < 0 ? QByteArrayView("") : QByteArrayView(nameText).sliced(dot);
    char dateBytes[LocalDateTime::TextLength];
    date.writeText(dateBytes);
    const std::string_view dateText(dateBytes, LocalDateTime::TextLength);
    Statement& insert = *insertFile_;
    insert.bind(fileParams_.id, id);
    insert.bind(fileParams_.disc, NewDiscId);
    // The texts stay where they are until the row is in: SQLite copies none of them.
    insert.bindTextInPlace(fileParams_.name, nameText);
    insert.bindTextInPlace(fileParams_.path, pathText);
    insert.bindTextInPlace(fileParams_.extension, extension);
    insert.bind(fileParams_.size, size);
    insert.bindTextInPlace(fileParams_.date, dateText);
    try {
        insert.step();
    } catch (...) {
        insert.reset();
        throw;
    }
    insert.reset();
    lastFileId_ = id;
    lastFileSize_ = size;
    if (bytesAdded_ && __builtin_add_overflow(*bytesAdded_, size, &*bytesAdded_))
        bytesAdded_.reset();
    indexFeed_.add(id, std::string_view(pathText.constData(), size_t(pathText.size())),
                   std::string_view(nameText.constData(), size_t(nameText.size())),
                   std::string_view(extension.data(), size_t(extension.size())), size, dateText);
    ++FilesAdded;
    const int now = position(FilesAdded, TotalFiles);
    if (now != lastPosition_) {
        lastPosition_ = now;
        if (events_.progress)
            events_.progress(now);
    }
}

// Right after the file's row: its content read to the end and hashed. A file that cannot be read
// keeps its row without a hash and is named; links and special files have no content to hash.
void DiscCataloguer::hashContent(int folderFd, const char* name, const struct stat& status)
{
    if (!insertHash_ || !reader_ || lastFileId_ <= 0 || !S_ISREG(status.st_mode))
        return;
    const ContentReader::Result read = reader_->read(folderFd, name);
    if (!read.complete || read.bytesRead != lastFileSize_) {
        const QString reason =
            read.complete ? QStringLiteral("the file changed while it was read")
                          : QStringLiteral("%1 after %2 bytes").arg(read.reason()).arg(read.bytesRead);
        UnhashedFiles.push_back(
            {searcher_.FoundFiles.isEmpty() ? QString() : searcher_.FoundFiles.last(), reason});
        return;
    }
    Statement& insert = *insertHash_;
    insert.bind(1, lastFileId_);
    insert.bind(2, NewDiscId);
    insert.bind(3, lastFileSize_);
    insert.bindBlob(4, read.hash);
    try {
        insert.step();
    } catch (...) {
        insert.reset();
        throw;
    }
    insert.reset();
    ++FilesHashed;
}

std::optional<DiscStore::DiscRow> DiscCataloguer::lookalike(const QString& volumeLabel)
{
    if (!counted_)
        return std::nullopt;
    const DiscMedium medium = DiscMediumReader::read(searcher_.rootOf(countedFolder_));
    return DiscRecords::lookalike(catalogue_.connection(), volumeLabel, medium,
                                  counted_->files + counted_->members, counted_->folders);
}

QString DiscCataloguer::lookalikeQuestion(const DiscStore::DiscRow& same, const QString& shownDate)
{
    return QStringLiteral("This disc looks like %1, catalogued on %2; catalogue it again?")
        .arg(same.label(), shownDate.isNull() ? same.date.toString() : shownDate);
}

void DiscCataloguer::stop()
{
    stopRequested_ = true;
    searcher_.Stop();
    undo();
    NewDiscId = 0;
}

void DiscCataloguer::undo() noexcept
{
    insertFile_.reset();
    insertHash_.reset();
    indexFeed_ = {};
    // SQLite may have rolled the transaction back by itself (a full disk): then the disc is
    // already gone, and deleting by id outside the transaction could hit another instance's disc.
    if (transaction_ && transaction_->active() && discRowWritten_ && NewDiscId > 0) {
        try {
            catalogue_.removeDisc(NewDiscId);
        } catch (...) {
            // The rollback below takes the rows away all the same.
        }
    }
    if (transaction_) {
        transaction_->rollback();
        transaction_.reset();
    }
    discRowWritten_ = false;
}

void DiscCataloguer::removeCommitted()
{
    if (NewDiscId <= 0)
        return;
    // Another instance may have removed the disc since, and its id may hold another disc by now.
    const DiscStore::DiscRow disc{NewDiscId, TypeLetter, discDate_, {}};
    if (!catalogue_.removeIfUnchanged(disc)) {
        NewDiscId = 0;
        throw TessaroError(DiscStore::noLongerThere(disc.label()));
    }
    NewDiscId = 0;
}

QString DiscCataloguer::newDiscLabel() const
{
    return discLabel(TypeLetter, NewDiscId);
}

int DiscCataloguer::position(qint64 added, qint64 total)
{
    if (total <= 0)
        return 100;
    const qint64 scaled = added * 100;
    qint64 whole = scaled / total;
    const qint64 twice = 2 * (scaled % total);
    if (twice > total || (twice == total && (whole & 1)))
        ++whole;
    return int(std::clamp<qint64>(whole, 0, 100));
}
