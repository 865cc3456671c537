#pragma once

#include "catalogue/DiscStore.h"

#include <QChar>
#include <functional>

class Catalogue;
class IMessages;
class QWidget;
class SystemDiscDrive;

// What Disc details' "Update…" does in the program: the Update disc window over `parent`, reading
// with the drive's settings; after an update `updated` runs (the main window's list refresh).
// `seenIn` is the drive the disc was noticed in; without one the configured drive is read.
// True when the disc was updated.
std::function<bool(const DiscStore::DiscRow&)> discUpdateAction(Catalogue& catalogue, IMessages& messages,
                                                                SystemDiscDrive& drive, QWidget* parent,
                                                                std::function<void()> updated,
                                                                QChar seenIn = {});
