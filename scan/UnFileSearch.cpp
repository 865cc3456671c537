#include "scan/UnFileSearch.h"

#include "common/TessaroError.h"
#include "scan/DiscImage.h"
#include "scan/DriveTable.h"
#include "scan/FileLimit.h"
#include "scan/ListedWalk.h"
#include "scan/WildcardPattern.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
struct DirCloser {
    DIR* dir;
    ~DirCloser() { closedir(dir); }
};

bool outOfResources(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOMEM;
}
} // namespace

// One walk or count over one start folder; both share the traversal so they cannot disagree.
class FolderWalk
{
  public:
    FolderWalk(TFileSearcher* searcher, const QString& pattern, bool recursive, const QString& drive,
               const QByteArray& folder, const ArchiveLister* archives = nullptr)
        : searcher_(searcher), pattern_(pattern), recursive_(recursive), drive_(drive), folder_(folder),
          archives_(archives)
    {
    }

    qint64 run(const QString& path)
    {
        if (folder_.isEmpty())
            return 0;
        const int fd = ::open(folder_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            checkResources(errno, path);
            return 0;
        }
        struct stat st;
        if (fstat(fd, &st) != 0) {
            ::close(fd);
            return 0;
        }
        device_ = st.st_dev;
        walkFolder(fd, path);
        return count_;
    }

  private:
    // Skipping a folder for want of descriptors would silently lose part of the disc.
    void checkResources(int error, const QString& path) const
    {
        if (outOfResources(error))
            throw TessaroError(QStringLiteral("Cannot read the folder %1%2: %3")
                                   .arg(drive_, path, QString::fromLocal8Bit(strerror(error))));
    }

    // An error other than running out of descriptors: a denied or vanished folder is simply
    // skipped, but when the start folder itself went away the medium is gone and every level ends.
    void failed(int error, const QString& path)
    {
        checkResources(error, path);
        struct stat st;
        if (::stat(folder_.constData(), &st) != 0 || st.st_dev != device_)
            gone_ = true;
    }

    bool ended() const { return gone_ || (searcher_ && searcher_->Stopped); }

    void walkFolder(int fd, const QString& path)
    {
        DIR* dir = fdopendir(fd);
        if (!dir) {
            const int error = errno;
            ::close(fd);
            failed(error, path);
            return;
        }
        DirCloser closer{dir};
        // The first entry is handled before any stop test; each further one is fetched, then tested.
        errno = 0;
        dirent* entry = readdir(dir);
        if (!entry) {
            if (errno != 0)
                failed(errno, path);
            return;
        }
        handle(dir, entry, path);
        for (;;) {
            errno = 0;
            entry = readdir(dir);
            if (!entry) {
                if (errno != 0)
                    failed(errno, path);
                return;
            }
            if (ended())
                return;
            handle(dir, entry, path);
        }
    }

    void handle(DIR* dir, const dirent* entry, const QString& path)
    {
        const char* name = entry->d_name;
        unsigned char type = entry->d_type;
        struct stat st;
        bool haveStat = false;
        if (type == DT_UNKNOWN) {
            if (fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                failed(errno, path);
                return;
            }
            haveStat = true;
            type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        }
        if (type == DT_DIR) {
            if (recursive_ && name[0] != '.')
                enter(dir, name, path);
            return;
        }
        // Symbolic links are files of their own: never followed, reported with their own size and date.
        if (!searcher_) {
            if (pattern_.matchesEverything() || pattern_.matches(QString::fromUtf8(name))) {
                ++count_;
                if (archives_)
                    listArchive(dir, name, QString::fromUtf8(name), path);
            }
            return;
        }
        // The name buffer is reused from file to file; a handler that keeps the name gets its own copy.
        decodeName(name);
        if (!pattern_.matches(name_))
            return;
        if (searcher_->OnFile && !haveStat && fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            failed(errno, path);
            return;
        }
        ++count_;
        QString full;
        full.reserve(path.size() + name_.size());
        full.append(path).append(name_);
        searcher_->FoundFiles.append(std::move(full));
        if (searcher_->OnFile)
            searcher_->OnFile(drive_, path, name_, qint64(st.st_size),
                              LocalDateTime::fromTime(st.st_mtim.tv_sec));
        QCoreApplication::processEvents();
        if (archives_)
            listArchive(dir, name, name_, path);
    }

