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

// A stored path's folder names: \photos\2005\ -> photos, 2005; the root has none. Read as the
// rows are: without its leading or trailing separator a path names the same folders.
QList<QStringView> namesOf(const QString& path)
{
    QStringView inner(path);
    if (inner.startsWith(QLatin1Char('\\')))
        inner = inner.sliced(1);
    if (inner.isEmpty())
        return {};
    if (inner.endsWith(QLatin1Char('\\')))
        inner.chop(1);
    return inner.split(QLatin1Char('\\'));
}
} // namespace

DiscTree DiscTree::load(Connection& connection, qint64 discId)
{
    DiscTree tree;
    tree.folders_.push_back({QString(), -1, {}, 0, 0, 0, 0});
    // One row per folder holding files, in the order of the disc's path index.
    Statement select(connection,
                     "select path, count(*), coalesce(sum(dimensione), 0) from files where id_cd = ?1 "
                     "group by path order by path");
    select.bind(1, discId);
    while (select.step()) {
        Folder& folder = tree.folders_[std::size_t(tree.folderOf(text(select, 0)))];
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

// From the root down, one folder name at a time; missing folders are made on the way.
int DiscTree::folderOf(const QString& path)
{
    int at = 0;
    for (const QStringView name : namesOf(path)) {
        const auto key = std::make_pair(at, AsciiCase::lower(name.toString()));
        if (const auto it = byName_.constFind(key); it != byName_.cend()) {
            at = it.value();
            continue;
        }
        folders_.push_back({name.toString(), at, {}, 0, 0, 0, 0});
        const int made = int(folders_.size()) - 1;
        folders_[std::size_t(at)].children.push_back(made);
        byName_.insert(key, made);
        at = made;
    }
    return at;
}

QString DiscTree::path(int folder) const
{
    std::vector<int> chain;
    qsizetype length = 1;
    for (int at = folder; at > 0; at = folders_[std::size_t(at)].parent) {
        chain.push_back(at);
        length += folders_[std::size_t(at)].name.size() + 1;
    }
    QString path;
    path.reserve(length);
    path += QLatin1Char('\\');
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        path.append(folders_[std::size_t(*it)].name).append(QLatin1Char('\\'));
    return path;
}

int DiscTree::find(const QString& path) const
{
    int at = 0;
    for (const QStringView name : namesOf(path)) {
        at = byName_.value(std::make_pair(at, AsciiCase::lower(name.toString())), -1);
        if (at < 0)
            return -1;
    }
    return at;
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
