#include "scan/ArchiveLister.h"

#include "scan/FileNameText.h"

#include <QElapsedTimer>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr qint64 kBlock = 65536;

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchiveHandle = std::unique_ptr<archive, ArchiveCloser>;

// A path libarchive knows to be UTF-8 (pax, zip's flag, Joliet) comes converted; one it cannot
// convert (Latin-1 bytes of Rock Ridge or of a plain tar) has only its recorded bytes, which are
// read as names on disc are: as Windows-1252, never as U+FFFD.
QStringList pathNames(const char* utf8, const char* raw, const wchar_t* wide)
{
    if (utf8 && !QByteArrayView(utf8).contains("\xEF\xBF\xBD"))
        return pathNameTexts(utf8);
    if (raw)
        return pathNameTexts(raw);
    QStringList names;
    if (wide)
        for (const QString& name : QString::fromWCharArray(wide).split(QLatin1Char('/'), Qt::SkipEmptyParts))
            names.append(nameWithoutSeparator(name));
    return names;
}
} // namespace

// One archive's bytes, from a file or from memory, read block by block with every limit
// checked on each block. A compressed archive is read through a stage of its own that
// decompresses one block at a time, so the limits hold inside what would otherwise be one long
// read (skipping a member of a .tar.bz2 decompresses all of it).
struct ArchiveLister::Source {
    Source(const Limits& limits, const Going& going) : limits(limits), going(going) { clock.start(); }

    // Whether the listing must end here; once true it stays true.
    bool over()
    {
        if (refused)
            return true;
        const qint64 budget = std::max(limits.bytesUnpacked, limits.unpackedRatio * size);
        if (unpacked > budget)
            reason = QStringLiteral("more than %1 MiB decompressed").arg(budget >> 20);
        else if (clock.elapsed() > limits.milliseconds)
            reason = limits.milliseconds % 1000 == 0
                         ? QStringLiteral("more than %1 seconds of reading").arg(limits.milliseconds / 1000)
                         : QStringLiteral("more than %1 ms of reading").arg(limits.milliseconds);
        else if (going && !going())
            reason = QStringLiteral("stopped");
        refused = !reason.isEmpty();
        return refused;
    }

    static la_ssize_t read(archive* a, void* data, const void** block)
    {
        auto* self = static_cast<Source*>(data);
        if (self->over()) {
            archive_set_error(a, ECANCELED, "over a limit");
            return -1;
        }
        const qint64 want = std::clamp<qint64>(self->size - self->position, 0, kBlock);
        qint64 got = want;
        if (self->fd >= 0) {
            got = ::pread(self->fd, self->buffer.get(), size_t(want), off_t(self->position));
            if (got < 0) {
                archive_set_error(a, errno, "read error");
                return -1;
            }
            *block = self->buffer.get();
        } else {
            *block = self->memory.data() + self->position;
        }
        self->position += got;
        return la_ssize_t(got);
    }

    // Never past the end: a skip that came short is how libarchive learns that a member was cut.
    static la_int64_t skip(archive*, void* data, la_int64_t request)
    {
        auto* self = static_cast<Source*>(data);
        const qint64 step = std::clamp<qint64>(request, 0, std::max<qint64>(0, self->size - self->position));
        self->position += step;
        return step;
    }

    static la_int64_t seek(archive*, void* data, la_int64_t offset, int whence)
    {
        auto* self = static_cast<Source*>(data);
        const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? self->position : self->size;
        if (base + offset < 0)
            return ARCHIVE_FATAL;
        self->position = base + offset;
        return self->position;
    }

    // The decompressed bytes, block by block, from the stage that decompresses.
    static la_ssize_t readUnpacked(archive* a, void* data, const void** block)
    {
        auto* self = static_cast<Source*>(data);
        if (self->over()) {
            archive_set_error(a, ECANCELED, "over a limit");
            return -1;
        }
        const la_ssize_t got = archive_read_data(self->packed, self->unpackedBuffer.get(), size_t(kBlock));
        if (got < 0) {
            const char* why = archive_error_string(self->packed);
            archive_set_error(a, EIO, "%s", why ? why : "read error");
            return -1;
        }
        self->unpacked += got;
        *block = self->unpackedBuffer.get();
        return got;
    }

    const Limits& limits;
    const Going& going;
    int fd = -1;
    QByteArrayView memory;
    qint64 size = 0;
    qint64 position = 0;
    qint64 unpacked = 0;
    archive* packed = nullptr; // the decompressing stage, for a compressed archive
    QElapsedTimer clock;
    bool refused = false;
    QString reason; // why the listing ended early, once refused
    // libarchive keeps using a block until the next read: each stage has a buffer of its own.
    std::unique_ptr<char[]> buffer{new char[kBlock]};
    std::unique_ptr<char[]> unpackedBuffer{new char[kBlock]};
};

