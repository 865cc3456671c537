#pragma once

#include "catalogue/searchindex/NamePattern.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class DiscIndex;
class ResultSnapshot;

// A search's conditions answered from a disc's search index exactly as the search statement
// answers them on the disc's rows: the `like` pattern on folder and name, the date bounds in
// the binary collation, the extensions under NOCASE, the program's own name condition, in the
// statement's order.
class IndexFilter
{
  public:
    // The values the statement binds; a condition left empty is not in the statement.
    struct Conditions {
        std::optional<QString> pattern;
        std::optional<QString> dateFrom;
        std::optional<QString> dateTo;
        QStringList extensions; // any of them, each with its dot
        std::optional<NamePattern::Terms> name;
    };

    // Refuses a pattern SQLite refuses, with SQLite's words.
    explicit IndexFilter(const Conditions& conditions);
    ~IndexFilter();
    IndexFilter(const IndexFilter&) = delete;
    IndexFilter& operator=(const IndexFilter&) = delete;

    // True when no entry of any index can meet the conditions.
    bool matchesNothing() const;
    // Keys (IndexBody::trigram) of three-byte stretches that every entry meeting the
    // conditions holds in its folder or its name, a few of them; none when the conditions
    // name no such stretch.
    std::vector<quint32> trigrams() const;
    // Appends the rows of a disc's index (or of a piece of it) that meet the conditions.
    void append(const QString& label, const std::shared_ptr<const DiscIndex>& index,
                ResultSnapshot& into) const;

  private:
    class Rules;
    std::unique_ptr<const Rules> rules_;
};
