#pragma once

#include "common/LocalDateTime.h"
#include "scan/ArchiveLister.h"
#include "scan/FolderWalk.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <vector>

// Walks a drive folder ("d:\" or "d:\docs\") and everything below it, reporting every file whose
// name matches a wildcard pattern, one at a time, and calling the caller's message pump after
// each (OnPump) so a caller on the GUI thread stays responsive and can call Stop. A folder or file that
// cannot be read for any reason but permission raises a TessaroError (see FolderWalk). The drive letter is
// turned into a real folder by a resolver; mapDrive lets any plain folder stand in for a drive.
class TFileSearcher
{
  public:
    // Root folder of a drive letter (lower case); empty when the drive has none.
    using DriveResolver = std::function<QString(QChar letter)>;
    using StartEvent = std::function<void(const QString& folder, const QString& pattern, bool recursive)>;
    using FileEvent = std::function<void(const QString& drive, const QString& path, const QString& name,
                                         qint64 size, const LocalDateTime& date)>;
    // A file of a real folder (not of an image, not an archive member) just reported by OnFile:
    // its folder open as folderFd, its own name there and its status, for reading its content.
    using ContentEvent = std::function<void(int folderFd, const char* name, const struct stat& status)>;
    using EndEvent = std::function<void(bool stopped)>;
    using PumpEvent = std::function<void()>;

    // Without a resolver the letters are those of the machine's drive table.
    explicit TFileSearcher(DriveResolver resolver = {});

    // Lets the folder stand for the drive's root; takes precedence over the resolver.
    void mapDrive(QChar letter, const QString& folder);

    // The real folder or image file that stands for the drive of a drive folder; empty when none.
    QString rootOf(const QString& folder) const { return resolve(folder).root; }
    void Execute(const QString& folder, const QString& pattern, bool recursive);
    void Stop() { Stopped = true; }
    qint64 CountFiles(const QString& folder, const QString& pattern, bool recursive) const;
    // The counting pass with everything it met.
    WalkTally Count(const QString& folder, const QString& pattern, bool recursive) const;

    // Members of archives become files under "<archive name>\" when on; off by default.
    bool ListArchives = false;
    ::ArchiveLimits Limits;
    qint64 NotListed = 0;                  // archives of the last run left unlisted
    std::vector<UnlistedArchive> Unlisted; // the same archives by name, each with its reason
    // Counts and keeps an archive left unlisted.
    void archiveNotListed(UnlistedArchive archive)
    {
        ++NotListed;
        Unlisted.push_back(std::move(archive));
    }

    bool Stopped = false;
    QStringList FoundFiles; // drive-relative full names of the last run, in the order found
    StartEvent OnStart;
    FileEvent OnFile;
    ContentEvent OnContent;
    EndEvent OnEnd;
    // Called after every file reported, and every few milliseconds of a count, where the windows
    // hand events on (their Stop button, repaints); none by default. Stop ends a count too.
    PumpEvent OnPump;
    // Called during the counting pass of a folder after each folder, with the files counted so far.
    std::function<void(qint64 counted)> OnCounting;
    // A disc image cut short is listed as far as its folders go instead of refused (verifying).
    bool CutImages = false;
    // Also enter folders whose names begin with "." (never "." and ".."); by default they are skipped.
    bool DotFolders = false;
    // What the last Execute met: files reported, folders read, folders it could not read.
    WalkTally LastRun;
    // The real folder or image file the last Execute walked; empty when the drive had none.
    QString LastRoot;

  private:
    struct Start {
        QString drive;     // "d:" as given
        QString path;      // "\docs\"
        QByteArray folder; // the real folder, empty when the drive has no root
        QString root;      // the drive's root: a folder or a disc image file
    };
    Start resolve(const QString& folder) const;

    DriveResolver resolver_;
    std::map<QChar, QString> mapped_;
};
