#include "maintenance/DiscVerifier.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileHashes.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "common/LocalDateTime.h"
#include "common/TessaroError.h"
#include "maintenance/DiscHoldings.h"
#include "scan/ArchiveLister.h"

#include <QElapsedTimer>
#include <set>

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
        Row row{text(rows, 0), text(rows, 1), text(rows, 2), rows.integer(3), rows.blob(4), false};
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
    pending_.reset();
    looked_ = 0;
    searcher_.mapDrive(QLatin1Char('d'), root);
    searcher_.ListArchives = hasMembers_;
    searcher_.DotFolders = hasDotFolders_;
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
    if (searcher_.Stopped)
        return std::nullopt;
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
    rows_[size_t(*found)].seen = true;
    pending_ = Pending{*found, size, date.toText(), std::nullopt};
}

void DiscVerifier::onContent(int folderFd, const char* name, const struct stat& status)
{
    if (!pending_ || !S_ISREG(status.st_mode))
        return;
    pending_->read = reader_.read(folderFd, name);
    tally_.bytes += pending_->read->bytesRead;
}

void DiscVerifier::finishPending()
{
    if (!pending_)
        return;
    const Pending done = std::move(*pending_);
    pending_.reset();
    const Row& row = rows_[size_t(done.row)];
    if (done.read && !done.read->complete) {
        ++tally_.unreadable;
        report(Problem::Kind::Unreadable, row,
               QStringLiteral("%1 after %2 of %3 bytes")
                   .arg(done.read->reason())
                   .arg(done.read->bytesRead)
                   .arg(done.size));
    } else {
        QStringList what;
        if (done.read && !row.hash.isEmpty() && done.read->hash != row.hash && done.size == row.size)
            what << QStringLiteral("content");
        if (done.size != row.size)
            what << QStringLiteral("size: now %1").arg(done.size);
        if (done.date != row.date)
            what << QStringLiteral("date: now %1").arg(done.date);
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
