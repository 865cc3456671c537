#pragma once

#include "catalogue/DiscStore.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/DiscIndexFeed.h"
#include "maintenance/ContentReader.h"
#include "scan/UnFileSearch.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Catalogue;

// One cataloguing run of a disc, without any window: the counting pass, the disc row, one
// file row per file the searcher reports, and the undo of a stopped or failed run. The whole
// run is one transaction, begun before the disc id is allocated, so that a crash or a kill
// leaves no trace of the disc and a second instance can never be handed the same id.
class DiscCataloguer
{
  public:
    struct Events {
        std::function<void()> runStarted;           // the walk begins
        std::function<void(int position)> progress; // the bar position changed
        std::function<void(bool stopped)> runEnded; // the walk ended (not after an error)
        // Another run holds the catalogue's write lock: this one waits for it (once per run).
        std::function<void()> waiting;
        // The walk is over and the disc is being written (record, search index, commit): called
        // before each of these steps, so that a window can show it waits and repaint. No Stop
        // may be handled from here on.
        std::function<void()> finishing;
    };

    explicit DiscCataloguer(Catalogue& catalogue, TFileSearcher::DriveResolver resolver = {});
    ~DiscCataloguer();
    DiscCataloguer(const DiscCataloguer&) = delete;
    DiscCataloguer& operator=(const DiscCataloguer&) = delete;

    TFileSearcher& searcher() { return searcher_; }
    void setEvents(Events events) { events_ = std::move(events); }

    // Forgets the last run's disc without touching the catalogue.
    void reset();

    // The counting pass over the drive folder ("d:\"); sets TotalFiles and clears FilesAdded.
    // The run that follows fails when it finds fewer files or folders than this pass did. It
    // pumps events as a walk does; stop() from there ends it with nothing counted and
    // searcher().Stopped set.
    qint64 countFiles(const QString& folder);

    // Writes the disc and walks the folder. Returns true when the walk ran to its end: the disc
    // is then committed and NewDiscId holds it. Returns false when stop() ended the walk.
    // Any error undoes the disc and propagates: a folder that could not be read, or a disc that
    // lost files or folders since the counting pass, fails the run. volumeLabel is read once the id is taken;
    // beforeDiscRow runs just before the disc row is written.
    bool catalogue(const QString& typeLetter, const QString& folder,
                   const std::function<QString()>& volumeLabel,
                   const std::function<void()>& beforeDiscRow = {});

    // After a counting pass: the catalogued disc that the disc in the drive looks like (the same
    // volume label, file-system identifier and numbers of files and folders), if any.
    std::optional<DiscStore::DiscRow> lookalike(const QString& volumeLabel);
    // What is asked before such a disc is catalogued again, and said when it is refused; a window
    // gives the date as it shows dates, the command line keeps the catalogue's form.
    static QString lookalikeQuestion(const DiscStore::DiscRow& same, const QString& shownDate = QString());

    // Called while the walk pumps events: ends the walk and removes what the run wrote. While
    // the run waits for another run's lock, ends the wait.
    void stop();
    // While counting, waiting for another run's lock and walking.
    bool running() const { return counting_ || transaction_.has_value() || waiting_; }

    // Removes the committed disc of the last run (Cancel after a completed run) when the catalogue
    // still holds that very disc; otherwise forgets it and throws "Disc C0002 is no longer in the
    // catalogue" without touching anything.
    void removeCommitted();

    qint64 NewDiscId = 0;
    qint64 FilesAdded = 0;
    qint64 TotalFiles = 0;
    QString TypeLetter;
    // Folders of the last completed run skipped because the user may not read them.
    qint64 UnreadableFolders = 0;
    // Read every file of a real folder and keep a hash of its content; off by default.
    bool HashContents = false;
    // Files of the last run whose content could not be read, catalogued without a hash.
    struct Unhashed {
        QString name; // drive-relative, "\docs\a.txt"
        QString reason;
    };
    std::vector<Unhashed> UnhashedFiles;
    qint64 FilesHashed = 0;

    // The disc label of NewDiscId.
    QString newDiscLabel() const;
    // Files added out of the counted total as a bar position 0..100, halves to the even
    // neighbour; a full bar when the count was 0.
    static int position(qint64 added, qint64 total);

    static inline const QString Pattern = QStringLiteral("*.*");

    // Shared by every run that reads a disc to write it (cataloguing, updating).
    //
    // Raises the program error when the walk read fewer files or folders than its counting
    // pass found: part of the disc went away meanwhile.
    static void requireNothingWentAway(const WalkTally& counted, const WalkTally& read);
    // The extension column of a name (UTF-8): from its last dot, the dot included; empty without one.
    static QByteArrayView extensionOf(QByteArrayView name);
    // Why a file's content read for its hash gives none (it could not be read to its end, or
    // its size changed while it was read); empty when the hash stands for the file's `size` bytes.
    static QString unhashedReason(const ContentReader::Result& read, qint64 size);

  private:
    void AddFile(const QString& path, const QString& name, qint64 size, const LocalDateTime& date);
    void undo() noexcept;
    bool begin();
    void prepareFileInsert();
    void hashContent(int folderFd, const char* name, const struct stat& status);
    qint64 nextFileId();
    void checkWhole(const std::optional<WalkTally>& before);

    Catalogue& catalogue_;
    TFileSearcher searcher_;
    Events events_;
    std::optional<Transaction> transaction_;
    // The file insert of the run, prepared once, with its parameters' positions.
    std::optional<Statement> insertFile_;
    struct FileParams {
        int id, disc, name, path, extension, size, date;
    } fileParams_{};
    // The hash insert of a run that hashes, and the file row it belongs to.
    std::optional<Statement> insertHash_;
    std::unique_ptr<ContentReader> reader_;
    qint64 lastFileId_ = 0;
    qint64 lastFileSize_ = 0;
    // The sizes of the run's rows added up; none once the sum left 64 bits.
    std::optional<qint64> bytesAdded_;
    // The last file's folder and its UTF-8 form.
    QString lastPath_;
    QByteArray lastPathText_;
    // The run's next file id once the first has been allocated; 0 before.
    qint64 nextFileId_ = 0;
    // The run's rows, for the disc's search index.
    DiscIndexFeed indexFeed_;
    bool discRowWritten_ = false;
    bool waiting_ = false;
    bool stopRequested_ = false;
    bool counting_ = false;
    int lastPosition_ = -1;
    QString discDate_; // the disc row's date, as written
    std::optional<WalkTally> counted_;
    QString countedFolder_;
};
