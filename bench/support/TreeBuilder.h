#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// A synthetic disc: folders and files with realistic names, extensions, sizes and dates, the same
// for the same seed. Plan it, then write it to disk to walk it, or use the plan alone to fill a
// catalogue with rows.
//
//     TreeBuilder tree(100000, 5000);
//     tree.writeTo(dir.path());           // empty folders and sparse files
//     for (const TreeFile& f : tree.files()) ... f.path, f.name, f.size, f.mtime
class TreeBuilder
{
  public:
    struct File {
        QString path; // drive-relative folder with "\" first and last, as \Photos\2005\ in the catalogue
        QString name;
        qint64 size;
        qint64 mtime; // seconds since the epoch, UTC
    };

    TreeBuilder(int files = 100000, int folders = 5000, quint32 seed = 1);

    const std::vector<File>& files() const { return files_; }
    // Every folder but the root, parents before children, in the form of File::path.
    const QStringList& folders() const { return folders_; }
    int fileCount() const { return int(files_.size()); }

    // Creates the folders and files below root (which may exist); sizes are sparse, dates as planned.
    // Returns false when something could not be created.
    bool writeTo(const QString& root) const;

  private:
    std::vector<File> files_;
    QStringList folders_;
};

using TreeFile = TreeBuilder::File;
