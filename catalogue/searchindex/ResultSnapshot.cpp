#include "catalogue/searchindex/ResultSnapshot.h"

#include "catalogue/searchindex/DiscIndex.h"
#include "catalogue/searchindex/StatementRows.h"

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
    parts_.push_back(Part{label, std::move(index), std::move(entries), nullptr, rows_});
    rows_ += count;
}

void ResultSnapshot::append(const QString& label, std::shared_ptr<const StatementRows> rows)
{
    if (!rows || rows->count() == 0)
        return;
    const qsizetype count = rows->count();
    parts_.push_back(Part{label, nullptr, {}, std::move(rows), rows_});
    rows_ += count;
}

ResultSnapshot::Row ResultSnapshot::locate(qsizetype row) const
{
    Q_ASSERT(row >= 0 && row < rows_);
    const auto part = std::upper_bound(parts_.begin(), parts_.end(), row,
                                       [](qsizetype r, const Part& p) { return r < p.firstRow; }) -
                      1;
    const qsizetype at = row - part->firstRow;
    return {&*part, part->index ? qsizetype(part->entries[size_t(at)]) : at};
}

QString ResultSnapshot::cdid(qsizetype row) const
{
    return locate(row).part->label;
}

QString ResultSnapshot::file(qsizetype row) const
{
    const auto [part, at] = locate(row);
    const std::string_view path = part->index ? part->index->path(quint32(at)) : part->rows->path(at);
    const std::string_view name = part->index ? part->index->name(quint32(at)) : part->rows->name(at);
    QString whole = text(path);
    whole += text(name);
    return whole;
}

QString ResultSnapshot::path(qsizetype row) const
{
    const auto [part, at] = locate(row);
    return text(part->index ? part->index->path(quint32(at)) : part->rows->path(at));
}

QString ResultSnapshot::name(qsizetype row) const
{
    const auto [part, at] = locate(row);
    return text(part->index ? part->index->name(quint32(at)) : part->rows->name(at));
}

std::pair<std::string_view, std::string_view> ResultSnapshot::fileText(qsizetype row) const
{
    const auto [part, at] = locate(row);
    if (part->index)
        return {part->index->path(quint32(at)), part->index->name(quint32(at))};
    return {part->rows->path(at), part->rows->name(at)};
}

qint64 ResultSnapshot::dimensione(qsizetype row) const
{
    const auto [part, at] = locate(row);
    return part->index ? part->index->size(quint32(at)) : part->rows->size(at);
}

QString ResultSnapshot::data(qsizetype row) const
{
    const auto [part, at] = locate(row);
    return QString::fromStdString(part->index ? part->index->dateText(quint32(at))
                                              : part->rows->dateText(at));
}

qint64 ResultSnapshot::packedData(qsizetype row) const
{
    const auto [part, at] = locate(row);
    return part->index ? part->index->packedDate(quint32(at)) : part->rows->packedDate(at);
}

QString ResultSnapshot::estensione(qsizetype row) const
{
    const auto [part, at] = locate(row);
    return text(part->index ? part->index->extension(quint32(at)) : part->rows->extension(at));
}
