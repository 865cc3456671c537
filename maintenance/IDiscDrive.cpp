#include "maintenance/IDiscDrive.h"

#include "maintenance/DiscRoot.h"

QString IDiscDrive::labelOfRoot(const QString& root)
{
    return DiscRoot::label(root, {});
}
