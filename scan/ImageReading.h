#pragma once

#include <functional>

class ArchiveLister;

// How a disc image is read: archives on it listed or not, folders beginning with "." entered or
// not (as a folder walk does), and a test called now and then while the image is read, which
// may pump events and answers false once the reading is to stop.
struct ImageReading {
    const ArchiveLister* archives = nullptr;
    bool dotFolders = false;
    std::function<bool()> going;

    bool stop() const { return going && !going(); }
};
