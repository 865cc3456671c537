#pragma once

#include "catalogue/Catalogue.h"
#include "catalogue/DiscRecord.h"

#include <QString>
#include <map>
#include <optional>

// The UUIDs of the discs for the JSON forms, which give each disc's next to its label; none for
// a disc without one (a catalogue not yet upgraded).
class DiscUuids
{
  public:
    DiscUuids() = default;
    explicit DiscUuids(Catalogue& catalogue)
    {
        const std::map<qint64, QString> byId = DiscRecords::uuids(catalogue.connection());
        for (const DiscStore::DiscRow& disc : catalogue.discs()) {
            const auto found = byId.find(disc.id);
            if (found != byId.end())
                byLabel_.emplace(disc.label(), found->second);
        }
    }
    std::optional<QString> of(const QString& label) const
    {
        const auto found = byLabel_.find(label);
        if (found == byLabel_.end())
            return std::nullopt;
        return found->second;
    }

  private:
    std::map<QString, QString> byLabel_;
};
