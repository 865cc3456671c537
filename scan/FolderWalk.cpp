#include "scan/FolderWalk.h"

#include "common/LocalDateTime.h"
#include "common/TessaroError.h"
#include "scan/ArchiveLister.h"
#include "scan/FileNameText.h"
#include "scan/ListedWalk.h"
#include "scan/UnFileSearch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
bool deniedError(int error)
{
    return error == EACCES || error == EPERM;
}

bool dotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}
} // namespace

FolderWalk::FolderWalk(TFileSearcher* searcher, const QString& pattern, Options options, const QString& drive,
                       const QByteArray& folder, const ArchiveLister* archives)
    : searcher_(searcher), pattern_(pattern), options_(options), drive_(drive), folder_(folder),
      archives_(archives)
{
}

FolderWalk::~FolderWalk() = default;

void FolderWalk::fail(const QString& what, int error, bool file) const
{
    const QString text = file ? QStringLiteral("Cannot read the file %1%2: %3")
                              : QStringLiteral("Cannot read the folder %1%2: %3");
    throw TessaroError(text.arg(drive_, what, QString::fromLocal8Bit(strerror(error))));
}

bool FolderWalk::stopped() const
{
    if (searcher_)
        return searcher_->Stopped;
    return Going && !Going();
}

WalkTally FolderWalk::run(const QString& path)
{
    tally_ = {};
    stack_.clear();
    if (folder_.isEmpty())
        return tally_;
    const int fd = ::open(folder_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (!deniedError(error))
            fail(path, error);
        ++tally_.unreadable;
        return tally_;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        fail(path, error);
    }
    device_ = st.st_dev;
    path_ = path;
    push(fd, {});

    // Depth first: a subfolder is read whole where its entry is met. The first entry of a
    // folder is handled before any stop test; each further one is fetched, then tested.
    while (!stack_.empty()) {
        Level& top = stack_.back();
        errno = 0;
        const dirent* entry = readdir(top.dir.get());
        if (!entry) {
            if (errno != 0)
                fail(path_, errno);
            finish(top);
            stack_.pop_back();
            if (!stack_.empty())
                path_.truncate(stack_.back().pathSize);
            if (OnFolderRead)
                OnFolderRead(tally_);
            continue;
        }
        if (!top.first && stopped()) {
            stack_.clear();
            break;
        }
        top.first = false;
        handle(top, entry);
    }
    return tally_;
}

void FolderWalk::push(int fd, QByteArray name)
{
    DIR* dir = fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        fail(path_, error);
    }
    ++tally_.folders;
    Level level;
    level.dir.reset(dir);
    level.pathSize = path_.size();
    level.name = std::move(name);
    stack_.push_back(std::move(level));
}

// A folder removed while it was read ends its listing early without an error: its link count
// is then 0. Some file systems report 0 for every folder, so the name is looked up again.
void FolderWalk::finish(const Level& level) const
{
    struct stat st;
    if (fstat(dirfd(level.dir.get()), &st) != 0)
        fail(path_, errno);
    if (st.st_nlink != 0)
        return;
    struct stat again;
    const bool found = stack_.size() < 2 ? ::stat(folder_.constData(), &again) == 0
                                         : fstatat(dirfd(stack_[stack_.size() - 2].dir.get()),
                                                   level.name.constData(), &again, AT_SYMLINK_NOFOLLOW) == 0;
    if (!found || again.st_ino != st.st_ino || again.st_dev != st.st_dev)
        fail(path_, ENOENT);
}

void FolderWalk::deny(Level& level)
{
    // A folder that may be listed but not searched: its entries cannot be looked at.
    if (!level.denied) {
        level.denied = true;
        ++tally_.unreadable;
    }
}

