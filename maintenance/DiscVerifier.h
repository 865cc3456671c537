#pragma once

#include "catalogue/DiscStore.h"
#include "catalogue/Verifications.h"
#include "maintenance/ContentReader.h"
#include "scan/UnFileSearch.h"

#include <QHash>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class Catalogue;

// Reads a disc's medium against its catalogued files, for media that are dying: every file of a
// real folder or a disc image is read to its end and compared by presence, size, date and, where
// one was kept, the hash of its content. An I/O error ends the reading of that file, never the
// run; a cut image is read as far as it goes. Archive members, and the files of the images only
// libudf reads, are compared by presence, size and date only.
class DiscVerifier
{
  public:
    struct Problem {
        enum class Kind { Changed, Unreadable, Missing, New };
        Kind kind = Kind::Changed;
        QString path; // drive-relative folder, "\docs\"
        QString name;
        QString date; // catalogued; found on the medium for a new file
        qint64 size = 0;
        QString detail; // what changed, or why and how far a file could not be read
        static QString kindName(Kind kind);
    };

    DiscVerifier(Catalogue& catalogue, DiscStore::DiscRow disc);

    TFileSearcher& searcher() { return searcher_; }
    // Each problem as it is found.
    std::function<void(const Problem&)> OnProblem;
    // After each file looked at: files so far, bytes read so far.
    std::function<void(qint64 files, qint64 bytes)> OnProgress;

    // Reads the medium whose root is the folder or image `root`, keeps the verification in the
    // catalogue and returns it; none when stop() ended the run (nothing is kept then).
    std::optional<Verification> run(const QString& root);
    // The catalogued files the run looks for (known once it has begun).
    qint64 catalogued() const { return qint64(rows_.size()); }
    // Whether the last run compared the files by their listing alone: an image only libudf reads.
    bool namesOnly() const { return namesOnly_; }
    // From the walk's event pump: ends the run without a record.
    void stop() { searcher_.Stop(); }

  private:
    struct Row {
        QString path, name, date;
        qint64 size = 0;
        QByteArray hash; // empty when none was kept
        bool seen = false;
        bool judged = false;
        qint64 foundSize = 0; // on the medium
        QString foundDate;
    };
    void load();
    void onFile(const QString& path, const QString& name, qint64 size, const LocalDateTime& date);
    void onContent(int folderFd, const char* name, const struct stat& status);
    // The bytes of the image's files, read in the order they lie on it.
    void readImage(const QString& image);
    void finishPending();
    void judge(Row& row, const std::optional<ContentReader::Result>& read);
    void report(Problem::Kind kind, const Row& row, const QString& detail);

    Catalogue& catalogue_;
    DiscStore::DiscRow disc_;
    TFileSearcher searcher_;
    ContentReader reader_;
    std::vector<Row> rows_;
    QHash<QString, int> byName_;
    int pending_ = -1; // the row of the file just reported, until its content is read
    std::optional<ContentReader::Result> pendingRead_;
    bool image_ = false;
    bool namesOnly_ = false;
    Verification tally_;
    qint64 looked_ = 0;
    bool hasMembers_ = false;
    bool hasDotFolders_ = false;
};
