#pragma once

#include "scan/ListedFile.h"

#include <QString>
#include <functional>

// Lists the members of an archive (zip, 7z, tar and compressed tars, rar, cab, ...) from its
// headers, reading through the data only where the format leaves no other way. Members become
// files under the folder made of the archive's own full name and a "\"; one level only: an
// archive inside the archive is a member like any other. Limits guard against hostile archives:
// an archive over one, with encrypted headers or unreadable is not listed, and never an error.
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
};

class ArchiveLister
{
  public:
    using Limits = ArchiveLimits;

    // Reads the next bytes of an archive held elsewhere (a file on a disc image) into buffer;
    // returns the number read, 0 at the end, -1 on an error.
    using Reader = std::function<qint64(char* buffer, qint64 size)>;

    explicit ArchiveLister(Limits limits = {}) : limits_(limits) {}

    // Whether the name is one of an archive this lister opens.
    static bool isArchiveName(const QString& name);

    // Appends the members of the archive to out and returns true, or leaves out as it was and
    // returns false when the archive cannot or may not be listed, saying why in `why` when
    // given. folder is the archive's own drive-relative full name followed by "\".
    bool list(int fd, const QString& folder, ListedFiles& out, QString* why = nullptr) const;
    bool list(const Reader& reader, const QString& folder, ListedFiles& out, QString* why = nullptr) const;

  private:
    bool listOpened(struct archive* archive, const QString& folder, ListedFiles& out, QString* why) const;

    Limits limits_;
};
