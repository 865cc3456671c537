#pragma once

#include "catalogue/DiscStore.h"
#include "catalogue/Transaction.h"
#include "maintenance/ContentReader.h"
#include "scan/UnFileSearch.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <optional>
#include <vector>

class Catalogue;

// Adds content hashes to a disc catalogued without them, from the same medium: each file of a
// real folder or a disc image that has none is read and hashed when its size and date still
// match its row (not the files of the images only libudf reads, whose bytes are not read).
// Hashes are committed in batches, so a stopped or killed run keeps what it hashed and the next
// run goes on with the files that still have none.
class DiscHasher
{
  public:
    struct Skipped {
        QString name; // drive-relative, "\docs\a.txt"
        QString reason;
    };
    struct Outcome {
        qint64 hashed = 0;
        qint64 hadHash = 0; // hashed by an earlier run
        std::vector<Skipped> skipped;
        bool stopped = false;
    };

    DiscHasher(Catalogue& catalogue, DiscStore::DiscRow disc);
    ~DiscHasher();

    TFileSearcher& searcher() { return searcher_; }
    // Files per committed batch.
    int BatchFiles = 256;

    Outcome run(const QString& root);
    // From the walk's event pump: ends the run; what was hashed is kept.
    void stop() { searcher_.Stop(); }

  private:
    struct Row {
        qint64 id = 0;
        qint64 size = 0;
        QString date;
        bool seen = false;
        bool matched = false; // size and date still those of the row
    };
    void onFile(const QString& path, const QString& name, qint64 size, const LocalDateTime& date);
    void onContent(int folderFd, const char* name, const struct stat& status);
    void readImage(const QString& image);
    void keep(qint64 id, qint64 size, const QByteArray& hash);
    void commit();
    bool insideArchive(const QString& name) const;

    Catalogue& catalogue_;
    DiscStore::DiscRow disc_;
    TFileSearcher searcher_;
    ContentReader reader_;
    QHash<QString, Row> rows_;
    QSet<QString> archives_; // each archive of the disc as a folder: "\backup\photos.zip\"
    Row* current_ = nullptr;
    QString currentName_;
    std::optional<Transaction> batch_;
    int inBatch_ = 0;
    Outcome outcome_;
};
