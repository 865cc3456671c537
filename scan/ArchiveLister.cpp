#include "scan/ArchiveLister.h"

#include <QElapsedTimer>
#include <QStringList>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace
{
struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchiveHandle = std::unique_ptr<archive, ArchiveCloser>;

ArchiveHandle newReader()
{
    ArchiveHandle a(archive_read_new());
    if (a) {
        archive_read_support_filter_all(a.get());
        archive_read_support_format_all(a.get());
    }
    return a;
}

// A member's name as recorded; archives without a UTF-8 flag get the bytes as UTF-8 when valid.
QString memberName(archive_entry* entry)
{
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const wchar_t* wide = archive_entry_pathname_w(entry))
        return QString::fromWCharArray(wide);
    const char* raw = archive_entry_pathname(entry);
    return raw ? QString::fromUtf8(raw) : QString();
}

// An archive file read through its descriptor with seeking, so that zip and 7z are listed from
// their central directories without reading the members' data.
struct FileSource {
    int fd;
    char buffer[65536];
};

la_ssize_t fileRead(archive* a, void* data, const void** block)
{
    auto* source = static_cast<FileSource*>(data);
    const ssize_t got = ::read(source->fd, source->buffer, sizeof source->buffer);
    if (got < 0)
        archive_set_error(a, errno, "read error");
    *block = source->buffer;
    return got;
}

la_int64_t fileSeek(archive*, void* data, la_int64_t offset, int whence)
{
    const off_t at = ::lseek(static_cast<FileSource*>(data)->fd, off_t(offset), whence);
    return at < 0 ? ARCHIVE_FATAL : la_int64_t(at);
}

// The reason an archive is left unlisted, where the caller asked for one.
bool refuse(QString* why, const QString& reason)
{
    if (why)
        *why = reason;
    return false;
}

QString unreadable(archive* a)
{
    const char* message = a ? archive_error_string(a) : nullptr;
    return message ? QString::fromLocal8Bit(message) : QStringLiteral("it cannot be read");
}

QString overTime(int milliseconds)
{
    return milliseconds % 1000 == 0
               ? QStringLiteral("more than %1 seconds of reading").arg(milliseconds / 1000)
               : QStringLiteral("more than %1 ms of reading").arg(milliseconds);
}

la_int64_t fileSkip(archive* a, void* data, la_int64_t request)
{
    const la_int64_t from = fileSeek(a, data, 0, SEEK_CUR);
    const la_int64_t to = fileSeek(a, data, request, SEEK_CUR);
    return from < 0 || to < 0 ? 0 : to - from;
}
} // namespace

bool ArchiveLister::isArchiveName(const QString& name)
{
    static const QStringList suffixes = {
        QStringLiteral(".zip"),     QStringLiteral(".7z"),      QStringLiteral(".tar"),
        QStringLiteral(".tgz"),     QStringLiteral(".tbz2"),    QStringLiteral(".txz"),
        QStringLiteral(".tar.gz"),  QStringLiteral(".tar.bz2"), QStringLiteral(".tar.xz"),
        QStringLiteral(".tar.zst"), QStringLiteral(".rar"),     QStringLiteral(".cab"),
        QStringLiteral(".jar"),     QStringLiteral(".cpio"),    QStringLiteral(".lha"),
        QStringLiteral(".lzh"),
    };
    for (const QString& suffix : suffixes)
        if (name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    return false;
}

bool ArchiveLister::list(int fd, const QString& folder, ListedFiles& out, QString* why) const
{
    ArchiveHandle a = newReader();
    auto source = std::make_unique<FileSource>();
    source->fd = fd;
    if (!a)
        return refuse(why, QStringLiteral("out of memory"));
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return refuse(why, QString::fromLocal8Bit(std::strerror(errno)));
    archive_read_set_callback_data(a.get(), source.get());
    archive_read_set_read_callback(a.get(), fileRead);
    archive_read_set_seek_callback(a.get(), fileSeek);
    archive_read_set_skip_callback(a.get(), fileSkip);
    if (archive_read_open1(a.get()) != ARCHIVE_OK)
        return refuse(why, unreadable(a.get()));
    return listOpened(a.get(), folder, out, why);
}

bool ArchiveLister::list(const Reader& reader, const QString& folder, ListedFiles& out, QString* why) const
{
    // An archive held elsewhere cannot seek (7z and zip keep their directories at the end):
    // it is read into memory, up to a limit, and listed from there.
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qsizetype at = data.size();
        if (at >= limits_.bytesInMemory)
            return refuse(why, QStringLiteral("more than %1 MiB to read into memory")
                                   .arg(double(limits_.bytesInMemory) / (1 << 20)));
        if (clock.elapsed() > limits_.milliseconds)
            return refuse(why, overTime(limits_.milliseconds));
        data.resize(at + 65536);
        const qint64 got = reader(data.data() + at, 65536);
        if (got < 0)
            return refuse(why, QStringLiteral("a read error"));
        data.resize(at + got);
        if (got == 0)
            break;
    }
    ArchiveHandle a = newReader();
    if (!a || archive_read_open_memory(a.get(), data.constData(), size_t(data.size())) != ARCHIVE_OK)
        return refuse(why, unreadable(a.get()));
    return listOpened(a.get(), folder, out, why);
}

bool ArchiveLister::listOpened(archive* a, const QString& folder, ListedFiles& out, QString* why) const
{
    QElapsedTimer clock;
    clock.start();
    const size_t before = out.size();
    const auto notListed = [&](const QString& reason) {
        out.resize(before);
        return refuse(why, reason);
    };
    archive_entry* entry = nullptr;
    for (;;) {
        const int status = archive_read_next_header(a, &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN)
            return notListed(unreadable(a));
        if (clock.elapsed() > limits_.milliseconds)
            return notListed(overTime(limits_.milliseconds));
        if (qint64(out.size() - before) >= limits_.members)
            return notListed(QStringLiteral("more than %1 members").arg(limits_.members));
        if (archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        const QString full = memberName(entry);
        if (full.size() > limits_.nameLength)
            return notListed(QStringLiteral("a member name over %1 characters").arg(limits_.nameLength));
        // Folders of members are no rows; "." and ".." steps and absolute prefixes are dropped.
        QStringList parts = full.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        parts.removeIf(
            [](const QString& part) { return part == QLatin1String(".") || part == QLatin1String(".."); });
        if (parts.isEmpty())
            continue;
        ListedFile file;
        file.name = parts.takeLast();
        file.path = folder;
        for (const QString& part : parts)
            file.path.append(part).append(QLatin1Char('\\'));
        file.size = archive_entry_size_is_set(entry) ? qint64(archive_entry_size(entry)) : 0;
        file.modified = archive_entry_mtime_is_set(entry) ? qint64(archive_entry_mtime(entry)) : 0;
        out.push_back(std::move(file));
    }
    if (clock.elapsed() > limits_.milliseconds)
        return notListed(overTime(limits_.milliseconds));
    return true;
}
