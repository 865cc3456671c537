#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>
#include <vector>

class DiscIndex;

// The rows of one search, fixed when it ran: later changes to the catalogue do not reach
// them. Rows are kept as positions in the discs' packed indexes (shared with the index
// cache, so a removed disc's rows stay readable here), a few bytes each.
class ResultSnapshot
{
  public:
    // Appends one disc's rows; `entries` rise and point into `index`.
    void append(const QString& label, std::shared_ptr<const DiscIndex> index, std::vector<quint32> entries);

    qsizetype rowCount() const { return rows_; }

    // The result columns of a row, named as in the statement.
    QString cdid(qsizetype row) const;
    QString file(qsizetype row) const;
    // The file's folder (such as "\docs\") and its name, which together make file().
    QString path(qsizetype row) const;
    QString name(qsizetype row) const;
    qint64 dimensione(qsizetype row) const;
    // The date as the catalogue holds it ("YYYY-MM-DD HH:MM:SS").
    QString data(qsizetype row) const;
    // The date packed as YYYYMMDDHHMMSS, or -1 when the catalogue holds another form.
    qint64 packedData(qsizetype row) const;
    QString estensione(qsizetype row) const;

  private:
    struct Part {
        QString label;
        std::shared_ptr<const DiscIndex> index;
        std::vector<quint32> entries;
        qsizetype firstRow = 0;
    };
    std::pair<const Part*, quint32> locate(qsizetype row) const;

    std::vector<Part> parts_;
    qsizetype rows_ = 0;
};