    // An archive's members follow its own row; one that cannot be listed only adds to a count.
    void listArchive(DIR* dir, const char* name, const QString& decoded, const QString& path)
    {
        if (!ArchiveLister::isArchiveName(decoded) || ended())
            return;
        ListedFiles members;
        const int fd = openat(dirfd(dir), name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const bool listed = fd >= 0 && archives_->list(fd, path + decoded + QLatin1Char('\\'), members);
        if (fd >= 0)
            ::close(fd);
        if (!listed) {
            if (searcher_)
                ++searcher_->NotListed;
            return;
        }
        count_ += ListedWalk::report(searcher_, members, drive_, QStringLiteral("\\"), pattern_, true);
    }

    // Most names are ASCII, which Latin-1 decodes into the buffer without a new allocation.
    void decodeName(const char* name)
    {
        const qsizetype size = qsizetype(std::strlen(name));
        for (qsizetype i = 0; i < size; ++i)
            if (static_cast<unsigned char>(name[i]) >= 0x80) {
                name_ = QString::fromUtf8(name, size);
                return;
            }
        name_.resize(0);
        name_.append(QLatin1StringView(name, size));
    }

    void enter(DIR* dir, const char* name, const QString& path)
    {
        const QString folderPath = path + QString::fromUtf8(name) + QLatin1Char('\\');
        const int fd = openat(dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            failed(errno, folderPath);
            return;
        }
        // A drive never spans two volumes: a folder on another file system is a mount point, not ours.
        struct stat st;
        if (fstat(fd, &st) != 0 || st.st_dev != device_) {
            ::close(fd);
            return;
        }
        walkFolder(fd, folderPath);
    }

    TFileSearcher* searcher_;
    WildcardPattern pattern_;
    bool recursive_;
    QString drive_;
    QByteArray folder_;
    const ArchiveLister* archives_;
    dev_t device_ = 0;
    qint64 count_ = 0;
    bool gone_ = false;
    QString name_;
};

TFileSearcher::TFileSearcher(DriveResolver resolver) : resolver_(std::move(resolver))
{
    raiseOpenFileLimit();
}

void TFileSearcher::mapDrive(QChar letter, const QString& folder)
{
    mapped_[letter.toLower()] = folder;
}

TFileSearcher::Start TFileSearcher::resolve(const QString& folder) const
{
    if (folder.size() < 2 || folder.at(1) != QLatin1Char(':') || !folder.at(0).isLetter())
        throw TessaroError(QStringLiteral("Not a drive folder: %1").arg(folder));
    Start start;
    start.drive = folder.left(2);
    start.path = folder.mid(2);
    if (!start.path.startsWith(QLatin1Char('\\')))
        start.path.prepend(QLatin1Char('\\'));
    if (!start.path.endsWith(QLatin1Char('\\')))
        start.path.append(QLatin1Char('\\'));

    const QChar letter = folder.at(0).toLower();
    QString root;
    if (const auto it = mapped_.find(letter); it != mapped_.end())
        root = it->second;
    else if (resolver_)
        root = resolver_(letter);
    else {
        DriveTable::Sources system = DriveTable::systemSources();
        system.readLabel = nullptr;
        root = DriveTable(system).rootOf(letter);
    }
    if (root.isEmpty())
        return start;
    start.root = root;
    QString relative = start.path;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (root.endsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    start.folder = QFile::encodeName(root + relative);
    return start;
}

void TFileSearcher::Execute(const QString& folder, const QString& pattern, bool recursive)
{
    FoundFiles.clear();
    Stopped = false;
    NotListed = 0;
    if (OnStart)
        OnStart(folder, pattern, recursive);
    const Start start = resolve(folder);
    // One look at the zone per walk; each date then converts with the offset of its own moment.
    tzset();
    const ArchiveLister archives(Limits);
    if (DiscImage::isImage(start.root))
        ListedWalk::image(this, start.root, ListArchives ? &archives : nullptr, start.drive, start.path,
                          pattern, recursive);
    else
        FolderWalk(this, pattern, recursive, start.drive, start.folder, ListArchives ? &archives : nullptr)
            .run(start.path);
    if (OnEnd)
        OnEnd(Stopped);
}

qint64 TFileSearcher::CountFiles(const QString& folder, const QString& pattern, bool recursive) const
{
    const Start start = resolve(folder);
    const ArchiveLister archives(Limits);
    if (DiscImage::isImage(start.root))
        return ListedWalk::image(nullptr, start.root, ListArchives ? &archives : nullptr, start.drive,
                                 start.path, pattern, recursive);
    return FolderWalk(nullptr, pattern, recursive, start.drive, start.folder,
                      ListArchives ? &archives : nullptr)
        .run(start.path);
}
