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

    bool stop() const { return going && !going(); }
};

// What reading an image met besides its files: every folder it entered (drive-relative, "\" and
// "\docs\", the root included, as a folder walk counts them) and the archives left unlisted.
struct ImageTally {
    std::vector<QString> folders;
    std::vector<UnlistedArchive> unlisted;
};
