#pragma once

#include "scan/ListedFile.h"

#include <QString>
#include <QStringList>
#include <functional>

struct archive;
struct archive_entry;

// Lists the members of an archive (zip, 7z, tar and compressed tars, rar, cab, ...) from its
// headers, reading through the data only where the format leaves no other way. Members become
// files under the folder made of the archive's own full name and a "\"; one level only: an
// archive inside the archive is a member like any other. Limits guard against hostile archives:
// an archive over one, with encrypted headers or unreadable is not listed, and never an error.
// The limits bound one archive as a whole: they are checked for every block read or
// decompressed, so a small compressed archive declaring gigabytes ends at its byte budget.
// An archive left unlisted: its drive-relative full name, and why.
struct UnlistedArchive {
    QString name;
    QString reason;
};

struct ArchiveLimits {
    qint64 members = 100000;
    int milliseconds = 10000;                 // per archive
    int nameLength = 1024;                    // characters of a member's full name
    qint64 bytesInMemory = qint64(256) << 20; // an archive read from an image, not from a file
    // Bytes decompressed from a compressed archive (a .tar.gz is read through): this many, or
    // the archive's own size times unpackedRatio when that is more. A bomb, small and declaring
    // gigabytes, ends here whatever the machine's load; a big real archive at the time limit.
    qint64 bytesUnpacked = qint64(256) << 20;
    qint64 unpackedRatio = 32;
};

class ArchiveLister
{
  public:
    using Limits = ArchiveLimits;

    // Reads the next bytes of an archive held elsewhere (a file on a disc image) into buffer;
    // returns the number read, 0 at the end, -1 on an error.
    using Reader = std::function<qint64(char* buffer, qint64 size)>;
    // Called for every block read; answers false once the listing is to stop (it may pump
    // events). A stopped listing lists nothing.
    using Going = std::function<bool()>;

    explicit ArchiveLister(Limits limits = {}) : limits_(limits) {}

    // Whether the name is one of an archive this lister opens.
    static bool isArchiveName(const QString& name);

    // The names of an entry's path, read as names on disc are read (see fileNameText): in
    // UTF-8 when the archive or image records them so, else from the bytes recorded.
    static QStringList entryPathNames(archive_entry* entry);
    // The same for the path a hard link entry points to.
    static QStringList entryHardlinkNames(archive_entry* entry);

    // Appends the members of the archive to out and returns true, or leaves out as it was and
    // returns false when the archive cannot or may not be listed, saying why in `why` when
    // given. folder is the archive's own drive-relative full name followed by "\". The
    // descriptor must be a regular file's.
    bool list(int fd, const QString& folder, ListedFiles& out, QString* why = nullptr,
              const Going& going = {}) const;
    bool list(const Reader& reader, const QString& folder, ListedFiles& out, QString* why = nullptr,
              const Going& going = {}) const;

  private:
    struct Source;
    bool listSource(Source& source, const QString& folder, ListedFiles& out, QString* why) const;
    bool listOpened(archive* a, Source& source, const QString& folder, ListedFiles& out, QString* why) const;

    Limits limits_;
};
