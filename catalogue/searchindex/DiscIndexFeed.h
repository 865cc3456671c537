#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace IndexBody
{
class Builder;
}

// A disc's file rows gathered as a cataloguing run writes them, so that the disc's index is
// built without reading the rows back. The rows are put in the catalogue's order (folder, then
// name, as NOCASE compares them, then id) when the index is built.
class DiscIndexFeed
{
  public:
    // The row exactly as bound: UTF-8 texts, the extension being the name's tail.
    void add(qint64 id, std::string_view path, std::string_view name, std::string_view extension, qint64 size,
             std::string_view date);
    qint64 count() const { return qint64(rows_.size()); }
    // The lowest and highest id fed in (0 when none).
    qint64 lowestId() const { return lowestId_; }
    qint64 highestId() const { return highestId_; }
    // Adds the rows to the (new) builder in the catalogue's order; false when a value does not
    // fit in an index.
    bool fill(IndexBody::Builder& builder) const;

  private:
    struct Row {
        qint64 id;
        qint64 size;
        quint32 path;
        quint32 nameOffset; // into names_
        quint32 nameLength;
        quint32 extensionLength;
        quint32 dateOffset; // into dates_
        quint32 dateLength;
    };
    std::vector<Row> rows_;
    std::vector<std::string> paths_;
    std::unordered_map<std::string, quint32> pathNumbers_;
    std::string names_;
    std::string dates_;
    quint32 lastPath_ = 0;
    bool tooLarge_ = false;
    qint64 lowestId_ = 0;
    qint64 highestId_ = 0;
};
