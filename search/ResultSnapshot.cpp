#include "search/ResultSnapshot.h"

#include "catalogue/DiscIndex.h"

#include <algorithm>

namespace
{
QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}
} // namespace

void ResultSnapshot::append(const QString& label, std::shared_ptr<const DiscIndex> index,
                            std::vector<quint32> entries)
{
    if (entries.empty())
        return;
    const auto count = qsizetype(entries.size());
    parts_.push_back(Part{label, std::move(index), std::move(entries), rows_});
    rows_ += count;
}

std::pair<const ResultSnapshot::Part*, quint32> ResultSnapshot::locate(qsizetype row) const
{
    Q_ASSERT(row >= 0 && row < rows_);
    const auto part = std::upper_bound(parts_.begin(), parts_.end(), row,
                                       [](qsizetype r, const Part& p) { return r < p.firstRow; }) -
                      1;
    return {&*part, part->entries[size_t(row - part->firstRow)]};
}

QString ResultSnapshot::cdid(qsizetype row) const
{
    return locate(row).first->label;
}

QString ResultSnapshot::file(qsizetype row) const
{
    const auto [part, entry] = locate(row);
    const std::string_view path = part->index->path(entry);
    const std::string_view name = part->index->name(entry);
    QString whole = text(path);
    whole += text(name);
    return whole;
}

QString ResultSnapshot::path(qsizetype row) const
{
    const auto [part, entry] = locate(row);
    return text(part->index->path(entry));
}

QString ResultSnapshot::name(qsizetype row) const
{
    const auto [part, entry] = locate(row);
    return text(part->index->name(entry));
}

qint64 ResultSnapshot::dimensione(qsizetype row) const
{
    const auto [part, entry] = locate(row);
    return part->index->size(entry);
}

QString ResultSnapshot::data(qsizetype row) const
{
    const auto [part, entry] = locate(row);
    return QString::fromStdString(part->index->dateText(entry));
}

qint64 ResultSnapshot::packedData(qsizetype row) const
{
    const auto [part, entry] = locate(row);
    return part->index->packedDate(entry);
}

QString ResultSnapshot::estensione(qsizetype row) const
{
    const auto [part, entry] = locate(row);
    return text(part->index->extension(entry));
}
