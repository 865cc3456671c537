#pragma once

#include "scan/ArchiveLister.h"

#include <QString>
#include <functional>
#include <vector>

// How a disc image is read: archives on it listed or not, folders beginning with "." entered or
// not (as a folder walk does), and a test called now and then while the image is read, which
// may pump events and answers false once the reading is to stop.
struct ImageReading {
    const ArchiveLister* archives = nullptr;
    bool dotFolders = false;
    std::function<bool()> going;
    // A cut image (shorter than its volume says it is) is read as far as it goes instead of
    // being refused: verifying wants what is left of it.
    bool cutImages = false;

    bool stop() const { return going && !going(); }
};

// What reading an image met besides its files: every folder it entered (drive-relative, "\" and
// "\docs\", the root included, as a folder walk counts them) and the archives left unlisted.
struct ImageTally {
    std::vector<QString> folders;
    std::vector<UnlistedArchive> unlisted;
};

// What reading the bytes of an image's files hands on. Each file is offered before its bytes
// (drive-relative folder, name, size); only those `wanted` answers true for are read. Reading goes
// on past sectors that cannot be read and past the end of a cut image, so every wanted file gets
// its `end`: how many of its bytes were read before the first that could not be, and why not
// ("cut short", or the system's reason); an empty reason when it was read whole.
struct ImageContent {
    std::function<bool(const QString& path, const QString& name, qint64 size)> wanted;
    std::function<void(const char* bytes, qint64 size)> bytes;
    std::function<void(qint64 read, const QString& failure)> end;
};