void FolderWalk::handle(Level& level, const dirent* entry)
{
    const char* name = entry->d_name;
    unsigned char type = entry->d_type;
    const int fd = dirfd(level.dir.get());
    struct stat st;
    bool haveStat = false;
    if (type == DT_UNKNOWN) {
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            const int error = errno;
            if (!deniedError(error))
                fail(path_ + fileNameText(name, qsizetype(std::strlen(name))), error, true);
            deny(level);
            return;
        }
        haveStat = true;
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_DIR) {
        if (options_.recursive && !dotOrDotDot(name) && (name[0] != '.' || options_.dotFolders))
            enter(level, name);
        return;
    }
    // Symbolic links are files of their own: never followed, reported with their own size and date.
    if (!searcher_) {
        const bool all = pattern_.matchesEverything();
        const QString decoded =
            all && !archives_ ? QString() : fileNameText(name, qsizetype(std::strlen(name)));
        if (all || pattern_.matches(decoded)) {
            ++tally_.files;
            if (archives_ && type == DT_REG)
                listArchive(level, name, decoded);
        }
        return;
    }
    // The name buffer is reused from file to file; a handler that keeps the name gets its own copy.
    decodeName(name);
    if (!pattern_.matches(name_))
        return;
    if (searcher_->OnFile && !haveStat && fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        if (!deniedError(error))
            fail(path_ + name_, error, true);
        deny(level);
        ++tally_.deniedFiles;
        return;
    }
    ++tally_.files;
    QString full;
    full.reserve(path_.size() + name_.size());
    full.append(path_).append(name_);
    searcher_->FoundFiles.append(std::move(full));
    if (searcher_->OnFile)
        searcher_->OnFile(drive_, path_, name_, qint64(st.st_size),
                          LocalDateTime::fromTime(st.st_mtim.tv_sec));
    if (searcher_->OnContent && searcher_->OnFile)
        searcher_->OnContent(fd, name, st);
    if (searcher_->OnPump)
        searcher_->OnPump();
    // A FIFO, a device or a link named like an archive is the file it is: opening a FIFO to
    // read it would wait for a writer for ever.
    if (archives_ && type == DT_REG)
        listArchive(level, name, name_);
}

// An archive's members follow its own row; one that cannot be listed only adds to a count and
// never fails the disc. Members are tallied apart: a listing may end at a time limit in one pass
// and not in the other, which must not look like a disc that changed.
void FolderWalk::listArchive(const Level& level, const char* name, const QString& decoded)
{
    if (!ArchiveLister::isArchiveName(decoded) || stopped())
        return;
    ListedFiles members;
    const QString archive = path_ + decoded;
    // The entry said a regular file; one put in its place since is never waited on.
    const int fd = openat(dirfd(level.dir.get()), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return;
    }
    QString why = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QString();
    const bool listed = fd >= 0 && archives_->list(fd, archive + QLatin1Char('\\'), members, &why,
                                                   ListedWalk::going(searcher_));
    if (fd >= 0)
        ::close(fd);
    if (!listed) {
        if (searcher_)
            searcher_->archiveNotListed({archive, why});
        return;
    }
    tally_.members += ListedWalk::report(searcher_, members, drive_, QStringLiteral("\\"), pattern_, true);
}

// Most names are ASCII without a "\", which Latin-1 decodes into the buffer without a new
// allocation.
void FolderWalk::decodeName(const char* name)
{
    const qsizetype size = qsizetype(std::strlen(name));
    for (qsizetype i = 0; i < size; ++i)
        if (static_cast<unsigned char>(name[i]) >= 0x80 || name[i] == '\\') {
            name_ = fileNameText(name, size);
            return;
        }
    name_.resize(0);
    name_.append(QLatin1StringView(name, size));
}

void FolderWalk::enter(Level& level, const char* name)
{
    // The child's path while it is opened; cut back unless the child is entered.
    const qsizetype parentSize = path_.size();
    path_.append(fileNameText(name, qsizetype(std::strlen(name)))).append(QLatin1Char('\\'));
    const int fd = openat(dirfd(level.dir.get()), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (!deniedError(error))
            fail(path_, error);
        ++tally_.unreadable;
        path_.truncate(parentSize);
        return;
    }
    // A drive never spans two volumes: a folder on another file system is a mount point, not ours.
    struct stat st;
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        fail(path_, error);
    }
    if (st.st_dev != device_) {
        ::close(fd);
        path_.truncate(parentSize);
        return;
    }
    // `level` lives in the stack, which the push may move.
    push(fd, QByteArray(name));
}
