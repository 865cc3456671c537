#include "maintenance/DiscVerifier.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileHashes.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "common/LocalDateTime.h"
#include "common/TessaroError.h"
#include "maintenance/DiscHoldings.h"
#include "scan/ArchiveLister.h"
#include "scan/DiscImage.h"
#include "scan/ListedWalk.h"

#include <QElapsedTimer>
#include <set>
#include <utility>

namespace
{
QString text(const Statement& statement, int column)
{
    const std::string_view bytes = statement.text(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}
} // namespace

QString DiscVerifier::Problem::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Changed:
        return QStringLiteral("changed");
    case Kind::Unreadable:
        return QStringLiteral("unreadable");
    case Kind::Missing:
        return QStringLiteral("missing");
    case Kind::New:
        break;
    }
    return QStringLiteral("new");
}

DiscVerifier::DiscVerifier(Catalogue& catalogue, DiscStore::DiscRow disc)
    : catalogue_(catalogue), disc_(std::move(disc)), searcher_([](QChar) { return QString(); })
{
    searcher_.OnFile = [this](const QString&, const QString& path, const QString& name, qint64 size,
                              const LocalDateTime& date) { onFile(path, name, size, date); };
    searcher_.OnContent = [this](int folderFd, const char* name, const struct stat& status) {
        onContent(folderFd, name, status);
    };
    reader_.going = [this] {
        if (searcher_.OnPump)
            searcher_.OnPump();
        return !searcher_.Stopped;
    };
}

void DiscVerifier::load()
{
    rows_.clear();
    byName_.clear();
    Connection& connection = catalogue_.connection();
    const bool hashes = FileHashes::present(connection);
    Transaction read(connection, Transaction::Kind::Deferred);
    Statement rows(connection,
                   hashes
                       ? QByteArray("select f.path, f.nome, f.data, f.dimensione, h.hash from files f left "
                                    "join file_hash h on h.id_file = f.id and h.id_cd = f.id_cd and "
                                    "h.dimensione = f.dimensione where f.id_cd = ?1")
                       : QByteArray("select path, nome, data, dimensione, null from files where id_cd = ?1"));
    rows.bind(1, disc_.id);
    std::set<QString> folders;
    while (rows.step()) {
        Row row;
        row.path = text(rows, 0);
        row.name = text(rows, 1);
        row.date = text(rows, 2);
        row.size = rows.integer(3);
        row.hash = rows.blob(4);
        folders.insert(row.path);
        byName_.insert(row.path + row.name, int(rows_.size()));
        rows_.push_back(std::move(row));
    }
    // The run lists archives and enters dot folders only when the catalogued disc has them.
    std::vector<QString> files;
    for (const Row& row : rows_) {
        if (ArchiveLister::isArchiveName(row.name))
            files.push_back(row.path + row.name);
    }
    const DiscHoldings holdings = DiscHoldings::of(folders, files);
    hasDotFolders_ = holdings.dotFolders;
    hasMembers_ = holdings.archiveMembers;
}

std::optional<Verification> DiscVerifier::run(const QString& root)
{
    // Said before the medium is read for minutes, not after.
    if (!Verifications::present(catalogue_.connection()))
        throw TessaroError(
            QStringLiteral("The catalogue cannot keep verifications; run tessaro-cli upgrade-catalogue"));
    load();
    tally_ = {};
    tally_.verified = LocalDateTime::now().toText();
    tally_.files = qint64(rows_.size());
    tally_.source = root;
    pending_ = -1;
    pendingRead_.reset();
    looked_ = 0;
    image_ = DiscImage::isImage(root);
    namesOnly_ = false;
    searcher_.mapDrive(QLatin1Char('d'), root);
    searcher_.ListArchives = hasMembers_;
    searcher_.DotFolders = hasDotFolders_;
    searcher_.CutImages = true;
    QElapsedTimer clock;
    clock.start();
    QString walkError;
    try {
        searcher_.Execute(QStringLiteral("d:\\"), QStringLiteral("*.*"), true);
    } catch (const TessaroError& error) {
        // A folder that cannot be read ends the walk; what was not reached is unreadable, not gone.
        walkError = error.message();
    }
    finishPending();
    QString contentError;
    if (image_ && walkError.isEmpty() && !searcher_.Stopped) {
        try {
            readImage(root);
        } catch (const TessaroError& error) {
            contentError = error.message();
        }
    }
    if (searcher_.Stopped)
        return std::nullopt;
    // What the image's bytes did not reach: archive members and the files of images whose bytes
    // cannot be read are compared by their listing; after an error, the rest is unreadable.
    for (Row& row : rows_) {
        if (!row.seen || row.judged)
            continue;
        if (contentError.isEmpty()) {
            judge(row, std::nullopt);
            continue;
        }
        ContentReader::Result failed;
        failed.failure = contentError;
        judge(row, failed);
    }
    for (const Row& row : rows_) {
        if (row.seen)
            continue;
        if (walkError.isEmpty()) {
            ++tally_.missing;
            report(Problem::Kind::Missing, row, {});
        } else {
            ++tally_.unreadable;
            report(Problem::Kind::Unreadable, row, walkError);
        }
    }
    tally_.seconds = double(clock.nsecsElapsed()) / 1e9;
    tally_.ok = tally_.files - tally_.changed - tally_.unreadable - tally_.missing;
    Verifications::add(catalogue_.connection(), disc_, tally_);
    return tally_;
}