namespace
{
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

QStringList ArchiveLister::entryPathNames(archive_entry* entry)
{
    return pathNames(archive_entry_pathname_utf8(entry), archive_entry_pathname(entry),
                     archive_entry_pathname_w(entry));
}

QStringList ArchiveLister::entryHardlinkNames(archive_entry* entry)
{
    return pathNames(archive_entry_hardlink_utf8(entry), archive_entry_hardlink(entry),
                     archive_entry_hardlink_w(entry));
}

bool ArchiveLister::list(int fd, const QString& folder, ListedFiles& out, QString* why,
                         const Going& going) const
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return refuse(why, QStringLiteral("not a regular file"));
    Source source(limits_, going);
    source.fd = fd;
    source.size = qint64(st.st_size);
    return listSource(source, folder, out, why);
}

bool ArchiveLister::list(const Reader& reader, const QString& folder, ListedFiles& out, QString* why,
                         const Going& going) const
{
    // An archive held elsewhere cannot seek (7z and zip keep their directories at the end):
    // it is read into memory, up to a limit, and listed from there.
    Source source(limits_, going);
    QByteArray data;
    for (;;) {
        const qsizetype at = data.size();
        if (at >= limits_.bytesInMemory)
            return refuse(why, QStringLiteral("more than %1 MiB to read into memory")
                                   .arg(double(limits_.bytesInMemory) / (1 << 20)));
        if (source.over())
            return refuse(why, source.reason);
        data.resize(at + kBlock);
        const qint64 got = reader(data.data() + at, kBlock);
        if (got < 0)
            return refuse(why, QStringLiteral("a read error"));
        data.resize(at + got);
        if (got == 0)
            break;
    }
    source.memory = data;
    source.size = data.size();
    return listSource(source, folder, out, why);
}

bool ArchiveLister::listSource(Source& source, const QString& folder, ListedFiles& out, QString* why) const
{
    // The compression first, if any, with the raw format, which takes any data.
    ArchiveHandle packed(archive_read_new());
    if (!packed)
        return refuse(why, QStringLiteral("out of memory"));
    archive_read_support_filter_all(packed.get());
    archive_read_support_format_raw(packed.get());
    archive_read_set_callback_data(packed.get(), &source);
    archive_read_set_read_callback(packed.get(), &Source::read);
    archive_read_set_skip_callback(packed.get(), &Source::skip);
    archive_read_set_seek_callback(packed.get(), &Source::seek);
    // Data the raw format refuses (an empty file) is no compressed data either.
    const bool compressed = archive_read_open1(packed.get()) == ARCHIVE_OK &&
                            archive_filter_code(packed.get(), 0) != ARCHIVE_FILTER_NONE;

    ArchiveHandle a(archive_read_new());
    if (!a)
        return refuse(why, QStringLiteral("out of memory"));
    archive_read_support_format_all(a.get());
    archive_read_set_callback_data(a.get(), &source);
    if (!compressed) {
        // Read directly, seeking: zip and 7z are listed from their directories, and members'
        // data is skipped, not read.
        packed.reset();
        source.position = 0;
        archive_read_set_read_callback(a.get(), &Source::read);
        archive_read_set_skip_callback(a.get(), &Source::skip);
        archive_read_set_seek_callback(a.get(), &Source::seek);
    } else {
        archive_entry* whole = nullptr;
        if (archive_read_next_header(packed.get(), &whole) != ARCHIVE_OK)
            return refuse(why, source.refused ? source.reason : unreadable(packed.get()));
        source.packed = packed.get();
        archive_read_set_read_callback(a.get(), &Source::readUnpacked);
    }
    if (archive_read_open1(a.get()) != ARCHIVE_OK)
        return refuse(why, source.refused ? source.reason : unreadable(a.get()));
    return listOpened(a.get(), source, folder, out, why);
}

bool ArchiveLister::listOpened(archive* a, Source& source, const QString& folder, ListedFiles& out,
                               QString* why) const
{
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
        if (source.over())
            return notListed(source.reason);
        if (status < ARCHIVE_WARN)
            return notListed(unreadable(a));
        if (qint64(out.size() - before) >= limits_.members)
            return notListed(QStringLiteral("more than %1 members").arg(limits_.members));
        if (archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        // Folders of members are no rows; "." and ".." steps and absolute prefixes are dropped.
        QStringList parts = entryPathNames(entry);
        qsizetype length = parts.size();
        for (const QString& part : parts)
            length += part.size();
        if (length > limits_.nameLength)
            return notListed(QStringLiteral("a member name over %1 characters").arg(limits_.nameLength));
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
    if (source.over())
        return notListed(source.reason);
    return true;
}
