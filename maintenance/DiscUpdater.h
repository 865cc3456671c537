#pragma once

#include "catalogue/DiscRecord.h"
#include "catalogue/DiscStore.h"
#include "maintenance/ContentReader.h"
#include "scan/UnFileSearch.h"

#include <QHash>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class Catalogue;

// Brings a catalogued disc up to date with its medium, keeping its label, id, UUID, location and
// notes. First the medium must be that disc (its volume label, file-system id and, when given by
// path, the path it was catalogued from); then it is walked as a cataloguing run walks it and
// compared with the disc's rows by folder and name; then, when the caller agrees, the changes
// are written in one transaction: rows added, removed and changed, the record's totals, its
// update date and generation, and the disc's search index. Files on a disc with hashes are
// hashed again only when they are new or their size or date changed.
class DiscUpdater
{
  public:
    // What the disc is read from.
    struct Medium {
        QString root;        // the folder or disc image file read as the disc's root
        QString volumeLabel; // as the medium gives it
        QString name;        // how the messages name it: "the disc in drive d", "the folder /srv/a"
        bool byPath = false; // given as a folder or image path, whose path is then checked too
        static Medium drive(QChar letter, const QString& root, const QString& volumeLabel);
        static Medium path(const QString& root, const QString& volumeLabel);
    };

    struct Change {
        enum class Kind { Added, Removed, Changed };
        Kind kind = Kind::Added;
        QString path; // "\docs\"
        QString name;
        QString date; // on the medium; the catalogued one for a removed file
        qint64 size = 0;
        QChar sign() const; // '+', '-', '~'
    };

    struct Comparison {
        qint64 added = 0, removed = 0, changed = 0, unchanged = 0;
        std::vector<Change> changes; // as the walk met them, then the removed ones
        bool differs() const { return added + removed + changed > 0; }
        // Fewer than half of the files, catalogued or found, are unchanged.
        bool mostDiffer() const;
        // "3 added, 1 removed, 2 changed, 12028 unchanged"
        QString counts() const;
    };

    struct Events {
        std::function<void(int position)> progress; // the bar position changed, 0..100
        std::function<void()> waiting;              // another run holds the catalogue
    };

    DiscUpdater(Catalogue& catalogue, DiscStore::DiscRow disc);

    TFileSearcher& searcher() { return searcher_; }
    void setEvents(Events events) { events_ = std::move(events); }
    const DiscStore::DiscRow& disc() const { return disc_; }

    // From the settings, as for cataloguing; a disc that holds archive members or dot folders
    // has them read whatever these say, or its rows there would all count as removed.
    bool ListArchives = false;
    bool DotFolders = false;

    // Why the medium is not the disc ("The disc in drive d is not C0012: its volume label is
    // BACKUP_2019, C0012's is PHOTOS_2018"); empty when it is. Raises the program error when
    // the catalogue cannot keep the update (not upgraded) or the disc has gone.
    QString identityProblem(const Medium& medium);

    // The counting pass, the walk and the comparison; nothing is written. None when stop() ended
    // it. A folder that cannot be read, or a medium that lost files since the counting pass,
    // raises the program error.
    std::optional<Comparison> compare(const Medium& medium);

    // Writes the last comparison in one transaction, waiting for another run's hold on the
    // catalogue as cataloguing does; nothing when nothing differs. False when stop() ended the
    // wait. Raises the program error, with nothing written, when the disc was changed or
    // removed meanwhile.
    bool apply();

    // From the walk's or the wait's event pump.
    void stop();
    bool running() const { return running_; }

    // Files of the last comparison whose content could not be read for their hash.
    struct Unhashed {
        QString name; // "\docs\a.txt"
        QString reason;
    };
    std::vector<Unhashed> UnhashedFiles;
    qint64 UnreadableFolders = 0;
    bool HashesKept = false; // the disc has hashes, so new and changed files get one

  private:
    struct Row {
        qint64 id = 0;
        QString path, name, date;
        qint64 size = 0;
        int nextSame = -1; // the next row of the same folder and name (archives may repeat one)
        bool seen = false;
    };
    struct Found {
        int row = -1; // the changed row; -1 for a new file
        QString path, name, date;
        qint64 size = 0;
        QByteArray hash; // empty when none was read
    };
    void load();
    void onFile(const QString& path, const QString& name, qint64 size, const LocalDateTime& date);
    void onContent(int folderFd, const char* name, const struct stat& status);
    void write();

    Catalogue& catalogue_;
    DiscStore::DiscRow disc_;
    TFileSearcher searcher_;
    Events events_;
    ContentReader reader_;
    std::vector<Row> rows_;
    QHash<QString, int> byName_; // folder and name: the first row of them
    std::vector<Found> found_;   // new and changed files
    int hashFor_ = -1;           // the entry of found_ whose content comes next, when hashing
    qint64 walked_ = 0;
    qint64 counted_ = 0;
    int lastPosition_ = -1;
    std::optional<Comparison> comparison_;
    std::optional<DiscRecord> record_; // as compared
    DiscMedium medium_;
    Medium read_;
    qint64 folders_ = 0;
    bool running_ = false;
    bool stopRequested_ = false;
};
