#include "search/DiscTree.h"

#include "catalogue/Statement.h"
#include "common/AsciiCase.h"

#include <algorithm>

namespace
{
QString text(const Statement& statement, int column)
{
    const std::string_view bytes = statement.text(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// "\photos\2005\" -> "\photos\"; the root has no parent.
QString parentPath(const QString& path)
{
    const qsizetype cut = path.lastIndexOf(QLatin1Char('\\'), path.size() - 2);
    return cut < 0 ? QStringLiteral("\\") : path.left(cut + 1);
}
} // namespace

DiscTree DiscTree::load(Connection& connection, qint64 discId)
{
    DiscTree tree;
    tree.folders_.push_back({QString(), QStringLiteral("\\"), -1, {}, 0, 0, 0, 0});
    tree.byPath_.insert(QStringLiteral("\\"), 0);
    // One row per folder holding files, in the order of the disc's path index.
    Statement select(connection,
                     "select path, count(*), coalesce(sum(dimensione), 0) from files where id_cd = ?1 "
                     "group by path order by path");
    select.bind(1, discId);
    while (select.step()) {
        QString path = text(select, 0);
        if (!path.endsWith(QLatin1Char('\\')))
            path += QLatin1Char('\\');
        if (!path.startsWith(QLatin1Char('\\')))
            path.prepend(QLatin1Char('\\'));
        Folder& folder = tree.folders_[std::size_t(tree.folderOf(path))];
        folder.files += select.integer(1);
        folder.bytes += select.integer(2);
    }
    // Parents come before their children: one pass from the end adds every folder up.
    for (auto i = qsizetype(tree.folders_.size()) - 1; i >= 0; --i) {
        Folder& folder = tree.folders_[std::size_t(i)];
        folder.allFiles += folder.files;
        folder.allBytes += folder.bytes;
        if (folder.parent >= 0) {
            tree.folders_[std::size_t(folder.parent)].allFiles += folder.allFiles;
            tree.folders_[std::size_t(folder.parent)].allBytes += folder.allBytes;
        }
    }
    for (Folder& folder : tree.folders_) {
        std::sort(folder.children.begin(), folder.children.end(), [&tree](int a, int b) {
            return AsciiCase::lower(tree.folders_[std::size_t(a)].name) <
                   AsciiCase::lower(tree.folders_[std::size_t(b)].name);
        });
    }
    return tree;
}

int DiscTree::folderOf(const QString& path)
{
    const QString key = AsciiCase::lower(path);
    if (const auto it = byPath_.constFind(key); it != byPath_.cend())
        return it.value();
    const int parent = folderOf(parentPath(path));
    const qsizetype start = parentPath(path).size();
    Folder folder;
    folder.name = path.mid(start, path.size() - start - 1);
    folder.path = path;
    folder.parent = parent;
    folders_.push_back(std::move(folder));
    const int index = int(folders_.size()) - 1;
    folders_[std::size_t(parent)].children.push_back(index);
    byPath_.insert(key, index);
    return index;
}

int DiscTree::find(const QString& path) const
{
    return byPath_.value(AsciiCase::lower(path), -1);
}

std::vector<DiscTree::File> DiscTree::files(Connection& connection, qint64 discId, const QString& path)
{
    std::vector<File> found;
    Statement select(connection,
                     "select nome, data, dimensione from files where id_cd = ?1 and path = ?2 order by nome");
    select.bind(1, discId);
    select.bindText(2, path.toUtf8());
    while (select.step())
        found.push_back({text(select, 0), text(select, 1), select.integer(2)});
    return found;
}
