#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Small helpers that lay out a disc tree with POSIX calls, so names that are not UTF-8 work too.
namespace fixture
{
inline QByteArray at(const QString& root, const QByteArray& relative)
{
    return QFile::encodeName(root) + '/' + relative;
}

inline void folder(const QString& root, const QByteArray& relative)
{
    QDir().mkpath(QFile::decodeName(at(root, relative)));
}

// A file of the given size (sparse) and, when mtime is not -1, that last-write time (UTC seconds).
inline bool file(const QString& root, const QByteArray& relative, qint64 size = 0, qint64 mtime = -1)
{
    const QByteArray path = at(root, relative);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool sized = ::ftruncate(fd, off_t(size)) == 0;
    ::close(fd);
    if (mtime != -1) {
        const timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
        if (::utimensat(AT_FDCWD, path.constData(), times, 0) != 0)
            return false;
    }
    return sized;
}

inline bool symlink(const QString& root, const QByteArray& relative, const QByteArray& target,
                    qint64 mtime = -1)
{
    const QByteArray path = at(root, relative);
    if (::symlink(target.constData(), path.constData()) != 0)
        return false;
    if (mtime == -1)
        return true;
    const timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
    return ::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}
} // namespace fixture
