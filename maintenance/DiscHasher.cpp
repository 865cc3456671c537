#include "maintenance/DiscHasher.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileHashes.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "common/LocalDateTime.h"
#include "common/TessaroError.h"
#include "scan/ArchiveLister.h"
#include "scan/DiscImage.h"
#include "scan/ListedWalk.h"

namespace
{
QString text(const Statement& statement, int column)
{
    const std::string_view bytes = statement.text(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}
} // namespace

DiscHasher::DiscHasher(Catalogue& catalogue, DiscStore::DiscRow disc)
    : catalogue_(catalogue), disc_(std::move(disc)), searcher_([](QChar) { return QString(); })
{
    searcher_.OnFile = [this](const QString&, const QString& path, const QString& name, qint64 size,
                              const LocalDateTime& date) { onFile(path, name, size, date); };
    searcher_.OnContent = [this](int folderFd, const char* name, const struct stat& status) {
        onContent(folderFd, name, status);
    };
}

DiscHasher::~DiscHasher() = default;

DiscHasher::Outcome DiscHasher::run(const QString& root)
{
    Connection& connection = catalogue_.connection();
    if (!FileHashes::present(connection))
        throw TessaroError(
            QStringLiteral("The catalogue cannot keep file hashes; run tessaro-cli upgrade-catalogue"));
    outcome_ = {};
    rows_.clear();
    archives_.clear();
    {
        Transaction read(connection, Transaction::Kind::Deferred);
        Statement rows(connection,
                       "select f.id, f.path, f.nome, f.dimensione, f.data, h.id_file is not null from "
                       "files f left join file_hash h on h.id_file = f.id and h.id_cd = f.id_cd and "
                       "h.dimensione = f.dimensione where f.id_cd = ?1");
        rows.bind(1, disc_.id);
        while (rows.step()) {
            if (ArchiveLister::isArchiveName(text(rows, 2)))
                archives_.insert(text(rows, 1) + text(rows, 2) + QLatin1Char('\\'));
            if (rows.integer(5) != 0) {
                ++outcome_.hadHash;
                continue;
            }
            rows_.insert(text(rows, 1) + text(rows, 2),
                         Row{rows.integer(0), rows.integer(3), text(rows, 4), false});
        }
    }
    searcher_.mapDrive(QLatin1Char('d'), root);
    // Only the files of real folders have content to read: no archive members, no dot folders
    // unless the disc has them.
    bool dotFolders = false;
    for (auto it = rows_.cbegin(); it != rows_.cend() && !dotFolders; ++it)
        dotFolders = it.key().contains(QLatin1String("\\."));
    searcher_.DotFolders = dotFolders;
    try {
        if (!rows_.isEmpty())
            searcher_.Execute(QStringLiteral("d:\\"), QStringLiteral("*.*"), true);
        if (!rows_.isEmpty() && !searcher_.Stopped && DiscImage::isImage(root))
            readImage(root);
        commit();
    } catch (...) {
        // What the finished batches hold stays; the open one goes.
        batch_.reset();
        throw;
    }
    outcome_.stopped = searcher_.Stopped;
    if (!outcome_.stopped) {
        for (auto it = rows_.cbegin(); it != rows_.cend(); ++it)
            if (!it->seen && !insideArchive(it.key()))
                outcome_.skipped.push_back({it.key(), QStringLiteral("not on the medium")});
    }
    return outcome_;
}

// Archive members are listed, never read: they have no content of their own to hash.
bool DiscHasher::insideArchive(const QString& name) const
{
    for (qsizetype at = name.indexOf(QLatin1Char('\\'), 1); at > 0;
         at = name.indexOf(QLatin1Char('\\'), at + 1))
        if (archives_.contains(name.left(at + 1)))
            return true;
    return false;
}

void DiscHasher::onFile(const QString& path, const QString& name, qint64 size, const LocalDateTime& date)
{
    current_ = nullptr;
    currentName_ = path + name;
    const auto found = rows_.find(currentName_);
    if (found == rows_.end() || found->seen)
        return;
    found->seen = true;
    if (found->size != size || found->date != date.toText()) {
        outcome_.skipped.push_back({currentName_, QStringLiteral("size or date no longer matches")});
        return;
    }
    found->matched = true;
    current_ = &*found;
}

void DiscHasher::readImage(const QString& image)
{
    Row* row = nullptr;
    QString name;
    ImageContent content;
    content.wanted = [&](const QString& path, const QString& file, qint64) {
        name = path + file;
        const auto found = rows_.find(name);
        row = found != rows_.end() && found->matched ? &*found : nullptr;
        if (row)
            reader_.start();
        return row != nullptr;
    };
    content.bytes = [&](const char* bytes, qint64 size) { reader_.add(bytes, size); };
    content.end = [&](qint64 read, const QString& failure) {
        row->matched = false;
        if (!failure.isEmpty())
            outcome_.skipped.push_back({name, QStringLiteral("%1 after %2 bytes").arg(failure).arg(read)});
        else if (read != row->size)
            outcome_.skipped.push_back({name, QStringLiteral("the file changed while it was read")});
        else
            keep(row->id, row->size, reader_.finish(read, failure).hash);
    };
    ImageReading how;
    how.dotFolders = searcher_.DotFolders;
    how.going = ListedWalk::going(&searcher_);
    const DiscImage::Contents done = DiscImage::readContents(image, how, content);
    if (done == DiscImage::Contents::Stopped)
        searcher_.Stop();
    if (done != DiscImage::Contents::NotRead)
        return;
    for (auto it = rows_.begin(); it != rows_.end(); ++it)
        if (it->matched && !insideArchive(it.key()))
            outcome_.skipped.push_back(
                {it.key(), QStringLiteral("the bytes of files on this image are not read")});
}

void DiscHasher::onContent(int folderFd, const char* name, const struct stat& status)
{
    Row* row = current_;
    current_ = nullptr;
    if (!row || !S_ISREG(status.st_mode))
        return;
    const ContentReader::Result read = reader_.read(folderFd, name);
    if (!read.complete) {
        outcome_.skipped.push_back(
            {currentName_, QStringLiteral("%1 after %2 bytes").arg(read.reason()).arg(read.bytesRead)});
        return;
    }
    if (read.bytesRead != row->size) {
        outcome_.skipped.push_back({currentName_, QStringLiteral("the file changed while it was read")});
        return;
    }
    keep(row->id, row->size, read.hash);
}

void DiscHasher::keep(qint64 id, qint64 size, const QByteArray& hash)
{
    Connection& connection = catalogue_.connection();
    if (!batch_)
        batch_.emplace(connection, Transaction::Kind::Immediate);
    // Only while the row is still the one read: the disc may have been removed meanwhile.
    Statement insert(connection,
                     "insert or replace into file_hash (id_file, id_cd, dimensione, hash) select ?1, ?2, "
                     "?3, ?4 where exists (select 1 from files where id = ?1 and id_cd = ?2 and "
                     "dimensione = ?3)");
    insert.bind(1, id);
    insert.bind(2, disc_.id);
    insert.bind(3, size);
    insert.bindBlob(4, hash);
    insert.step();
    ++outcome_.hashed;
    if (++inBatch_ >= BatchFiles)
        commit();
}

void DiscHasher::commit()
{
    if (batch_) {
        batch_->commit();
        batch_.reset();
    }
    inBatch_ = 0;
}
