#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Disc trees laid out with descriptor-relative POSIX calls, so that names that are not UTF-8
// and paths longer than PATH_MAX work; QDir can neither make nor remove those.
namespace rawtree
{
// Makes folder `name` inside the folder open as `parent` (if missing) and opens it.
inline int folder(int parent, const QByteArray& name)
{
    ::mkdirat(parent, name.constData(), 0755);
    return ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

inline bool file(int parent, const QByteArray& name, qint64 size = 0)
{
    const int fd = ::openat(parent, name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool sized = ::ftruncate(fd, off_t(size)) == 0;
    ::close(fd);
    return sized;
}

// Removes everything inside the folder open as `fd`, then closes it.
inline void emptyAndClose(int fd)
{
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        struct stat st;
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            ::fchmodat(fd, name, 0755, 0);
            const int child = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0)
                emptyAndClose(child);
            ::unlinkat(fd, name, AT_REMOVEDIR);
        } else {
            ::unlinkat(fd, name, 0);
        }
    }
    ::closedir(dir);
}

// Empties the folder at `path`, which then QTemporaryDir can remove.
inline void empty(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        emptyAndClose(fd);
}
} // namespace rawtree
