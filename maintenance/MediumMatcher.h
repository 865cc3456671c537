#pragma once

#include "catalogue/DiscStore.h"

#include <QString>
#include <optional>

class Catalogue;

// Which catalogued disc an inserted medium is: the latest disc read from a medium (not from an
// image or folder) whose volume label and file-system id are those of the medium. A medium
// without an id is never matched: labels alone ("NEW VOLUME", "CDROM") say too little, and a
// wrong match would offer to update another disc. None on a catalogue without disc records.
class MediumMatcher
{
  public:
    explicit MediumMatcher(Catalogue& catalogue) : catalogue_(catalogue) {}

    // The label as the medium gives it; compared as cataloguing keeps it (49 characters).
    std::optional<DiscStore::DiscRow> match(const QString& label, const QString& fileSystemId) const;

  private:
    Catalogue& catalogue_;
};
