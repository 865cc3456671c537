#pragma once

#include "scan/WildcardPattern.h"

#include <QByteArray>
#include <QString>
#include <dirent.h>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <vector>

class ArchiveLister;
class TFileSearcher;

// What one walk or count met.
struct WalkTally {
    qint64 files = 0;       // matching files reported (or counted)
    qint64 folders = 0;     // folders read, the start folder included
    qint64 unreadable = 0;  // folders skipped because the user may not read them
    qint64 deniedFiles = 0; // matching files skipped for the same reason
    qint64 members = 0;     // archive members reported (or counted) after their archive's row
};

// One walk or count over one real folder. Both share the traversal so they cannot disagree.
// The open folders are kept on a stack of their own, so the depth of a disc is bounded by
// memory and descriptors (one per open level), never by the call stack. The levels share one
// path, grown on the way down and cut on the way up, so that memory grows with the depth, not
// with its square.
//
// A folder the user may not read is skipped and tallied. Any other failure to read a folder
// or a file (an I/O error, a medium taken out, a folder that went away during the run,
// running out of descriptors) ends the walk with a TessaroError naming the folder and the
// system's reason: a disc is read whole or not at all.
class FolderWalk
{
  public:
    struct Options {
        bool recursive = true;
        bool dotFolders = false; // also enter folders whose names begin with "."
    };

    // With a searcher, files are reported through it and events are pumped; without, counted.
    // With a lister, the members of archives follow their archive's row.
    FolderWalk(TFileSearcher* searcher, const QString& pattern, Options options, const QString& drive,
               const QByteArray& folder, const ArchiveLister* archives = nullptr);
    ~FolderWalk();
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    // Walks the folder, known to the user as drive + path ("\" or "\docs\").
    WalkTally run(const QString& path);

    // Called after each folder read with the tally so far: how a count shows its progress.
    std::function<void(const WalkTally&)> OnFolderRead;
    // A count asks it between entries, as a walk tests its searcher's stop: it may pump events
    // and answers false once the count is to end.
    std::function<bool()> Going;

  private:
    struct DirCloser {
        void operator()(DIR* dir) const { closedir(dir); }
    };
    struct Level {
        std::unique_ptr<DIR, DirCloser> dir;
        qsizetype pathSize = 0; // the length of its path in path_
        QByteArray name;        // the folder's own name in its parent; empty for the start folder
        bool first = true;
        bool denied = false;
    };

    bool stopped() const;
    void push(int fd, QByteArray name);
    void finish(const Level& level) const;
    void handle(Level& level, const dirent* entry);
    void enter(Level& level, const char* name);
    void deny(Level& level);
    void decodeName(const char* name);
    void listArchive(const Level& level, const char* name, const QString& decoded);
    [[noreturn]] void fail(const QString& what, int error, bool file = false) const;

    TFileSearcher* searcher_;
    WildcardPattern pattern_;
    Options options_;
    QString drive_;
    QByteArray folder_;
    const ArchiveLister* archives_;
    dev_t device_ = 0;
    WalkTally tally_;
    std::vector<Level> stack_;
    QString path_; // the folder being read, drive-relative, ending in "\"
    QString name_;
};