void DiscVerifier::onFile(const QString& path, const QString& name, qint64 size, const LocalDateTime& date)
{
    finishPending();
    const auto found = byName_.constFind(path + name);
    if (found == byName_.constEnd() || rows_[size_t(*found)].seen) {
        ++tally_.added;
        if (OnProblem)
            OnProblem({Problem::Kind::New, path, name, date.toText(), size, {}});
        return;
    }
    Row& row = rows_[size_t(*found)];
    row.seen = true;
    row.foundSize = size;
    row.foundDate = date.toText();
    // A file of an image is judged once its bytes are read, after the listing.
    if (!image_)
        pending_ = *found;
}

void DiscVerifier::onContent(int folderFd, const char* name, const struct stat& status)
{
    if (pending_ < 0 || !S_ISREG(status.st_mode))
        return;
    pendingRead_ = reader_.read(folderFd, name);
    tally_.bytes += pendingRead_->bytesRead;
}

void DiscVerifier::finishPending()
{
    if (pending_ < 0)
        return;
    Row& row = rows_[size_t(pending_)];
    pending_ = -1;
    judge(row, std::exchange(pendingRead_, std::nullopt));
}

void DiscVerifier::readImage(const QString& image)
{
    Row* current = nullptr;
    ImageContent content;
    content.wanted = [&](const QString& path, const QString& name, qint64) {
        const auto found = byName_.constFind(path + name);
        current = found == byName_.constEnd() ? nullptr : &rows_[size_t(*found)];
        if (!current || !current->seen || current->judged)
            return current = nullptr, false;
        reader_.start();
        return true;
    };
    content.bytes = [&](const char* bytes, qint64 size) {
        reader_.add(bytes, size);
        tally_.bytes += size;
    };
    content.end = [&](qint64 read, const QString& failure) {
        if (current)
            judge(*current, reader_.finish(read, failure));
    };
    ImageReading how;
    how.dotFolders = hasDotFolders_;
    how.going = ListedWalk::going(&searcher_);
    const DiscImage::Contents done = DiscImage::readContents(image, how, content);
    if (done == DiscImage::Contents::Stopped)
        searcher_.Stop();
    namesOnly_ = done == DiscImage::Contents::NotRead;
}

void DiscVerifier::judge(Row& row, const std::optional<ContentReader::Result>& read)
{
    row.judged = true;
    if (read && !read->complete) {
        ++tally_.unreadable;
        report(Problem::Kind::Unreadable, row,
               QStringLiteral("%1 after %2 of %3 bytes")
                   .arg(read->reason())
                   .arg(read->bytesRead)
                   .arg(row.foundSize));
    } else {
        QStringList what;
        if (read && !row.hash.isEmpty() && read->hash != row.hash && row.foundSize == row.size)
            what << QStringLiteral("content");
        if (row.foundSize != row.size)
            what << QStringLiteral("size: now %1").arg(row.foundSize);
        if (row.foundDate != row.date)
            what << QStringLiteral("date: now %1").arg(row.foundDate);
        if (!what.isEmpty()) {
            ++tally_.changed;
            report(Problem::Kind::Changed, row, what.join(QStringLiteral("; ")));
        }
    }
    if (OnProgress)
        OnProgress(++looked_, tally_.bytes);
}

void DiscVerifier::report(Problem::Kind kind, const Row& row, const QString& detail)
{
    if (OnProblem)
        OnProblem({kind, row.path, row.name, row.date, row.size, detail});
}
