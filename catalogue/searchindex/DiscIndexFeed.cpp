#include "catalogue/searchindex/DiscIndexFeed.h"

#include "catalogue/searchindex/IndexBody.h"
#include "common/AsciiCase.h"

#include <algorithm>
#include <limits>

void DiscIndexFeed::add(qint64 id, std::string_view path, std::string_view name, std::string_view extension,
                        qint64 size, std::string_view date)
{
    constexpr size_t kLimit = std::numeric_limits<quint32>::max();
    lowestId_ = rows_.empty() && !tooLarge_ ? id : std::min(lowestId_, id);
    highestId_ = rows_.empty() && !tooLarge_ ? id : std::max(highestId_, id);
    if (tooLarge_ || names_.size() + name.size() > kLimit || dates_.size() + date.size() > kLimit ||
        paths_.size() >= kLimit || extension.size() > name.size() ||
        name.substr(name.size() - extension.size()) != extension) {
        tooLarge_ = true; // only an index built from the stored rows can tell
        return;
    }
    // A folder's files come one after another, but the walk comes back to it after each subfolder.
    if (paths_.empty() || paths_[lastPath_] != path) {
        auto found = pathNumbers_.find(std::string(path));
        if (found == pathNumbers_.end()) {
            found = pathNumbers_.emplace(std::string(path), quint32(paths_.size())).first;
            paths_.emplace_back(path);
        }
        lastPath_ = found->second;
    }
    rows_.push_back({id, size, lastPath_, quint32(names_.size()), quint32(name.size()),
                     quint32(extension.size()), quint32(dates_.size()), quint32(date.size())});
    names_.append(name);
    dates_.append(date);
}

bool DiscIndexFeed::fill(IndexBody::Builder& builder) const
{
    if (tooLarge_)
        return false;
    // Folders that NOCASE holds equal share a rank, so that their files mix by name as in SQL.
    std::vector<quint32> byPath(paths_.size());
    for (quint32 i = 0; i < byPath.size(); ++i)
        byPath[i] = i;
    std::sort(byPath.begin(), byPath.end(),
              [this](quint32 a, quint32 b) { return AsciiCase::compare(paths_[a], paths_[b]) < 0; });
    std::vector<quint32> rank(paths_.size());
    for (size_t i = 0; i < byPath.size(); ++i)
        rank[byPath[i]] = i > 0 && AsciiCase::compare(paths_[byPath[i - 1]], paths_[byPath[i]]) == 0
                              ? rank[byPath[i - 1]]
                              : quint32(i);

    const auto name = [this](const Row& row) {
        return std::string_view(names_).substr(row.nameOffset, row.nameLength);
    };
    std::vector<const Row*> order(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i)
        order[i] = &rows_[i];
    std::sort(order.begin(), order.end(), [&](const Row* a, const Row* b) {
        if (rank[a->path] != rank[b->path])
            return rank[a->path] < rank[b->path];
        const int byName = AsciiCase::compare(name(*a), name(*b));
        return byName != 0 ? byName < 0 : a->id < b->id;
    });

    for (const Row* row : order) {
        const std::string_view text = name(*row);
        if (!builder.add(row->id, paths_[row->path], text, text.substr(text.size() - row->extensionLength),
                         row->size, std::string_view(dates_).substr(row->dateOffset, row->dateLength)))
            return false;
    }
    return true;
}
