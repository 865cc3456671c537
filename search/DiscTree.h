#pragma once

#include <QHash>
#include <QString>
#include <QtGlobal>
#include <utility>
#include <vector>

class Connection;

// The folders of one disc as its file rows name them, each with the files directly in it and
// everything below it counted and added up. Built from one ordered pass over the disc's
// folders, so that it is ready at once also for discs of many thousand files; a folder's files
// are read only when they are asked for. Each folder keeps its own name only, never its whole
// path: memory grows with the number of folders, not with the square of the disc's depth.
class DiscTree
{
  public:
    struct Folder {
        QString name; // "photos"; empty for the root
        int parent = -1;
        std::vector<int> children; // by name, letters A to Z of either case alike
        qint64 files = 0;          // files directly in the folder
        qint64 bytes = 0;
        qint64 allFiles = 0; // the folder and everything below it
        qint64 allBytes = 0;
    };
    struct File {
        QString name;
        QString date;
        qint64 size = 0;
    };

    static DiscTree load(Connection& connection, qint64 discId);

    // The root is folder 0.
    const std::vector<Folder>& folders() const { return folders_; }
    // The folder's path ("\photos\2005\"; "\" for the root), its folders' names as first met.
    QString path(int folder) const;
    // The folder of a stored path ("\photos\", letters A to Z of either case); -1 when none.
    int find(const QString& path) const;
    // The files directly in a folder, by name.
    static std::vector<File> files(Connection& connection, qint64 discId, const QString& path);

  private:
    int folderOf(const QString& path);

    std::vector<Folder> folders_;
    QHash<std::pair<int, QString>, int> byName_; // (parent, folded name) -> folder
};
