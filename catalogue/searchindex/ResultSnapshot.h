#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

class DiscIndex;
class StatementRows;

// The rows of one search, fixed when it ran: later changes to the catalogue do not reach
// them. Rows answered from a search index are kept as positions in the discs' packed indexes
// (shared with the index cache, so a removed disc's rows stay readable here), a few bytes
// each; rows of the plain statement as it returned them.
class ResultSnapshot
{
  public:
    // Appends one disc's rows; `entries` rise and point into `index`.
    void append(const QString& label, std::shared_ptr<const DiscIndex> index, std::vector<quint32> entries);
    // Appends the rows the statement returned for one disc.
    void append(const QString& label, std::shared_ptr<const StatementRows> rows);

    qsizetype rowCount() const { return rows_; }

    // The result columns of a row, named as in the statement.
    QString cdid(qsizetype row) const;
    QString file(qsizetype row) const;
    // The file's folder (such as "\docs\") and its name, which together make file().
    QString path(qsizetype row) const;
    QString name(qsizetype row) const;
    // The folder and the name as the catalogue holds them (UTF-8), without copying: valid as
    // long as this snapshot or a copy of it lives.
    std::pair<std::string_view, std::string_view> fileText(qsizetype row) const;
    qint64 dimensione(qsizetype row) const;
    // The date as the catalogue holds it ("YYYY-MM-DD HH:MM:SS").
    QString data(qsizetype row) const;
    // The date packed as YYYYMMDDHHMMSS, or -1 when the catalogue holds another form.
    qint64 packedData(qsizetype row) const;
    QString estensione(qsizetype row) const;

  private:
    // One disc's rows: entries of its index, or the statement's rows (then `index` is null).
    struct Part {
        QString label;
        std::shared_ptr<const DiscIndex> index;
        std::vector<quint32> entries;
        std::shared_ptr<const StatementRows> rows;
        qsizetype firstRow = 0;
    };
    struct Row {
        const Part* part;
        qsizetype at; // the entry in the index, or the row in the statement's rows
    };
    Row locate(qsizetype row) const;

    std::vector<Part> parts_;
    qsizetype rows_ = 0;
};
