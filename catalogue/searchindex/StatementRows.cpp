#include "catalogue/searchindex/StatementRows.h"

#include "catalogue/searchindex/DiscIndex.h"

void StatementRows::add(std::string_view path, std::string_view name, qint64 size, std::string_view date,
                        std::string_view extension)
{
    // 32-bit lengths suffice: no text SQLite returns is longer than 2^31 - 1 bytes.
    const qint64 packed = DiscIndex::packDate(date);
    rows_.push_back(Row{qsizetype(text_.size()), size, packed, quint32(path.size()), quint32(name.size()),
                        quint32(extension.size())});
    text_.append(path);
    text_.append(name);
    text_.append(extension);
    if (packed < 0)
        text_.append(date);
}

qsizetype StatementRows::end(qsizetype i) const
{
    return i + 1 < count() ? rows_[size_t(i + 1)].start : qsizetype(text_.size());
}

std::string_view StatementRows::path(qsizetype i) const
{
    const Row& row = rows_[size_t(i)];
    return std::string_view(text_).substr(size_t(row.start), row.pathBytes);
}

std::string_view StatementRows::name(qsizetype i) const
{
    const Row& row = rows_[size_t(i)];
    return std::string_view(text_).substr(size_t(row.start) + row.pathBytes, row.nameBytes);
}

std::string_view StatementRows::extension(qsizetype i) const
{
    const Row& row = rows_[size_t(i)];
    return std::string_view(text_).substr(size_t(row.start) + row.pathBytes + row.nameBytes,
                                          row.extensionBytes);
}

std::string StatementRows::dateText(qsizetype i) const
{
    const Row& row = rows_[size_t(i)];
    if (row.packedDate >= 0)
        return DiscIndex::unpackDate(row.packedDate);
    const qsizetype from = row.start + row.pathBytes + row.nameBytes + row.extensionBytes;
    return text_.substr(size_t(from), size_t(end(i) - from));
}
