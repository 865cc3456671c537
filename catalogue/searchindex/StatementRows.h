#pragma once

#include <QtGlobal>
#include <string>
#include <string_view>
#include <vector>

// The rows the plain search statement returned for one disc, kept as UTF-8 texts in one
// buffer, a few bytes beside their texts each. Unlike a disc's search index it takes any
// value the statement returns, of any size.
class StatementRows
{
  public:
    void add(std::string_view path, std::string_view name, qint64 size, std::string_view date,
             std::string_view extension);

    qsizetype count() const { return qsizetype(rows_.size()); }
    std::string_view path(qsizetype i) const;
    std::string_view name(qsizetype i) const;
    qint64 size(qsizetype i) const { return rows_[size_t(i)].size; }
    // The packed date (see DiscIndex::packDate), or -1 when the date is in another form.
    qint64 packedDate(qsizetype i) const { return rows_[size_t(i)].packedDate; }
    std::string dateText(qsizetype i) const;
    std::string_view extension(qsizetype i) const;

  private:
    // The texts of a row lie one after the other from `start`: folder, name, extension, and
    // the date only when it is not packed; the next row's start ends them.
    struct Row {
        qsizetype start;
        qint64 size;
        qint64 packedDate;
        quint32 pathBytes;
        quint32 nameBytes;
        quint32 extensionBytes;
    };
    qsizetype end(qsizetype i) const;

    std::string text_;
    std::vector<Row> rows_;
};
